// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only and full file systems, on tmpfs mounts of the test's own.
#include "HistoryTestSupport.h"
#include "RequireRoot.h"
#include "TTmpfs.h"

using namespace history_test;

namespace {

constexpr int64_t Wide = int64_t{1} << 48;

} // namespace

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
        // More than the file system holds at open; half of it while writing.
        WriteFile(Filler, std::string(AtOpen ? 512 * 1024 : 128 * 1024, 'f'));
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
