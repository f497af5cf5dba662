// SPDX-License-Identifier: GPL-3.0-or-later
// The real program as an ordinary user: the window holds no capability, and its helper none
// once its raw sockets are open, so code that the user's Qt plugin path loads into the window
// can open no raw socket and get none from the helper, only ask it for echo requests; and the
// helper ends when the window is killed.
#include "RequireRoot.h"
#include "THelperChannel.h"
#include "THelperCopy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace zirko::test;

namespace {

constexpr const char* NoCapabilities = "0000000000000000";

// The window started as uid 65534 from AFolder, offscreen, with the test's plugin path.
class TWindow {
public:
    explicit TWindow(const fs::path& AFolder) : Report((AFolder / "plugin.txt").string()) {
        const std::string Exe = (AFolder / "zirko").string();
        const std::vector<std::string> Env{
            "QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=" ZIRKO_TEST_PLUGIN_PATH,
            "QT_STYLE_OVERRIDE=zirkorawprobe", "ZIRKO_TEST_PLUGIN_REPORT=" + Report,
            "HOME=" + AFolder.string()};
        Pid = ::fork();
        if (Pid == 0) {
            std::vector<char*> Envp;
            for (const auto& E : Env) {
                Envp.push_back(const_cast<char*>(E.c_str()));
            }
            Envp.push_back(nullptr);
            const char* Argv[] = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                  "--clear-groups",   Exe.c_str(),     nullptr};
            ::chdir(AFolder.c_str());
            ::execve(Argv[0], const_cast<char* const*>(Argv), Envp.data());
            ::_exit(127);
        }
    }
    ~TWindow() {
        if (Pid > 0) {
            ::kill(Pid, SIGKILL);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // The plugin's report once written (waits up to ten seconds), else empty.
    std::string PluginReport() const {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string Text;
        while (Text.empty() && std::chrono::steady_clock::now() < Deadline) {
            std::ifstream In(Report);
            std::getline(In, Text);
            if (Text.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return Text;
    }

    // The window's first child process, or -1.
    pid_t Child() const {
        std::ifstream In("/proc/" + std::to_string(Pid) + "/task/" + std::to_string(Pid) +
                         "/children");
        pid_t First = -1;
        In >> First;
        return First;
    }

    void Kill() {
        ::kill(Pid, SIGKILL);
        ::waitpid(Pid, nullptr, 0);
        Pid = -1;
    }

    std::string Report;
    pid_t Pid = -1;
};

bool Running(pid_t APid) {
    const std::string State = ProcStatusField(APid, "State");
    return !State.empty() && State[0] != 'Z';
}

TEST(WindowPrivilege, OnlyTheHelperHoldsTheRawSocketRight) {
    ZIRKO_REQUIRE_ROOT();
    struct TRow {
        const char* Name;
        bool Helper;          // a capable helper beside the window
        bool WindowCapable;   // the window's binary carries cap_net_raw+ep itself
        const char* Refusals; // of the plugin's two requests to the helper
    };
    const std::vector<TRow> Rows{
        {"capable helper", true, false, "2"},
        // An older install left the right on the window's binary: the window gives it up,
        {"capable helper, capable window binary", true, true, "2"},
        // and so it does where no helper is found.
        {"capable window binary alone", false, true, "0"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        THelperCopy Copy(ZIRKO_SOCKET_PATH, true, {ZIRKO_BINARY});
        ASSERT_FALSE(Copy.Path.empty());
        if (!R.Helper) {
            fs::remove(Copy.Path);
        }
        if (R.WindowCapable) {
            ASSERT_EQ(
                ::system(("setcap cap_net_raw+ep " + (Copy.Folder / "zirko").string()).c_str()), 0);
        }
        ASSERT_EQ(::chown(Copy.Folder.c_str(), 65534, 65534), 0);

        TWindow Window(Copy.Folder);
        std::istringstream Report(Window.PluginReport());
        std::string Opened, Error, PluginPid, Descriptors, Refusals;
        Report >> Opened >> Error >> PluginPid >> Descriptors >> Refusals;
        ASSERT_FALSE(Opened.empty()) << "the plugin was not loaded";
        EXPECT_EQ(PluginPid, std::to_string(Window.Pid)) << "loaded into the window";
        EXPECT_EQ(Opened, "0") << "errno " << Error;
        EXPECT_EQ(Descriptors, "0") << "a socket left the helper";
        EXPECT_EQ(Refusals, R.Refusals);

        EXPECT_EQ(ProcStatusField(Window.Pid, "CapPrm"), NoCapabilities);
        EXPECT_EQ(ProcStatusField(Window.Pid, "CapEff"), NoCapabilities);
        EXPECT_EQ(ProcStatusField(Window.Pid, "CapAmb"), NoCapabilities);
        const pid_t Helper = Window.Child();
        if (!R.Helper) {
            EXPECT_EQ(Helper, -1) << "no helper to start";
            continue;
        }
        ASSERT_GT(Helper, 0) << "the window started its helper";
        // Until its sockets are open, the helper holds what the file capability gave it.
        const auto Settled = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (ProcStatusField(Helper, "CapEff") != NoCapabilities &&
               std::chrono::steady_clock::now() < Settled) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(ProcStatusField(Helper, "CapPrm"), NoCapabilities);
        EXPECT_EQ(ProcStatusField(Helper, "CapEff"), NoCapabilities);
        EXPECT_EQ(ProcStatusField(Helper, "Uid").substr(0, 5), "65534");

        Window.Kill();
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (Running(Helper) && std::chrono::steady_clock::now() < Deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_FALSE(Running(Helper)) << "orphan helper " << Helper;
    }
}

} // namespace
