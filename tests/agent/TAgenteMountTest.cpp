// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only folders and full disks, on tmpfs mounts of the test's own; each failure in a child.
#include "AgenteTestSupport.h"
#include "RequireRoot.h"
#include "TTmpfs.h"

#include <sys/stat.h>

using namespace agente_test;

namespace {

const std::string CreateMessage = "AGENTE: impossibile creare file di log !\n";
const std::string StartUpMessage = "AGENTE: impossibile fare lo start-up del file di log !\n";
const std::string UpdateMessage = "AGENTE: impossibile aggiornare il file di log !\n";
const std::string ShutDownMessage = "AGENTE: impossibile fare lo shut-down del file di log !\n";

// Writes Path until the file system is full (bounded); true when it filled up.
bool FillDisk(const std::string& Path) {
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    const std::string Chunk(512, 'f');
    bool Full = false;
    for (int I = 0; Fd >= 0 && I < 100'000 && !Full; ++I) {
        Full = ::write(Fd, Chunk.data(), Chunk.size()) < static_cast<ssize_t>(Chunk.size());
    }
    if (Fd >= 0) {
        ::close(Fd);
    }
    return Full;
}

std::string Payload(int I) {
    return "Ping result: " + std::to_string(I) + std::string(900, '.');
}

} // namespace

TEST(TAgenteMountTest, ReadOnlyFolderEndsTheProgramAndKeepsTheLog) {
    ZIRKO_REQUIRE_ROOT();
    struct TCase {
        const char* Name;
        off_t ExistingSize; // -1: no log yet
        const std::string& Message;
    };
    const TCase Cases[] = {
        {"empty folder", -1, CreateMessage},
        {"log below the limit", 1000, StartUpMessage},
        {"log past the limit", 25'000'001, StartUpMessage},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        TTmpfs Fs(Dir.Path() + "ro", "1m");
        ASSERT_TRUE(Fs.Mounted());
        const std::string Log = Fs.Path() + "ZIRKO.LOG";
        if (C.ExistingSize >= 0) {
            MakeSparseFile(Log, C.ExistingSize);
        }
        ASSERT_TRUE(Fs.MakeReadOnly());

        const TChildResult Run = RunInChild([&](TPipeReporter& Reporter) {
            TSteppingClock Clock{ReferenceInstant()};
            TAgente Agente;
            SetUpAgent(Agente, Fs.Path(), &Clock, &Reporter);
            Agente.StartUp();
            Agente.AddMessage("Ping result: never");
        });
        EXPECT_TRUE(Run.Exited);
        EXPECT_EQ(Run.ExitCode, 1);
        EXPECT_EQ(Run.Messages, C.Message);
        EXPECT_EQ(FileSize(Log), C.ExistingSize);
    }
}

TEST(TAgenteMountTest, FullDiskDuringAddMessageKeepsEveryWholeEntry) {
    ZIRKO_REQUIRE_ROOT();
    TTempDir Dir;
    TTmpfs Fs(Dir.Path() + "small", "64k");
    ASSERT_TRUE(Fs.Mounted());
    const std::string Filler = Fs.Path() + "filler";
    WriteFile(Filler, std::string(32 * 1024, 'f'));

    const TChildResult Run = RunInChild([&](TPipeReporter& Reporter) {
        TSteppingClock Clock{ReferenceInstant()};
        TAgente Agente;
        SetUpAgent(Agente, Fs.Path(), &Clock, &Reporter);
        // Space comes back while the message is shown: calls arriving then must
        // still be ignored.
        Reporter.OnShow = [&] {
            ::unlink(Filler.c_str());
            Agente.AddMessage("nested");
            Agente.AddWarning("nested");
            Agente.ShutDown();
        };
        Agente.StartUp();
        for (int I = 0; I < 200; ++I) {
            Agente.AddMessage(Payload(I));
        }
    });
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(Run.Messages, UpdateMessage);

    const std::string Content = ReadFile(Fs.Path() + "ZIRKO.LOG");
    const std::string StartUpTail = "|Who: Zirko\r\n";
    const size_t FirstEntry = Content.find(StartUpTail);
    ASSERT_NE(FirstEntry, std::string::npos);
    EXPECT_EQ(Content.find("\r\n             ***"), 0u) << "the banner is intact";
    size_t At = FirstEntry + StartUpTail.size();
    int Entries = 0;
    while (At < Content.size()) {
        const size_t End = Content.find("\r\n", At);
        ASSERT_NE(End, std::string::npos) << "torn entry at byte " << At;
        const std::string Entry = Content.substr(At, End - At);
        ASSERT_GE(Entry.size(), 21u);
        EXPECT_EQ(Entry.substr(21), Payload(Entries)) << "entry " << Entries;
        ++Entries;
        At = End + 2;
    }
    EXPECT_GT(Entries, 10);
    EXPECT_LT(Entries, 200);
    EXPECT_EQ(Content.find("nested"), std::string::npos);
    EXPECT_EQ(Content.find("ShutDown Agente"), std::string::npos);
}

TEST(TAgenteMountTest, FullDiskAtCreationAndAtShutDown) {
    ZIRKO_REQUIRE_ROOT();
    for (const bool AtShutDown : {false, true}) {
        SCOPED_TRACE(AtShutDown ? "at shut-down" : "at creation");
        TTempDir Dir;
        TTmpfs Fs(Dir.Path() + "small", "64k");
        ASSERT_TRUE(Fs.Mounted());
        const std::string Filler = Fs.Path() + "filler";
        if (!AtShutDown) {
            ASSERT_TRUE(FillDisk(Filler));
        }
        std::string BeforeShutDown;
        const TChildResult Run = RunInChild([&](TPipeReporter& Reporter) {
            TSteppingClock Clock{ReferenceInstant()};
            TAgente Agente;
            SetUpAgent(Agente, Fs.Path(), &Clock, &Reporter);
            Agente.StartUp();
            // tmpfs hands out whole pages: end the log on a page boundary so the
            // shut-down block needs a page that is no longer there.
            const off_t Used = FileSize(Agente.LogFileName()) + 21 + 2;
            const std::string Kept = "Ping result: kept";
            off_t Room = 4096 - Used % 4096;
            if (Room < static_cast<off_t>(Kept.size())) {
                Room += 4096;
            }
            Agente.AddMessage(Kept + std::string(static_cast<size_t>(Room) - Kept.size(), '.'));
            if (!FillDisk(Filler)) {
                std::_Exit(3);
            }
            Agente.ShutDown();
        });
        EXPECT_EQ(Run.ExitCode, 1);
        EXPECT_EQ(Run.Messages, AtShutDown ? ShutDownMessage : CreateMessage);
        const std::string Content = ReadFile(Fs.Path() + "ZIRKO.LOG");
        if (AtShutDown) {
            EXPECT_EQ(Content.size() % 4096, 0u);
            EXPECT_NE(Content.find("|Ping result: kept"), std::string::npos);
            EXPECT_EQ(Content.substr(Content.size() - 3), ".\r\n") << "no torn shut-down line";
        } else {
            EXPECT_EQ(Content, "") << "no half banner";
        }
    }
}
