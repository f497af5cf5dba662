// SPDX-License-Identifier: GPL-3.0-or-later
#include "THelperChannel.h"

#include "TDescriptorPassing.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zirko::test {

using namespace TProbeProtocol;

THelperChannel::THelperChannel(const std::string& AHelper, std::vector<std::string> APrefix) {
    int Pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, Pair) != 0) {
        return;
    }
    const int On = 1;
    ::setsockopt(Pair[1], SOL_SOCKET, SO_PASSCRED, &On, sizeof(On));
    APrefix.push_back(AHelper);
    std::vector<char*> Argv;
    for (auto& A : APrefix) {
        Argv.push_back(A.data());
    }
    Argv.push_back(nullptr);
    char* const Envp[] = {nullptr};
    const pid_t Child = ::fork();
    if (Child == 0) {
        if (Pair[1] == 3) {
            ::fcntl(3, F_SETFD, 0); // dup2 onto itself would keep close-on-exec
        } else {
            ::dup2(Pair[1], 3);
        }
        ::execve(Argv[0], Argv.data(), Envp);
        ::_exit(127);
    }
    ::close(Pair[1]);
    FFd = Pair[0];
    FPid = Child;
}

THelperChannel::~THelperChannel() {
    if (FFd >= 0) {
        ::close(FFd);
    }
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
}

bool THelperChannel::Send(std::span<const uint8_t> ABytes, int ASendFd) const {
    return TDescriptorPassing::Send(FFd, ABytes, ASendFd) >= 0;
}

std::optional<THelperChannel::TAnswer> THelperChannel::Next(int AMs) const {
    pollfd Wait{FFd, POLLIN, 0};
    if (::poll(&Wait, 1, AMs) != 1) {
        return std::nullopt;
    }
    std::array<uint8_t, AnswerHeaderSize + MaxDatagram + 1> In{};
    TAnswer Answer;
    const ssize_t N = TDescriptorPassing::Receive(FFd, In, Answer.Fd);
    const auto Decoded =
        N <= 0 ? std::nullopt
               : DecodeAnswer(std::span<const uint8_t>(In).first(static_cast<std::size_t>(N)));
    if (!Decoded) {
        if (Answer.Fd >= 0) {
            ::close(Answer.Fd);
        }
        return std::nullopt;
    }
    Answer.Answer = *Decoded;
    return Answer;
}

std::optional<THelperChannel::TAnswer> THelperChannel::Ask(std::span<const uint8_t> ABytes,
                                                           uint32_t AId, int ASendFd) const {
    if (!Send(ABytes, ASendFd)) {
        return std::nullopt;
    }
    for (int I = 0; I < 1024; ++I) {
        auto A = Next();
        if (!A || (A->Answer.Kind == TAnswerKind::Sent && A->Answer.Id == AId)) {
            return A;
        }
        if (A->Fd >= 0) {
            return A; // a descriptor: the caller must see it
        }
    }
    return std::nullopt;
}

std::optional<int> THelperChannel::CloseAndWait(int AMs) {
    ::close(FFd);
    FFd = -1;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
    int Status = 0;
    while (std::chrono::steady_clock::now() < Deadline) {
        if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
            FPid = -1;
            return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

std::string ProcStatusField(pid_t APid, const std::string& AKey) {
    std::ifstream In("/proc/" + std::to_string(APid) + "/status");
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.rfind(AKey + ":", 0) == 0) {
            const auto Start = Line.find_first_not_of(" \t", AKey.size() + 1);
            return Start == std::string::npos ? std::string() : Line.substr(Start);
        }
    }
    return {};
}

} // namespace zirko::test
