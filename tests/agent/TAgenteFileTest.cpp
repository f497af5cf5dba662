// SPDX-License-Identifier: GPL-3.0-or-later
// Exact file contents written by the agent, with a clock that ticks one second per reading.
#include "AgenteTestSupport.h"
#include "ExecutableFolder.h"

#include <sys/file.h>

using namespace agente_test;

namespace {

const std::string Star =
    "             *********************************************************\r\n";

std::string Banner(const std::string& Time) {
    return "\r\n" + Star + "             *** File di Log creato in data: 08.12.2026 - " + Time +
           " ***\r\n" + Star + "\r\n\r\n";
}

std::string StartUpLines(const std::string& Time) {
    return "\r\n\r\n|08.12.2026|" + Time + "|Start Up AGENTE\r\n|08.12.2026|" + Time +
           "|Who: Zirko\r\n";
}

const std::string Dashes =
    "--------------------------------------------------------------------------------";

class TAgenteFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetUpAgent(Agente, Dir.Path(), &Clock); }
    std::string Log() const { return ReadFile(Dir.Path() + "ZIRKO.LOG"); }

    TTempDir Dir;
    TSteppingClock Clock{ReferenceInstant()};
    TAgente Agente;
};

} // namespace

TEST_F(TAgenteFileTest, FirstStartWritesBannerThenEveryBlock) {
    Agente.StartUp();
    EXPECT_EQ(Agente.LogFileName(), Dir.Path() + "ZIRKO.LOG");
    EXPECT_TRUE(TAgente::LogStarted());
    EXPECT_EQ(Log(), Banner("14:05:33") + StartUpLines("14:05:34"));

    Agente.AddMessage("Ping result: uno");
    Agente.AddWarning("F_Main\\Timer: errore durante ping su host.invalid");
    Agente.AddMessage("Ping result: due");
    EXPECT_EQ(Agente.MessageCount(), 2);
    EXPECT_EQ(Agente.WarningCount(), 1);
    Agente.ShutDown();

    const std::string Expected =
        Banner("14:05:33") + StartUpLines("14:05:34") +
        "|08.12.2026|14:05:35|Ping result: uno\r\n" + "\r\n" + Dashes + "\r\nWarning Agente !\r\n" +
        "|08.12.2026|14:05:36|F_Main\\Timer: errore durante ping su host.invalid\r\n" + Dashes +
        "\r\n\r\n" + "|08.12.2026|14:05:37|Ping result: due\r\n" +
        "|08.12.2026|14:05:38|Num. of messages: 2\r\n" +
        "|08.12.2026|14:05:39|Num. of warnings: 1\r\n" +
        "|08.12.2026|14:05:40|ShutDown Agente of Zirko\r\n";
    EXPECT_EQ(Log(), Expected);
    EXPECT_EQ(Star.size(), 72u) << "70 characters and CR LF";
    EXPECT_EQ(Dashes.size(), 80u);
    EXPECT_EQ(Agente.LogFileName(), "");
    EXPECT_FALSE(Agente.ActiveLog());
    EXPECT_FALSE(TAgente::LogStarted());
}

TEST_F(TAgenteFileTest, SecondStartBelowLimitAppendsWithoutBanner) {
    const std::string Previous = Banner("10:00:00") + StartUpLines("10:00:01") +
                                 "|08.12.2026|10:00:02|Num. of messages: 0\r\n";
    WriteFile(Dir.Path() + "ZIRKO.LOG", Previous);
    Agente.SetVersionOfApplication("1.0");
    Agente.StartUp();
    Agente.ShutDown();
    EXPECT_EQ(Log(), Previous + "\r\n\r\n1.0|08.12.2026|14:05:33|Start Up AGENTE\r\n" +
                         "1.0|08.12.2026|14:05:33|Who: Zirko\r\n" +
                         "1.0|08.12.2026|14:05:34|Num. of messages: 0\r\n" +
                         "1.0|08.12.2026|14:05:35|Num. of warnings: 0\r\n" +
                         "1.0|08.12.2026|14:05:36|ShutDown Agente of Zirko\r\n");
}

