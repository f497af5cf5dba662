// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only and full file systems, on tmpfs mounts of the test's own; files held by bind mounts.
#include "HistoryTestSupport.h"
#include "RequireRoot.h"
#include "TTmpfs.h"

#include <filesystem>
#include <iterator>
#include <sys/mount.h>

using namespace history_test;

namespace {

constexpr int64_t Wide = int64_t{1} << 48;

} // namespace

// A damaged file whose companion cannot be moved (a file mounted on itself) stays, with
// all of them, where it was: a new file beside the old journal would lose it or take it in.
TEST(THistoryMountTest, ADamagedFileIsNotPutAsideWithoutItsCompanions) {
    ZIRKO_REQUIRE_ROOT();
    for (const std::string Stuck : {"-wal", "-shm", "-journal"}) {
        SCOPED_TRACE(Stuck);
        TTempDir Dir;
        const std::string Db = Dir.Path() + THistoryStore::FileName;
        std::string Before = std::string(5000, 'x');
        WriteFile(Db, Before);
        for (const char* Companion : {"-wal", "-shm", "-journal"}) {
            WriteFile(Db + Companion, Companion);
            Before += Companion;
        }
        const std::string Held = Db + Stuck;
        ASSERT_EQ(::mount(Held.c_str(), Held.c_str(), nullptr, MS_BIND, nullptr), 0);
        THistoryStore Store;
        EXPECT_FALSE(Store.Open(Dir.Path()));
        ::umount2(Held.c_str(), MNT_DETACH);
        EXPECT_EQ(Store.Status(), THistoryStatus::Corrupt);
        EXPECT_EQ(ReadFile(Db) + ReadFile(Db + "-wal") + ReadFile(Db + "-shm") +
                      ReadFile(Db + "-journal"),
                  Before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 4);
    }
}

TEST(THistoryMountTest, ReadOnlyFolderLeavesTheHistoryUnavailableAndUntouched) {
    ZIRKO_REQUIRE_ROOT();
    for (const bool WithHistory : {false, true}) {
        SCOPED_TRACE(WithHistory ? "a history there" : "no history yet");
        TTempDir Dir;
        TTmpfs Fs(Dir.Path() + "ro", "1m");
        ASSERT_TRUE(Fs.Mounted());
        const std::string Db = Fs.Path() + THistoryStore::FileName;
        if (WithHistory) {
            THistoryStore Store;
            ASSERT_TRUE(Store.Open(Fs.Path()));
            ASSERT_TRUE(Store.AddPing(Ping(T0, 100)));
        }
        const std::string Before = ReadFile(Db);
        ASSERT_TRUE(Fs.MakeReadOnly());
        THistoryStore Store;
        EXPECT_FALSE(Store.Open(Fs.Path()));
        EXPECT_EQ(Store.Status(), THistoryStatus::ReadOnly);
        EXPECT_EQ(Store.PutAsidePath(), "");
        EXPECT_FALSE(Store.AddPing(Ping(T0, 100)));
        EXPECT_EQ(Exists(Db), WithHistory);
        EXPECT_EQ(ReadFile(Db), Before);
    }
}

TEST(THistoryMountTest, FullDiskStopsTheHistoryAndKeepsEveryCommittedPing) {
    ZIRKO_REQUIRE_ROOT();
    for (const bool AtOpen : {true, false}) {
        SCOPED_TRACE(AtOpen ? "full at open" : "full while writing");
        TTempDir Dir;
        TTmpfs Fs(Dir.Path() + "small", "256k");
        ASSERT_TRUE(Fs.Mounted());
        const std::string Filler = Fs.Path() + "filler";
        THistoryStore Store;
        std::vector<THistoryPing> Stored;
        // More than the file system holds at open; a quarter of it while writing
        // (the writer's index in -shm takes 32 KiB of the rest).
        WriteFile(Filler, std::string(AtOpen ? 512 * 1024 : 64 * 1024, 'f'));
        if (AtOpen) {
            EXPECT_FALSE(Store.Open(Fs.Path()));
        } else {
            ASSERT_TRUE(Store.Open(Fs.Path()));
            for (int64_t I = 0; I < 10'000 && Store.Available(); ++I) {
                const THistoryPing P = Ping(T0 + I * 2000, 100 + I);
                if (Store.AddPing(P)) {
                    Stored.push_back(P);
                }
            }
            EXPECT_GT(Stored.size(), 0u);
            EXPECT_FALSE(Store.AddPing(Ping(T0, 1)));
            EXPECT_TRUE(Store.Pings(-Wide, Wide).empty());
        }
        EXPECT_EQ(Store.Status(), THistoryStatus::DiskFull);

        ASSERT_EQ(::unlink(Filler.c_str()), 0);
        ASSERT_TRUE(Store.Open(Fs.Path())) << "room again: opening retries";
        const std::vector<THistoryPing> Kept = Store.Pings(-Wide, Wide);
        ASSERT_EQ(Kept.size(), Stored.size());
        for (size_t I = 0; I < Kept.size(); ++I) {
            EXPECT_EQ(Kept[I].UtcMs, Stored[I].UtcMs);
            EXPECT_EQ(Kept[I].RoundTripUs, Stored[I].RoundTripUs);
        }
    }
}
