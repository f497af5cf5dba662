// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmpPeer.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zirko::test {

namespace {

// Reads what is available within AWaitMs; false at end of stream.
bool ReadSome(int AFd, std::string& AInto, int AWaitMs) {
    pollfd Fd{AFd, POLLIN, 0};
    if (::poll(&Fd, 1, AWaitMs) <= 0) {
        return true;
    }
    std::array<char, 1024> Buffer{};
    const ssize_t N = ::read(AFd, Buffer.data(), Buffer.size());
    if (N <= 0) {
        return false;
    }
    AInto.append(Buffer.data(), static_cast<std::size_t>(N));
    return true;
}

} // namespace

TIcmpPeer::TIcmpPeer(const TNetNamespace& ANamespace, const std::string& AActions,
                     int ALifetimeMs) {
    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const std::vector<std::string> Argv{"ip",
                                        "netns",
                                        "exec",
                                        ANamespace.Name(),
                                        ZIRKO_ICMP_PEER_PATH,
                                        "--actions=" + AActions,
                                        "--lifetime-ms=" + std::to_string(ALifetimeMs)};
    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(Pipe[1], STDOUT_FILENO);
        std::vector<char*> Args;
        for (const auto& A : Argv) {
            Args.push_back(const_cast<char*>(A.c_str()));
        }
        Args.push_back(nullptr);
        ::execvp(Args[0], Args.data());
        ::_exit(127);
    }
    ::close(Pipe[1]);
    FOut = Pipe[0];
    if (FPid < 0) {
        ::close(FOut);
        throw std::runtime_error("fork failed");
    }
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (FOutput.find("ready\n") == std::string::npos) {
        if (std::chrono::steady_clock::now() > Deadline || !ReadSome(FOut, FOutput, 100)) {
            const std::string Seen = Stop();
            throw std::runtime_error("ICMP peer did not start: " + Seen);
        }
    }
}

TIcmpPeer::~TIcmpPeer() {
    Stop();
}

std::string TIcmpPeer::Stop() {
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        int Status = 0;
        // Bounded: SIGTERM ends the peer at once; SIGKILL after two seconds regardless.
        for (int I = 0; I < 20 && ::waitpid(FPid, &Status, WNOHANG) == 0; ++I) {
            ReadSome(FOut, FOutput, 100);
            if (I == 19) {
                ::kill(FPid, SIGKILL);
                ::waitpid(FPid, &Status, 0);
            }
        }
        FPid = -1;
    }
    if (FOut >= 0) {
        for (int I = 0; I < 64 && ReadSome(FOut, FOutput, 0);) {
            ++I;
            if (FOutput.size() > (1u << 20)) {
                break;
            }
            pollfd Fd{FOut, POLLIN, 0};
            if (::poll(&Fd, 1, 0) <= 0) {
                break;
            }
        }
        ::close(FOut);
        FOut = -1;
    }
    return FOutput;
}

} // namespace zirko::test
