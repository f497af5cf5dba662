// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetSocketHelper.h"

#include "TCapabilities.h"
#include "TDescriptorPassing.h"
#include "TSendRate.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef ZIRKO_SOCKET_FROM_BINDIR
#define ZIRKO_SOCKET_FROM_BINDIR "../libexec/zirko"
#endif

using namespace TProbeProtocol;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* HelperName = "zirko-socket";
constexpr int HelperChannel = 3;
// The helper answers at once; a helper that does not is treated as gone.
constexpr int AnswerLimitMs = 2000;
// Datagrams kept for probes nobody collects yet; the oldest go first.
constexpr std::size_t QueueLimit = 256;
// Tries at the helper's pace, each after one interval: far more than a burst needs.
constexpr int PaceTries = 100;

// Spawns APath with AChannel as descriptor 3, signals at their defaults, no environment.
pid_t Spawn(const std::string& APath, int AChannel, int& AError) {
    posix_spawn_file_actions_t Actions;
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, AChannel, HelperChannel);
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
    AError = ::posix_spawn(&Child, APath.c_str(), &Actions, &Attributes, Argv, Envp);
    posix_spawn_file_actions_destroy(&Actions);
    posix_spawnattr_destroy(&Attributes);
    return AError == 0 ? Child : -1;
}

