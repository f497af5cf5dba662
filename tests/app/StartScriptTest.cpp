// SPDX-License-Identifier: GPL-3.0-or-later
// scripts/start as an ordinary user: no sudo, or sudo refused, still starts Zirko.
#include "RequireRoot.h"
#include "TCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using zirko::test::RunCommand;
using zirko::test::TCommandResult;

namespace {

void WriteScript(const fs::path& Path, const std::string& Text) {
    fs::create_directories(Path.parent_path());
    std::ofstream(Path) << "#!/bin/sh\n" << Text;
    fs::permissions(Path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
}

std::string ReadFile(const fs::path& Path) {
    std::ifstream In(Path);
    return std::string(std::istreambuf_iterator<char>(In), {});
}

// A checkout of its own: the real start script, a setup that finds everything present, a
// cmake that has nothing left to build, and a "zirko" that notes that it was started.
class TCheckout {
public:
    TCheckout() {
        std::string Template = (fs::temp_directory_path() / "zirko-start-XXXXXX").string();
        if (::mkdtemp(Template.data()) == nullptr) {
            return;
        }
        Top = Template;
        // A blank and a quote, as users' folder names may have.
        Repo = Top / "it's mine";
        fs::create_directories(Repo / "scripts");
        const char* Source = std::getenv("ZIRKO_SOURCE_DIR");
        fs::copy_file(fs::path(Source != nullptr ? Source : ".") / "scripts" / "start",
                      Repo / "scripts" / "start");
        WriteScript(Repo / "scripts" / "setup", "exit 0\n");
        WriteScript(Top / "tools" / "cmake", "exit 0\n");
        WriteScript(Repo / "build" / "release" / "zirko", "echo started > \"$0.ran\"\n");
    }
    ~TCheckout() {
        std::error_code Ignored;
        fs::remove_all(Top, Ignored);
    }
    TCheckout(const TCheckout&) = delete;
    TCheckout& operator=(const TCheckout&) = delete;

    fs::path Zirko() const { return Repo / "build" / "release" / "zirko"; }

    // As uid 65534 when run as root, else as the user running the test. PATH has no
    // /usr/sbin, as an ordinary user's has not.
    TCommandResult Start() const {
        std::vector<std::string> Argv;
        if (::geteuid() == 0) {
            RunCommand({"chown", "-R", "65534:65534", Top.string()});
            Argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        const std::vector<std::string> Run{"env", "-i", "HOME=" + Top.string(),
                                           "PATH=" + (Top / "tools").string() + ":/usr/bin:/bin",
                                           (Repo / "scripts" / "start").string()};
        Argv.insert(Argv.end(), Run.begin(), Run.end());
        return RunCommand(Argv, 60000);
    }

    fs::path Top;
    fs::path Repo;
};

TEST(StartScript, WithoutTheRightItPrintsTheCommandAndStartsZirkoAnyway) {
    ZIRKO_REQUIRE(::geteuid() == 0 || RunCommand({"sh", "-c", "command -v sudo"}).ExitCode != 0,
                  "run as root, or as a user without sudo");
    struct TCase {
        const char* Name;
        const char* Sudo; // the body of a sudo on the PATH; nullptr for none at all
    };
    const TCase Cases[] = {
        {"no sudo on the machine", nullptr},
        {"sudo refused", "echo 'sudo: a password is required' >&2; exit 1\n"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TCheckout Checkout;
        ASSERT_FALSE(Checkout.Top.empty());
        if (Case.Sudo != nullptr) {
            WriteScript(Checkout.Top / "tools" / "sudo", Case.Sudo);
        }
        const TCommandResult R = Checkout.Start();
        EXPECT_EQ(R.ExitCode, 0) << R.Output;
        EXPECT_EQ(R.Output.find("command not found"), std::string::npos) << R.Output;
        const std::string Quoted =
            "'" + Checkout.Top.string() + "/it'\\''s mine/build/release/zirko-socket'";
        EXPECT_NE(
            R.Output.find("run, as root:\n  /usr/sbin/setcap cap_net_raw+ep " + Quoted + "\n"),
            std::string::npos)
            << R.Output;
        EXPECT_EQ(ReadFile(Checkout.Zirko().string() + ".ran"), "started\n") << R.Output;
    }
}

TEST(StartScript, RootStartsZirkoWithoutGranting) {
    ZIRKO_REQUIRE_ROOT();
    TCheckout Checkout;
    ASSERT_FALSE(Checkout.Top.empty());
    const TCommandResult R =
        RunCommand({"env", "-i", "PATH=" + (Checkout.Top / "tools").string() + ":/usr/bin:/bin",
                    (Checkout.Repo / "scripts" / "start").string()},
                   60000);
    EXPECT_EQ(R.ExitCode, 0) << R.Output;
    EXPECT_EQ(R.Output.find("setcap"), std::string::npos) << R.Output;
    EXPECT_EQ(ReadFile(Checkout.Zirko().string() + ".ran"), "started\n");
}

} // namespace