TEST_F(TAgenteFileTest, SizeLimitDecidesBetweenAppendingAndPuttingAside) {
    struct TCase {
        off_t Size;
        bool Backup;
        bool ExpectBackupFile;
        std::string ExpectedTail;
    };
    const TCase Cases[] = {
        {25'000'000, true, false, StartUpLines("14:05:33")},
        {25'000'001, true, true, Banner("14:05:34") + StartUpLines("14:05:35")},
        {25'000'001, false, false, Banner("14:05:33") + StartUpLines("14:05:34")},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << C.Size << " bytes, BackupLog " << C.Backup);
        TTempDir Folder;
        TSteppingClock CaseClock{ReferenceInstant()};
        TAgente CaseAgente;
        SetUpAgent(CaseAgente, Folder.Path(), &CaseClock);
        CaseAgente.SetBackupLog(C.Backup);
        MakeSparseFile(Folder.Path() + "ZIRKO.LOG", C.Size);
        CaseAgente.StartUp();
        const std::string Content = ReadFile(Folder.Path() + "ZIRKO.LOG");
        CaseAgente.ShutDown();

        const std::string Backup = Folder.Path() + "ZIRKO20261208140533.LOG";
        if (C.Size <= TAgente::SizeLimit) {
            EXPECT_EQ(Content.size(), C.Size + C.ExpectedTail.size());
            EXPECT_EQ(Content.substr(static_cast<size_t>(C.Size)), C.ExpectedTail);
        } else {
            EXPECT_EQ(Content, C.ExpectedTail);
        }
        EXPECT_EQ(Exists(Backup), C.ExpectBackupFile);
        if (C.ExpectBackupFile) {
            EXPECT_EQ(FileSize(Backup), C.Size);
        }
    }
}

TEST_F(TAgenteFileTest, InactiveLogTouchesNothing) {
    Agente.SetActiveLog(false);
    Agente.StartUp();
    Agente.AddMessage("Ping result: x");
    Agente.AddWarning("w");
    Agente.ShutDown();
    EXPECT_EQ(Agente.LogFileName(), Dir.Path() + "ZIRKO.LOG");
    EXPECT_FALSE(Exists(Agente.LogFileName()));
    EXPECT_FALSE(TAgente::LogStarted());
    EXPECT_EQ(Agente.MessageCount(), 0);
    EXPECT_EQ(Agente.WarningCount(), 0);
}

TEST_F(TAgenteFileTest, EmptyTextsAndRepeatedShutDownWriteNothing) {
    Agente.StartUp();
    const std::string AfterStart = Log();
    Agente.AddMessage("");
    Agente.AddWarning("");
    EXPECT_EQ(Log(), AfterStart);
    EXPECT_EQ(Agente.MessageCount(), 0);
    EXPECT_EQ(Agente.WarningCount(), 0);
    Agente.ShutDown();
    const std::string AfterShutDown = Log();
    EXPECT_NE(AfterShutDown.find("|Num. of messages: 0\r\n"), std::string::npos);
    EXPECT_NE(AfterShutDown.find("|Num. of warnings: 0\r\n"), std::string::npos);
    Agente.ShutDown();
    Agente.AddMessage("late");
    EXPECT_EQ(Log(), AfterShutDown);
}

TEST_F(TAgenteFileTest, RestartResetsCountersAndAppends) {
    Agente.StartUp();
    Agente.AddMessage("a");
    Agente.AddWarning("b");
    Agente.ShutDown();
    Agente.SetActiveLog(true);
    Agente.StartUp();
    EXPECT_EQ(Agente.MessageCount(), 0);
    EXPECT_EQ(Agente.WarningCount(), 0);
    Agente.AddMessage("c");
    Agente.ShutDown();
    const std::string Content = Log();
    EXPECT_EQ(Content.find("File di Log creato"), Content.rfind("File di Log creato"));
    EXPECT_NE(Content.find("|Num. of messages: 1\r\n|08.12.2026|14:05:43|Num. of warnings: 0"),
              std::string::npos);
}

TEST_F(TAgenteFileTest, FolderAndFileNameRunTogetherWithoutSeparator) {
    Agente.SetPath_Agente(Dir.Path() + "logs");
    Agente.StartUp();
    Agente.ShutDown();
    EXPECT_TRUE(Exists(Dir.Path() + "logsZIRKO.LOG"));
}

TEST_F(TAgenteFileTest, EmptyPathAndNameFallBackToExecutableFolderAndComponentName) {
    TAgente Defaults;
    Defaults.StartUp(); // ActiveLog false: only the name is computed
    const std::string Folder = ExecutableFolder();
    ASSERT_FALSE(Folder.empty());
    EXPECT_EQ(Folder.back(), '/');
    EXPECT_TRUE(Exists(Folder + "agent_file_test"));
    EXPECT_EQ(Defaults.LogFileName(), Folder + "Agente.LOG");
    EXPECT_FALSE(Exists(Defaults.LogFileName()));
}

TEST_F(TAgenteFileTest, OpenLogIsLockedForWritersButReadable) {
    Agente.StartUp();
    const int Other = ::open(Agente.LogFileName().c_str(), O_RDWR);
    ASSERT_GE(Other, 0);
    EXPECT_NE(::flock(Other, LOCK_EX | LOCK_NB), 0);
    char First[2] = {};
    EXPECT_EQ(::read(Other, First, 2), 2);
    EXPECT_EQ(std::string(First, 2), "\r\n");
    Agente.ShutDown();
    EXPECT_EQ(::flock(Other, LOCK_EX | LOCK_NB), 0) << "ShutDown releases the lock";
    ::close(Other);
}
