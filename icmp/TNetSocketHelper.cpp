// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketHelper.h"

#include "TCapabilities.h"
#include "TDescriptorPassing.h"
#include "TSocketRequest.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/icmp.h>
#include <mutex>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef ZIRKO_SOCKET_FROM_BINDIR
#define ZIRKO_SOCKET_FROM_BINDIR "../libexec/zirko"
#endif

using namespace TSocketRequest;

namespace {

constexpr const char* HelperName = "zirko-socket";
constexpr int HelperChannel = 3;
// The helper answers at once; a helper that does not is treated as gone.
constexpr int AnswerLimitMs = 2000;
// Sockets asked for in one go. Waking the helper costs far more than what it does per socket,
// so it is woken once for several pings; the spares wait with every ICMP type blocked.
constexpr int Batch = 8;

// Blocks (or passes again) every ICMP type on a raw socket, so that a spare collects nothing.
bool FilterAll(int AFd, int AFamily, bool ABlock) {
    if (AFamily == AF_INET6) {
        icmp6_filter Filter{};
        if (ABlock) {
            ICMP6_FILTER_SETBLOCKALL(&Filter);
        } else {
            ICMP6_FILTER_SETPASSALL(&Filter);
        }
        return ::setsockopt(AFd, IPPROTO_ICMPV6, ICMP6_FILTER, &Filter, sizeof(Filter)) == 0;
    }
    const icmp_filter Filter{ABlock ? ~0U : 0U};
    return ::setsockopt(AFd, SOL_RAW, ICMP_FILTER, &Filter, sizeof(Filter)) == 0;
}

class THelperProcess {
public:
    ~THelperProcess() { Stop(); }

    bool Start(const std::string& APath);
    void Stop();
    std::optional<TNetSocketHelper::TAnswer> Open(const TRequest& ARequest);

    std::mutex Lock;
    int Channel = -1;
    pid_t Pid = -1;
    uint32_t NextId = 1;

private:
    struct TSpare {
        int Family;
        int Protocol;
        int Fd;
    };

    // Sends ACount requests at once and reads their answers; the first is returned, the
    // other sockets are kept as spares.
    bool Ask(const TRequest& ARequest, int ACount, TNetSocketHelper::TAnswer& AAnswer);
    bool ReadAnswer(TReply& AReply, int& AFd);
    void Keep(const TRequest& ARequest, int AFd);
    int TakeSpare(int AFamily, int AProtocol);
    void DropSpares();

    std::vector<TSpare> FSpares;
    // After a refusal (a helper without the right) one socket is asked for at a time.
    bool FRefused = false;
};

THelperProcess GHelper;

bool THelperProcess::Start(const std::string& APath) {
    Stop();
    int Pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, Pair) != 0) {
        return false;
    }
    int Theirs = Pair[1];
    // Their end becomes descriptor 3; a copy elsewhere first if it already is 3, since a
    // dup2 onto itself would keep close-on-exec.
    if (Theirs == HelperChannel) {
        Theirs = ::fcntl(Pair[1], F_DUPFD_CLOEXEC, HelperChannel + 1);
        ::close(Pair[1]);
    }
    // Set before the helper runs, so that even its first request carries the sender.
    const int On = 1;
    ::setsockopt(Theirs, SOL_SOCKET, SO_PASSCRED, &On, sizeof(On));

    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Theirs, HelperChannel);
    posix_spawnattr_init(&Attributes);
    sigset_t None;
    sigset_t Defaults;
    sigemptyset(&None);
    sigemptyset(&Defaults);
    for (const int Signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD}) {
        sigaddset(&Defaults, Signal);
    }
    posix_spawnattr_setsigmask(&Attributes, &None);
    posix_spawnattr_setsigdefault(&Attributes, &Defaults);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // Nothing of the user's environment reaches the capable process.
    std::string Name = HelperName;
    char* const Argv[] = {Name.data(), nullptr};
    char* const Envp[] = {nullptr};
    pid_t Child = -1;
    const int Error = ::posix_spawn(&Child, APath.c_str(), &Actions, &Attributes, Argv, Envp);
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
    ::close(Theirs);
    if (Error != 0) {
        ::close(Pair[0]);
        errno = Error;
        return false;
    }
    // A bounded wait for each answer, set once rather than polled for every request.
    const timeval Limit{AnswerLimitMs / 1000, (AnswerLimitMs % 1000) * 1000};
    ::setsockopt(Pair[0], SOL_SOCKET, SO_RCVTIMEO, &Limit, sizeof(Limit));
    Channel = Pair[0];
    Pid = Child;
    return true;
}

