// SPDX-License-Identifier: GPL-3.0-or-later
// Where the log of a run lies: installed prefixes, the state folder and its creation.
#include "LogFolder.h"
#include "AgenteTestSupport.h"

#include <sys/stat.h>

using namespace agente_test;

namespace {

void MakeFolders(const std::string& Path) {
    std::string Command = "mkdir -p '" + Path + "'";
    ASSERT_EQ(std::system(Command.c_str()), 0) << Path;
}

mode_t ModeOf(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 ? (Info.st_mode & 07777) : 0;
}

TEST(LogFolderTest, OnlyTheBinFolderOfAPrefixHoldingZirkoIsInstalled) {
    struct TCase {
        const char* Name;
        const char* Marker;    // created under the temporary folder, "" for none
        bool MarkerIsFolder;   // a folder in the marker's place marks nothing
        const char* ExeFolder; // relative to the temporary folder
        const char* Prefix;    // expected, relative; nullptr for "not installed"
    };
    const TCase Cases[] = {
        {"usr", "usr/share/applications/zirko.desktop", false, "usr/bin/", "usr/"},
        {"no trailing slash", "usr/share/applications/zirko.desktop", false, "usr/bin", "usr/"},
        {"home prefix", "home/.local/share/applications/zirko.desktop", false, "home/.local/bin/",
         "home/.local/"},
        {"build folder", "", false, "build/dev/", nullptr},
        {"build folder beside an install", "usr/share/applications/zirko.desktop", false, "usr/",
         nullptr},
        {"copied into a bin of its own", "", false, "tools/bin/", nullptr},
        {"marker is a folder", "usr/share/applications/zirko.desktop", true, "usr/bin/", nullptr},
        {"sbin is not bin", "usr/share/applications/zirko.desktop", false, "usr/sbin/", nullptr},
        {"a folder ending in bin", "usr/share/applications/zirko.desktop", false, "usrbin/",
         nullptr},
        {"other program's entry", "usr/share/applications/zirkon.desktop", false, "usr/bin/",
         nullptr},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TTempDir Dir;
        MakeFolders(Dir.Path() + Case.ExeFolder);
        if (*Case.Marker != '\0') {
            const std::string Marker = Dir.Path() + Case.Marker;
            if (Case.MarkerIsFolder) {
                MakeFolders(Marker);
            } else {
                MakeFolders(Marker.substr(0, Marker.rfind('/')));
                WriteFile(Marker, "[Desktop Entry]\n");
            }
        }
        const std::string Expected =
            Case.Prefix == nullptr ? std::string() : Dir.Path() + Case.Prefix;
        EXPECT_EQ(InstallPrefixOf(Dir.Path() + Case.ExeFolder), Expected);
    }
    EXPECT_EQ(InstallPrefixOf(""), "");
    EXPECT_EQ(InstallPrefixOf("/"), "");
}

TEST(LogFolderTest, StateFolderFollowsXdgAndIgnoresRelativeValues) {
    struct TCase {
        const char* XdgStateHome;
        const char* Home;
        const char* Expected;
    };
    const TCase Cases[] = {
        {"", "/home/anna", "/home/anna/.local/state/zirko/"},
        {"", "/home/anna/", "/home/anna/.local/state/zirko/"},
        {"/var/tmp/state", "/home/anna", "/var/tmp/state/zirko/"},
        {"/var/tmp/state/", "/home/anna", "/var/tmp/state/zirko/"},
        {"state", "/home/anna", "/home/anna/.local/state/zirko/"},
        {"~/state", "/home/anna", "/home/anna/.local/state/zirko/"},
        {"", "", ""},
        {"relative", "also/relative", ""},
    };
    for (const TCase& Case : Cases) {
        EXPECT_EQ(StateFolder(Case.XdgStateHome, Case.Home), Case.Expected)
            << "XDG_STATE_HOME=" << Case.XdgStateHome << " HOME=" << Case.Home;
    }
}

TEST(LogFolderTest, MakesMissingFoldersPrivateWhateverTheUmask) {
    TTempDir Dir;
    const mode_t Saved = ::umask(0277);
    const bool Made = MakePrivateFolder(Dir.Path() + "home/.local/state/zirko/");
    ::umask(Saved);
    ASSERT_TRUE(Made);
    for (const char* Folder :
         {"home", "home/.local", "home/.local/state", "home/.local/state/zirko"}) {
        EXPECT_EQ(ModeOf(Dir.Path() + Folder), 0700u) << Folder;
    }
}

TEST(LogFolderTest, ExistingFoldersKeepTheirModes) {
    TTempDir Dir;
    MakeFolders(Dir.Path() + "state");
    ASSERT_EQ(::chmod((Dir.Path() + "state").c_str(), 0755), 0);
    ASSERT_TRUE(MakePrivateFolder(Dir.Path() + "state/zirko"));
    EXPECT_EQ(ModeOf(Dir.Path() + "state"), 0755u);
    EXPECT_EQ(ModeOf(Dir.Path() + "state/zirko"), 0700u);
    EXPECT_TRUE(MakePrivateFolder(Dir.Path() + "state/zirko/")) << "a second call finds it there";
}

TEST(LogFolderTest, AFileInThePathIsAFailure) {
    TTempDir Dir;
    WriteFile(Dir.Path() + ".local", "not a folder");
    EXPECT_FALSE(MakePrivateFolder(Dir.Path() + ".local/state/zirko/"));
    WriteFile(Dir.Path() + "zirko", "not a folder");
    EXPECT_FALSE(MakePrivateFolder(Dir.Path() + "zirko/"));
    EXPECT_FALSE(MakePrivateFolder("relative/zirko/"));
}

// The agent meets a state folder that could not be made with the creation failure, the
// same message as for a folder it may not write.
TEST(LogFolderTest, AnUnreachableLogFolderIsTheCreationFailure) {
    TTempDir Dir;
    WriteFile(Dir.Path() + ".local", "not a folder");
    for (const char* Folder : {".local/state/zirko/", "missing/zirko/"}) {
        SCOPED_TRACE(Folder);
        const TChildResult Result = RunInChild([&](TPipeReporter& Reporter) {
            TAgente Agente;
            SetUpAgent(Agente, Dir.Path() + Folder, nullptr, &Reporter);
            Agente.StartUp();
        });
        EXPECT_EQ(Result.ExitCode, 1);
        EXPECT_EQ(Result.Messages, "AGENTE: impossibile creare file di log !\n");
    }
}

} // namespace
