// SPDX-License-Identifier: GPL-3.0-or-later
// Failures that end the process, each run in a child: message, exit code, nothing lost.
#include "AgenteTestSupport.h"

#include <dirent.h>

using namespace agente_test;

namespace {

const char* const StartUpMessage = "AGENTE: impossibile fare lo start-up del file di log !\n";

size_t CountOccurrences(const std::string& Text, const std::string& Part) {
    size_t Count = 0;
    for (size_t At = Text.find(Part); At != std::string::npos; At = Text.find(Part, At + 1)) {
        ++Count;
    }
    return Count;
}

size_t EntriesIn(const std::string& Folder) {
    size_t Count = 0;
    DIR* D = ::opendir(Folder.c_str());
    while (D != nullptr && ::readdir(D) != nullptr) {
        ++Count;
    }
    if (D != nullptr) {
        ::closedir(D);
    }
    return Count - 2; // "." and ".."
}

} // namespace

TEST(TAgenteFailureTest, SecondProcessCannotStartWhileTheLogIsHeld) {
    for (const bool OverSize : {false, true}) {
        SCOPED_TRACE(OverSize ? "log grown past the limit" : "log below the limit");
        TTempDir Dir;
        TSteppingClock Clock{ReferenceInstant()};
        TAgente First;
        SetUpAgent(First, Dir.Path(), &Clock);
        First.StartUp();
        First.AddMessage("Ping result: before");
        if (OverSize) {
            // A sparse tail pushes the open log over the limit without using disk space.
            ASSERT_EQ(::truncate(First.LogFileName().c_str(), 25'000'001), 0);
        }
        const std::string Before = ReadFile(First.LogFileName());

        const TChildResult Second = RunInChild([&](TPipeReporter& Reporter) {
            TSteppingClock ChildClock{ReferenceInstant()};
            TAgente Copy;
            SetUpAgent(Copy, Dir.Path(), &ChildClock, &Reporter);
            Copy.StartUp();
        });
        EXPECT_TRUE(Second.Exited);
        EXPECT_EQ(Second.ExitCode, 1);
        EXPECT_EQ(Second.Messages, StartUpMessage);
        EXPECT_EQ(ReadFile(First.LogFileName()), Before);
        EXPECT_EQ(EntriesIn(Dir.Path()), 1u) << "no backup made of a log in use";

        First.AddMessage("Ping result: after");
        First.ShutDown();
        const std::string After = ReadFile(Dir.Path() + "ZIRKO.LOG");
        EXPECT_EQ(After.substr(0, Before.size()), Before);
        EXPECT_EQ(CountOccurrences(After, "Start Up AGENTE"), 1u);
        EXPECT_EQ(CountOccurrences(After, "Ping result: after"), 1u);
    }
}

TEST(TAgenteFailureTest, TakenBackupNamesNeverLoseTheOldLog) {
    struct TCase {
        int32_t TakenNames;         // the plain stamp, then "_1", "_2", ...
        std::string ExpectedBackup; // empty: the old log is kept and appended to
    };
    const TCase Cases[] = {
        {1, "ZIRKO20261208140533_1.LOG"},
        {3, "ZIRKO20261208140533_3.LOG"},
        {TAgente::MaxBackupSuffix + 1, ""},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.TakenNames << " names taken");
        TTempDir Dir;
        const std::string Log = Dir.Path() + "ZIRKO.LOG";
        const std::string OldLog(25'000'001, '\0');
        MakeSparseFile(Log, static_cast<off_t>(OldLog.size()));
        for (int32_t I = 0; I < C.TakenNames; ++I) {
            const std::string Suffix = I == 0 ? "" : "_" + std::to_string(I);
            WriteFile(Dir.Path() + "ZIRKO20261208140533" + Suffix + ".LOG", "taken " + Suffix);
        }

        const TChildResult Run = RunInChild([&](TPipeReporter& Reporter) {
            TSteppingClock Clock{ReferenceInstant()};
            TAgente Agente;
            SetUpAgent(Agente, Dir.Path(), &Clock, &Reporter);
            Agente.StartUp();
            Agente.ShutDown();
        });
        EXPECT_EQ(Run.ExitCode, 0);
        EXPECT_EQ(Run.Messages, "");
        for (int32_t I = 0; I < C.TakenNames; ++I) {
            const std::string Suffix = I == 0 ? "" : "_" + std::to_string(I);
            EXPECT_EQ(ReadFile(Dir.Path() + "ZIRKO20261208140533" + Suffix + ".LOG"),
                      "taken " + Suffix);
        }
        const std::string Current = ReadFile(Log);
        if (C.ExpectedBackup.empty()) {
            EXPECT_EQ(Current.substr(0, OldLog.size()), OldLog);
            EXPECT_EQ(Current.find("File di Log creato"), std::string::npos);
        } else {
            EXPECT_EQ(ReadFile(Dir.Path() + C.ExpectedBackup), OldLog);
            EXPECT_EQ(Current.find("\r\n"), 0u);
            EXPECT_NE(Current.find("File di Log creato"), std::string::npos);
        }
        EXPECT_NE(Current.find("ShutDown Agente of Zirko"), std::string::npos);
    }
}

TEST(TAgenteFailureTest, WithoutReporterTheMessageGoesToStderr) {
    TTempDir Dir;
    TAgente First;
    SetUpAgent(First, Dir.Path(), nullptr);
    First.StartUp();
    const TChildResult Second = RunInChild(
        [&](TPipeReporter&) {
            TAgente Copy;
            SetUpAgent(Copy, Dir.Path(), nullptr);
            Copy.StartUp();
        },
        /*UseStderr=*/true);
    EXPECT_EQ(Second.ExitCode, 1);
    EXPECT_EQ(Second.Messages, StartUpMessage);
    First.ShutDown();
}