void THelperProcess::Stop() {
    DropSpares();
    if (Channel >= 0) {
        ::close(Channel);
        Channel = -1;
    }
    if (Pid > 0) {
        // Its end of the pair closed: the helper leaves at once; one that does not is ended.
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (::waitpid(Pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > Deadline) {
                ::kill(Pid, SIGKILL);
                ::waitpid(Pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Pid = -1;
    }
}

bool THelperProcess::ReadAnswer(TReply& AReply, int& AFd) {
    std::array<uint8_t, ReplySize> In{};
    if (TDescriptorPassing::Receive(Channel, In, AFd) != static_cast<ssize_t>(ReplySize)) {
        if (AFd >= 0) {
            ::close(AFd);
        }
        return false;
    }
    AReply = DecodeReply(In);
    return true;
}

bool THelperProcess::Ask(const TRequest& ARequest, int ACount, TNetSocketHelper::TAnswer& AAnswer) {
    for (int I = 0; I < ACount; ++I) {
        TRequest R = ARequest;
        R.Id = ARequest.Id + static_cast<uint32_t>(I);
        const auto Bytes = Encode(R);
        if (::send(Channel, Bytes.data(), Bytes.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(Bytes.size())) {
            return false;
        }
    }
    // The helper answers in order. Answers to other holders of this end (there should be
    // none) are dropped with whatever they carry.
    for (int Got = 0; Got < ACount;) {
        TReply Reply;
        int Fd = -1;
        if (!ReadAnswer(Reply, Fd)) {
            return false;
        }
        const uint32_t Index = Reply.Id - ARequest.Id;
        if (Index != static_cast<uint32_t>(Got) || (Reply.Status == 0) != (Fd >= 0)) {
            if (Fd >= 0) {
                ::close(Fd);
            }
            if (Index == static_cast<uint32_t>(Got)) {
                return false; // a success without a socket: not our helper speaking
            }
            continue;
        }
        if (Got == 0) {
            AAnswer = {Fd, Reply.Status};
        } else if (Fd >= 0) {
            Keep(ARequest, Fd);
        }
        ++Got;
    }
    return true;
}

void THelperProcess::Keep(const TRequest& ARequest, int AFd) {
    if (FilterAll(AFd, ARequest.Family, true)) {
        FSpares.push_back({ARequest.Family, ARequest.Protocol, AFd});
    } else {
        ::close(AFd);
    }
}

int THelperProcess::TakeSpare(int AFamily, int AProtocol) {
    for (;;) {
        const auto It = std::find_if(FSpares.begin(), FSpares.end(), [&](const TSpare& S) {
            return S.Family == AFamily && S.Protocol == AProtocol;
        });
        if (It == FSpares.end()) {
            return -1;
        }
        const int Fd = It->Fd;
        FSpares.erase(It);
        // Whatever slipped in before the filter was set, or passed it (IPv4 types above 31),
        // goes; then the socket passes everything again, like one opened just now.
        std::array<uint8_t, 64> Sink{};
        while (::recv(Fd, Sink.data(), Sink.size(), MSG_DONTWAIT | MSG_TRUNC) >= 0) {
        }
        if (FilterAll(Fd, AFamily, false)) {
            return Fd;
        }
        ::close(Fd);
    }
}

void THelperProcess::DropSpares() {
    for (const TSpare& S : FSpares) {
        ::close(S.Fd);
    }
    FSpares.clear();
}

std::optional<TNetSocketHelper::TAnswer> THelperProcess::Open(const TRequest& ARequest) {
    if (const int Fd = TakeSpare(ARequest.Family, ARequest.Protocol); Fd >= 0) {
        return TNetSocketHelper::TAnswer{Fd, 0};
    }
    if (Channel < 0) {
        return std::nullopt;
    }
    TNetSocketHelper::TAnswer Answer;
    const int Count = FRefused || ARequest.Type != SOCK_RAW ? 1 : Batch;
    NextId += static_cast<uint32_t>(Count);
    if (!Ask(ARequest, Count, Answer)) {
        // A helper that stopped answering serves no more: the socket is opened as without one.
        if (Answer.Id >= 0) {
            ::close(Answer.Id);
        }
        Stop();
        return std::nullopt;
    }
    FRefused = Answer.Error != 0;
    return Answer;
}

bool IsExecutable(const std::string& APath) {
    return ::access(APath.c_str(), X_OK) == 0;
}

} // namespace

void TNetSocketHelper::StartForProgram() {
    if (::geteuid() == 0 && TCapabilities::HoldsEffective(CAP_NET_RAW)) {
        return;
    }
    std::array<char, 4096> Exe{};
    const ssize_t N = ::readlink("/proc/self/exe", Exe.data(), Exe.size() - 1);
    if (N <= 0) {
        return;
    }
    const std::string Path = Locate(std::string(Exe.data(), static_cast<std::size_t>(N)));
    if (Path.empty() || !Start(Path)) {
        return;
    }
    TCapabilities::Write(TCapabilities{});
}

bool TNetSocketHelper::Start(const std::string& APath) {
    std::lock_guard Guard(GHelper.Lock);
    return GHelper.Start(APath);
}

void TNetSocketHelper::Stop() {
    std::lock_guard Guard(GHelper.Lock);
    GHelper.Stop();
}

bool TNetSocketHelper::Running() {
    std::lock_guard Guard(GHelper.Lock);
    return GHelper.Channel >= 0;
}

pid_t TNetSocketHelper::Pid() {
    std::lock_guard Guard(GHelper.Lock);
    return GHelper.Pid;
}

std::optional<TNetSocketHelper::TAnswer> TNetSocketHelper::Open(int AFamily, int AType,
                                                                int AProtocol) {
    std::lock_guard Guard(GHelper.Lock);
    return GHelper.Open({AFamily, AType, AProtocol, GHelper.NextId});
}

std::string TNetSocketHelper::Locate(const std::string& AExecutable) {
    const auto Slash = AExecutable.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : AExecutable.substr(0, Slash);
    for (const std::string& Candidate :
         {Folder + "/" + HelperName, Folder + "/" + ZIRKO_SOCKET_FROM_BINDIR + "/" + HelperName}) {
        if (IsExecutable(Candidate)) {
            return Candidate;
        }
    }
    return {};
}