// Owned by this user or root, and writable by nobody else.
bool Trusted(const std::string& APath) {
    struct stat S {};
    return ::stat(APath.c_str(), &S) == 0 && (S.st_uid == ::geteuid() || S.st_uid == 0) &&
           (S.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

int RemainingMs(Clock::time_point ADeadline) {
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(ADeadline - Clock::now()).count();
    return static_cast<int>(std::max<int64_t>(Left, 0));
}

} // namespace

TNetSocketHelper::~TNetSocketHelper() {
    Stop();
}

bool TNetSocketHelper::StartForProgram() {
    if (::geteuid() == 0 && TCapabilities::HoldsEffective(CAP_NET_RAW)) {
        return true;
    }
    if (!TCapabilities::DropAll()) {
        return false;
    }
    std::array<char, 4096> Exe{};
    const ssize_t N = ::readlink("/proc/self/exe", Exe.data(), Exe.size() - 1);
    if (N > 0) {
        const std::string Path = Locate(std::string(Exe.data(), static_cast<std::size_t>(N)));
        if (!Path.empty()) {
            Start(Path);
        }
    }
    return true;
}

bool TNetSocketHelper::Start(const std::string& APath) {
    std::lock_guard Guard(FLock);
    StopLocked();
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
    int Error = 0;
    const pid_t Child = Spawn(APath, Theirs, Error);
    ::close(Theirs);
    if (Child < 0) {
        ::close(Pair[0]);
        errno = Error;
        return false;
    }
    FChannel = Pair[0];
    FPid = Child;
    std::optional<TAnswer> Hello;
    if (ReadOne(AnswerLimitMs, &Hello) != TRead::Got || !Hello ||
        Hello->Kind != TAnswerKind::Hello) {
        StopLocked();
        errno = ECONNREFUSED;
        return false;
    }
    FStatus4 = Hello->Status;
    FStatus6 = Hello->Family;
    FIdentifier = Hello->Identifier;
    return true;
}

void TNetSocketHelper::Stop() {
    std::lock_guard Guard(FLock);
    StopLocked();
}

void TNetSocketHelper::StopLocked() {
    FQueue.clear();
    FLive.clear();
    FPosted.clear();
    FReports.clear();
    if (FChannel >= 0) {
        ::close(FChannel);
        FChannel = -1;
    }
    if (FPid > 0) {
        // Its end of the pair closed: the helper leaves at once; one that does not is ended.
        const auto Deadline = Clock::now() + std::chrono::seconds(1);
        while (::waitpid(FPid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > Deadline) {
                ::kill(FPid, SIGKILL);
                ::waitpid(FPid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        FPid = -1;
    }
}

bool TNetSocketHelper::Running() const {
    std::lock_guard Guard(FLock);
    return FChannel >= 0;
}

pid_t TNetSocketHelper::Pid() const {
    std::lock_guard Guard(FLock);
    return FPid;
}

std::optional<int> TNetSocketHelper::FamilyStatus(int AFamily) const {
    std::lock_guard Guard(FLock);
    if (FChannel < 0) {
        return std::nullopt;
    }
    return AFamily == AF_INET6 ? FStatus6 : FStatus4;
}

uint16_t TNetSocketHelper::Identifier() const {
    std::lock_guard Guard(FLock);
    return FIdentifier;
}

TNetSocketHelper::TRead TNetSocketHelper::ReadOne(int AMs, std::optional<TAnswer>* AReport) {
    pollfd Wait{FChannel, POLLIN, 0};
    const int Ready = ::poll(&Wait, 1, AMs);
    if (Ready == 0 || (Ready < 0 && errno == EINTR)) {
        return TRead::TimedOut;
    }
    std::array<uint8_t, AnswerHeaderSize + MaxDatagram + 1> In{};
    int Fd = -1;
    const ssize_t N = Ready < 0 ? -1 : TDescriptorPassing::Receive(FChannel, In, Fd);
    if (N <= 0) {
        return TRead::Broken;
    }
    if (Fd >= 0) {
        ::close(Fd); // the helper hands out no descriptors; whoever sent this is not it
        return TRead::Got;
    }
    auto Answer = DecodeAnswer(std::span<const uint8_t>(In).first(static_cast<std::size_t>(N)));
    if (!Answer) {
        return TRead::Got;
    }
    if (Answer->Kind == TAnswerKind::Sent && FPosted.erase(Answer->Id) > 0) {
        if (Answer->Status == 0) {
            FLive.insert(Answer->Id);
        }
        FReports[Answer->Id] = TSent{Answer->Id, Answer->Status, Answer->StampNs};
    } else if (Answer->Kind != TAnswerKind::Datagram) {
        if (AReport != nullptr) {
            *AReport = std::move(Answer);
        }
    } else if (Live(Answer->Id)) {
        if (FQueue.size() >= QueueLimit) {
            FQueue.pop_front();
        }
        FQueue.push_back(std::move(*Answer));
    }
    return TRead::Got;
}

bool TNetSocketHelper::Live(uint32_t AId) const {
    return FLive.contains(AId);
}

std::optional<TNetSocketHelper::TSent> TNetSocketHelper::Send(TProbe AProbe) {
    std::lock_guard Guard(FLock);
    if (FChannel < 0) {
        return std::nullopt;
    }
    AProbe.Id = FNextId++;
    const auto Bytes = EncodeProbe(AProbe);
    for (int Try = 0; Try < PaceTries; ++Try) {
        if (::send(FChannel, Bytes.data(), Bytes.size(), MSG_NOSIGNAL) < 0) {
            break;
        }
        const auto Deadline = Clock::now() + std::chrono::milliseconds(AnswerLimitMs);
        std::optional<TAnswer> Report;
        while (!(Report && Report->Kind == TAnswerKind::Sent && Report->Id == AProbe.Id)) {
            Report.reset();
            if (ReadOne(RemainingMs(Deadline), &Report) != TRead::Got) {
                StopLocked();
                return std::nullopt;
            }
        }
        if (Report->Status == EAGAIN && Try + 1 < PaceTries) {
            std::this_thread::sleep_for(std::chrono::nanoseconds(TSendRate::IntervalNs));
            continue;
        }
        if (Report->Status == 0) {
            FLive.insert(AProbe.Id);
        }
        return TSent{AProbe.Id, Report->Status, Report->StampNs};
    }
    StopLocked();
    return std::nullopt;
}

std::optional<uint32_t> TNetSocketHelper::Post(TProbe AProbe) {
    std::lock_guard Guard(FLock);
    if (FChannel < 0) {
        return std::nullopt;
    }
    AProbe.Id = FNextId++;
    const auto Bytes = EncodeProbe(AProbe);
    if (::send(FChannel, Bytes.data(), Bytes.size(), MSG_NOSIGNAL) < 0) {
        StopLocked();
        return std::nullopt;
    }
    FPosted.insert(AProbe.Id);
    return AProbe.Id;
}

std::optional<TNetSocketHelper::TSent> TNetSocketHelper::TakeReport(uint32_t AId) {
    std::lock_guard Guard(FLock);
    const auto Found = FReports.find(AId);
    if (Found == FReports.end()) {
        return std::nullopt;
    }
    const TSent Report = Found->second;
    FReports.erase(Found);
    return Report;
}

void TNetSocketHelper::Answered(uint32_t AId) {
    std::lock_guard Guard(FLock);
    FLive.erase(AId);
    std::erase_if(FQueue, [AId](const TAnswer& A) { return A.Id == AId; });
}

bool TNetSocketHelper::WaitFor(uint32_t AId, int32_t AMilliseconds) {
    std::lock_guard Guard(FLock);
    const auto Queued = [&] {
        return std::any_of(FQueue.begin(), FQueue.end(),
                           [AId](const TAnswer& A) { return A.Id == AId; });
    };
    const bool Forever = AMilliseconds == -2;
    const auto Deadline = Clock::now() + std::chrono::milliseconds(std::max(AMilliseconds, 0));
    while (!Queued() && FChannel >= 0) {
        const TRead Read = ReadOne(Forever ? -1 : RemainingMs(Deadline), nullptr);
        if (Read == TRead::Broken) {
            StopLocked();
        } else if (Read == TRead::TimedOut) {
            return false;
        }
    }
    return Queued();
}

std::optional<TAnswer> TNetSocketHelper::Take(uint32_t AId) {
    std::lock_guard Guard(FLock);
    const auto It =
        std::find_if(FQueue.begin(), FQueue.end(), [AId](const TAnswer& A) { return A.Id == AId; });
    if (It == FQueue.end()) {
        return std::nullopt;
    }
    TAnswer Answer = std::move(*It);
    FQueue.erase(It);
    return Answer;
}

void TNetSocketHelper::Forget(uint32_t AId) {
    std::lock_guard Guard(FLock);
    FReports.erase(AId);
    // Not yet reported: the helper waits for it no longer than the probe's own wait.
    if (FPosted.erase(AId) > 0 || !Live(AId)) {
        return;
    }
    FLive.erase(AId);
    std::erase_if(FQueue, [AId](const TAnswer& A) { return A.Id == AId; });
    if (FChannel >= 0) {
        const auto Bytes = EncodeForget(AId);
        ::send(FChannel, Bytes.data(), Bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
}

int TNetSocketHelper::Descriptor() const {
    std::lock_guard Guard(FLock);
    return FChannel;
}

void TNetSocketHelper::Collect() {
    // No probe has the number 0, so the wait reads until the channel is empty.
    WaitFor(0, 0);
}

std::string TNetSocketHelper::Locate(const std::string& AExecutable) {
    const auto Slash = AExecutable.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : AExecutable.substr(0, Slash);
    const std::string Beside = Folder + "/" + HelperName;
    if (Trusted(Folder) && Trusted(Beside) && ::access(Beside.c_str(), X_OK) == 0) {
        return Beside;
    }
    const std::string Installed = Folder + "/" + ZIRKO_SOCKET_FROM_BINDIR;
    const std::string Path = Installed + "/" + HelperName;
    if (Trusted(Installed) && Trusted(Path) && ::access(Path.c_str(), X_OK) == 0) {
        return Path;
    }
    return {};
}
