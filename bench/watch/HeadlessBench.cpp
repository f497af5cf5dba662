// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-headless watching 127.0.0.1 every 2 s for 60 s beside iputils ping -i 2 over
// the same span: the CPU time each used, and zirko-headless's resident memory once
// started (idle between pings) and at the end.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

pid_t Spawn(const std::string& Folder, const std::vector<std::string>& Args) {
    std::vector<char*> Argv;
    for (const std::string& A : Args) {
        Argv.push_back(const_cast<char*>(A.c_str()));
    }
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, (Folder + "/stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&Actions, 2, (Folder + "/stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t Pid = -1;
    if (::posix_spawnp(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0) {
        Pid = -1;
    }
    posix_spawn_file_actions_destroy(&Actions);
    return Pid;
}

long RssKb(pid_t Pid) {
    std::ifstream Status("/proc/" + std::to_string(Pid) + "/status");
    for (std::string Line; std::getline(Status, Line);) {
        if (Line.rfind("VmRSS:", 0) == 0) {
            return std::atol(Line.c_str() + 6);
        }
    }
    return -1;
}

// CPU seconds (user + system) of a child that has been stopped.
double Reap(pid_t Pid) {
    int Status = 0;
    rusage Usage{};
    ::wait4(Pid, &Status, 0, &Usage);
    return double(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           double(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: headless_bench PATH_TO_ZIRKO_HEADLESS [SECONDS]\n");
        return 2;
    }
    const int Seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    char Template[] = "/tmp/zirko-headless-bench-XXXXXX";
    const std::string Folder = ::mkdtemp(Template);
    // A copy of its own, so its log and history lie in the benchmark's folder.
    const std::string Copy = Folder + "/zirko-headless";
    std::system(("cp '" + std::string(argv[1]) + "' '" + Copy + "'").c_str());
    const pid_t Zirko = Spawn(Folder, {Copy, "--host", "127.0.0.1"});
    const pid_t Ping = Spawn(Folder, {"ping", "-n", "-q", "-i", "2", "127.0.0.1"});
    if (Zirko < 0 || Ping < 0) {
        std::fprintf(stderr, "cannot start the two programs\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const long Started = RssKb(Zirko);
    std::this_thread::sleep_for(std::chrono::seconds(Seconds - 5));
    const long End = RssKb(Zirko);
    ::kill(Zirko, SIGTERM);
    ::kill(Ping, SIGINT);
    const double ZirkoCpu = Reap(Zirko), PingCpu = Reap(Ping);
    std::printf("| CPU over %d s, ping every 2 s | %.3f s | iputils ping -i 2: %.3f s |\n", Seconds,
                ZirkoCpu, PingCpu);
    std::printf("| resident memory, 5 s after start and at the end | %ld kB | %ld kB |\n", Started,
                End);
    std::system(("rm -rf '" + Folder + "'").c_str());
    return 0;
}
