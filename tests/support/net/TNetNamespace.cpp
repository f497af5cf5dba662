// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetNamespace.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace zirko::test {

namespace {

std::atomic<int> GCounter{0};

// "zk-<tag>-<pid>-<n>" -> pid, or 0.
pid_t OwnerPid(const std::string& AName) {
    if (AName.rfind("zk-", 0) != 0) {
        return 0;
    }
    const auto Last = AName.rfind('-');
    const auto Before = Last == std::string::npos ? Last : AName.rfind('-', Last - 1);
    if (Before == std::string::npos || Before + 1 >= Last) {
        return 0;
    }
    try {
        return static_cast<pid_t>(std::stol(AName.substr(Before + 1, Last - Before - 1)));
    } catch (const std::exception&) {
        return 0;
    }
}

void RemoveStaleNamespaces() {
    const TCommandResult List = RunCommand({"ip", "netns", "list"});
    std::istringstream Lines(List.Output);
    std::string Line;
    for (int I = 0; I < 256 && std::getline(Lines, Line); ++I) {
        const std::string Name = Line.substr(0, Line.find(' '));
        const pid_t Pid = OwnerPid(Name);
        if (Pid > 0 && ::kill(Pid, 0) != 0 && errno == ESRCH) {
            RunCommand({"ip", "netns", "del", Name});
            std::error_code Ignored;
            std::filesystem::remove_all("/etc/netns/" + Name, Ignored);
        }
    }
}

} // namespace

TNetNamespace::TNetNamespace(const std::string& ATag) {
    static std::once_flag Cleaned;
    std::call_once(Cleaned, RemoveStaleNamespaces);
    FName = "zk-" + ATag + "-" + std::to_string(::getpid()) + "-" + std::to_string(GCounter++);
    zirko::test::RunChecked({"ip", "netns", "add", FName});
    Ip({"link", "set", "lo", "up"});
}

TNetNamespace::~TNetNamespace() {
    RunCommand({"ip", "netns", "del", FName});
    if (FHasHostsFile) {
        std::error_code Ignored;
        std::filesystem::remove_all("/etc/netns/" + FName, Ignored);
    }
}

TCommandResult TNetNamespace::Run(const std::vector<std::string>& AArgv, int ATimeoutMs) const {
    std::vector<std::string> Argv{"ip", "netns", "exec", FName};
    Argv.insert(Argv.end(), AArgv.begin(), AArgv.end());
    return RunCommand(Argv, ATimeoutMs);
}

std::string TNetNamespace::RunChecked(const std::vector<std::string>& AArgv, int ATimeoutMs) const {
    std::vector<std::string> Argv{"ip", "netns", "exec", FName};
    Argv.insert(Argv.end(), AArgv.begin(), AArgv.end());
    return zirko::test::RunChecked(Argv, ATimeoutMs);
}

void TNetNamespace::Ip(const std::vector<std::string>& AArgs) const {
    std::vector<std::string> Argv{"ip", "-n", FName};
    Argv.insert(Argv.end(), AArgs.begin(), AArgs.end());
    zirko::test::RunChecked(Argv);
}

bool TNetNamespace::Nft(const std::string& ACommand) const {
    return Run({"nft", ACommand}).ExitCode == 0;
}

void TNetNamespace::SetSysctl(const std::string& AKey, const std::string& AValue) const {
    RunChecked({"sysctl", "-q", "-w", AKey + "=" + AValue});
}

void TNetNamespace::SetPingGroupRange(long ALow, long AHigh) const {
    SetSysctl("net.ipv4.ping_group_range", std::to_string(ALow) + " " + std::to_string(AHigh));
}

void TNetNamespace::SetHostsFile(
    const std::vector<std::pair<std::string, std::string>>& AAddressNames) const {
    const std::filesystem::path Dir = "/etc/netns/" + FName;
    std::filesystem::create_directories(Dir);
    FHasHostsFile = true;
    std::ofstream Hosts(Dir / "hosts");
    Hosts << "127.0.0.1 localhost\n";
    for (const auto& [Address, Name] : AAddressNames) {
        Hosts << Address << ' ' << Name << '\n';
    }
}

} // namespace zirko::test
