// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-socket as a process: what it sends, what it refuses and passes back, which rights it
// keeps, and that it never outlives the window.
#include "RequireRoot.h"
#include "TCommand.h"
#include "THelperChannel.h"
#include "THelperCopy.h"
#include "TIcmpPeer.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHelper.h"
#include "TProbeMatch.h"
#include "TProbeServer.h"
#include "TSendRate.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <grp.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zirko::test;
using namespace TProbeProtocol;

namespace {

const std::string Helper = ZIRKO_SOCKET_PATH;
const std::vector<std::string> AsNobody{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                        "--clear-groups"};

// An echo request to loopback of AFamily with the sequence number AId, checksummed as the
// window does it (the kernel checksums the ICMPv6 one).
TProbe Echo(int AFamily, uint32_t AId, uint32_t AWaitMs = 1000) {
    TProbe P;
    P.Id = AId;
    P.Family = AFamily;
    P.HopLimit = 64;
    P.WaitMs = AWaitMs;
    if (AFamily == AF_INET) {
        P.Address = {127, 0, 0, 1};
    } else {
        P.Address[15] = 1;
    }
    P.Message.assign(52, 'E');
    P.Message[0] = AFamily == AF_INET ? 8 : 128;
    P.Message[1] = 0;
    P.Message[2] = P.Message[3] = 0;
    P.Message[6] = static_cast<uint8_t>(AId & 0xFF);
    P.Message[7] = static_cast<uint8_t>((AId >> 8) & 0xFF);
    if (AFamily == AF_INET) {
        uint32_t Sum = 0;
        for (std::size_t I = 0; I < P.Message.size(); I += 2) {
            Sum += static_cast<uint32_t>(P.Message[I] | (P.Message[I + 1] << 8));
        }
        Sum = (Sum >> 16) + (Sum & 0xFFFF);
        Sum += Sum >> 16;
        const auto Check = static_cast<uint16_t>(~Sum);
        P.Message[2] = static_cast<uint8_t>(Check & 0xFF);
        P.Message[3] = static_cast<uint8_t>(Check >> 8);
    }
    return P;
}

// The datagrams that come within AMs, none of them with a descriptor.
std::vector<TAnswer> Datagrams(const THelperChannel& AChannel, int AMs) {
    std::vector<TAnswer> Got;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(AMs);
    while (std::chrono::steady_clock::now() < Deadline && Got.size() < 16) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
            Deadline - std::chrono::steady_clock::now());
        const auto A = AChannel.Next(static_cast<int>(std::max<int64_t>(Left.count(), 0)));
        if (!A) {
            break;
        }
        EXPECT_EQ(A->Fd, -1) << "a descriptor left the helper";
        Got.push_back(A->Answer);
    }
    return Got;
}

class SocketHelper : public ::testing::Test {
protected:
    void SetUp() override { ZIRKO_REQUIRE_ROOT(); }
};

// Sends one ICMP message of AType (IPv4) or echo request (IPv6) to loopback.
void SendIcmp(int AFamily, uint8_t AType) {
    const int Protocol = AFamily == AF_INET ? int{IPPROTO_ICMP} : int{IPPROTO_ICMPV6};
    const int Fd = ::socket(AFamily, SOCK_RAW, Protocol);
    ASSERT_GE(Fd, 0);
    uint8_t Message[8] = {AType, 0, 0, 0, 0, 1, 0, 1};
    if (AFamily == AF_INET) {
        // The checksum of these eight bytes, for the receiving stack to accept them.
        uint32_t Sum = 0;
        for (int I = 0; I < 8; I += 2) {
            Sum += (Message[I] << 8) | Message[I + 1];
        }
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
        const uint16_t Check = static_cast<uint16_t>(~Sum);
        Message[2] = static_cast<uint8_t>(Check >> 8);
        Message[3] = static_cast<uint8_t>(Check & 0xFF);
        sockaddr_in To{};
        To.sin_family = AF_INET;
        To.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::sendto(Fd, Message, sizeof(Message), 0, reinterpret_cast<sockaddr*>(&To), sizeof(To));
    } else {
        sockaddr_in6 To{};
        To.sin6_family = AF_INET6;
        To.sin6_addr = in6addr_loopback;
        ::sendto(Fd, Message, sizeof(Message), 0, reinterpret_cast<sockaddr*>(&To), sizeof(To));
    }
    ::close(Fd);
}

bool Queued(int AFd, int AWaitMs) {
    pollfd Wait{AFd, POLLIN, 0};
    return ::poll(&Wait, 1, AWaitMs) == 1;
}

TEST_F(SocketHelper, SendsEchoRequestsAndKeepsNoRight) {
    TNetNamespace Loop("probe");
    TNetNamespaceScope Inside(Loop);
    struct TRow {
        const char* Name;
        bool AsNobodyUser;
        bool Capable;
        int Status; // of opening its sockets, and so of every probe
    };
    const std::vector<TRow> Rows{
        {"as root", false, false, 0},
        {"as an ordinary user, the helper capable", true, true, 0},
        {"as an ordinary user, the helper not capable", true, false, EPERM},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        THelperCopy Copy(Helper, R.Capable);
        ASSERT_FALSE(Copy.Path.empty());
        THelperChannel Channel(Copy.Path, R.AsNobodyUser ? AsNobody : std::vector<std::string>{});
        const auto Hello = Channel.Next();
        ASSERT_TRUE(Hello.has_value());
        EXPECT_EQ(Hello->Answer.Kind, TAnswerKind::Hello);
        EXPECT_EQ(Hello->Answer.Status, R.Status) << "IPv4";
        EXPECT_EQ(Hello->Answer.Family, R.Status) << "IPv6";
        // Once serving it holds nothing, and cannot get anything back.
        for (const char* Set : {"CapPrm", "CapEff", "CapInh", "CapAmb", "CapBnd"}) {
            const bool Bounded = std::string(Set) == "CapBnd";
            if (!Bounded || !R.AsNobodyUser) {
                EXPECT_EQ(ProcStatusField(Channel.Pid(), Set), "0000000000000000") << Set;
            }
        }
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "NoNewPrivs"), "1");
        uint32_t Id = 40;
        for (const int Family : {AF_INET, AF_INET6}) {
            SCOPED_TRACE(Family == AF_INET ? "IPv4" : "IPv6");
            ++Id;
            const auto Sent = Channel.Ask(EncodeProbe(Echo(Family, Id)), Id);
            ASSERT_TRUE(Sent.has_value());
            EXPECT_EQ(Sent->Fd, -1);
            EXPECT_EQ(Sent->Answer.Status, R.Status);
            EXPECT_EQ(Sent->Answer.StampNs.has_value(), R.Status == 0);
            // The kernel's reply alone: our own request, seen on IPv4 loopback, answers nothing.
            std::vector<uint8_t> Types;
            for (const TAnswer& A : Datagrams(Channel, R.Status == 0 ? 300 : 100)) {
                EXPECT_EQ(A.Id, Id);
                EXPECT_TRUE(A.StampNs.has_value()) << "the kernel's receive stamp";
                const std::size_t At = Family == AF_INET ? (A.Bytes[0] & 15) * 4 : 0;
                Types.push_back(A.Bytes.at(At));
                EXPECT_EQ(TProbeMatch::ConcernedSequence(Family, A.Bytes), Id);
                EXPECT_EQ(TProbeMatch::RequestIdentifier(std::span(A.Bytes).subspan(At)),
                          Hello->Answer.Identifier)
                    << "sent with the helper's own identifier, whatever the window wrote";
            }
            const std::vector<uint8_t> Expected = R.Status != 0       ? std::vector<uint8_t>{}
                                                  : Family == AF_INET ? std::vector<uint8_t>{0}
                                                                      : std::vector<uint8_t>{129};
            EXPECT_EQ(Types, Expected);
        }
        EXPECT_EQ(Channel.CloseAndWait(2000), std::optional<int>(0)) << "ends with the pair";
    }
}

// Whatever is asked, nothing but the window's echo requests leaves through the helper, and
// nothing but the answers to them comes back.
TEST_F(SocketHelper, SendsNothingElseAndPassesNothingElseBack) {
    TNetNamespace Loop("hostile");
    TNetNamespaceScope Inside(Loop);
    const int Sniff4 = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    const int Sniff6 = ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    ASSERT_GE(Sniff4, 0);
    ASSERT_GE(Sniff6, 0);
    // The helper as an ordinary user would run it: a capable copy started as uid 65534.
    THelperCopy Copy(Helper, true);
    ASSERT_FALSE(Copy.Path.empty());
    THelperChannel Channel(Copy.Path, AsNobody);
    ASSERT_TRUE(Channel.Next().has_value()) << "hello";
    auto Changed = [](int AFamily, auto AChange) {
        TProbe P = Echo(AFamily, 5);
        AChange(P);
        return EncodeProbe(P);
    };
    const std::vector<uint8_t> OldRequest{'Z', 'S', 'K', '1', 2, 0, 0, 0, 3, 0,
                                          0,   0,   1,   0,   0, 0, 9, 0, 0, 0};
    struct TRow {
        const char* Name;
        std::vector<uint8_t> Bytes;
        bool AttachFd;
        int Status;
    };
    const std::vector<TRow> Rows{
        {"a socket, asked for as before", OldRequest, false, EBADMSG},
        {"a timestamp request", Changed(AF_INET, [](TProbe& P) { P.Message[0] = 13; }), false,
         EPROTONOSUPPORT},
        {"an IP header of its own", Changed(AF_INET, [](TProbe& P) { P.Message[0] = 0x45; }), false,
         EPROTONOSUPPORT},
        {"a broadcast",
         Changed(AF_INET,
                 [](TProbe& P) {
                     P.Address = {255, 255, 255, 255};
                 }),
         false, EPROTONOSUPPORT},
        {"IPv6 multicast",
         Changed(
             AF_INET6,
             [](TProbe& P) { P.Address = {0xff, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}; }),
         false, EPROTONOSUPPORT},
        {"oversized", std::vector<uint8_t>(65536, 'Z'), false, EBADMSG},
        {"a descriptor attached", EncodeProbe(Echo(AF_INET, 5)), true, EBADMSG},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const auto A =
            Channel.Ask(R.Bytes, R.Status == EBADMSG ? 0 : 5, R.AttachFd ? STDIN_FILENO : -1);
        ASSERT_TRUE(A.has_value()) << "the helper answers";
        EXPECT_EQ(A->Answer.Status, R.Status);
        EXPECT_EQ(A->Fd, -1);
    }
    EXPECT_FALSE(Queued(Sniff4, 100)) << "something left over IPv4";
    EXPECT_FALSE(Queued(Sniff6, 0)) << "something left over IPv6";

    // A waiting probe sees neither other echo traffic nor other types on its socket.
    const auto Sent = Channel.Ask(EncodeProbe(Echo(AF_INET, 6)), 6);
    ASSERT_TRUE(Sent && Sent->Answer.Status == 0);
    EXPECT_EQ(Datagrams(Channel, 200).size(), 1u) << "the reply; our own request answers nothing";
    SendIcmp(AF_INET, 8);
    SendIcmp(AF_INET, 40);
    SendIcmp(AF_INET6, 128);
    EXPECT_TRUE(Datagrams(Channel, 200).empty());
    ::close(Sniff4);
    ::close(Sniff6);
}

TEST_F(SocketHelper, HoldsToAPaceAndABoundOnWaitingProbes) {
    TNetNamespace Loop("limits");
    // 10.216.0.2 takes every request and answers none: its frames reach a peer that drops them.
    Loop.Ip({"link", "add", "zkla", "type", "veth", "peer", "name", "zklb"});
    Loop.Ip({"addr", "add", "10.216.0.1/24", "dev", "zkla"});
    Loop.Ip({"link", "set", "zkla", "up"});
    Loop.Ip({"link", "set", "zklb", "up"});
    Loop.Ip({"neigh", "add", "10.216.0.2", "lladdr", "02:00:00:00:00:02", "dev", "zkla", "nud",
             "permanent"});
    TNetNamespaceScope Inside(Loop);
    THelperChannel Channel(Helper);
    ASSERT_TRUE(Channel.Next().has_value()) << "hello";
    const auto Silent = [](uint32_t AId) {
        TProbe P = Echo(AF_INET, AId, 60000);
        P.Address = {10, 216, 0, 2};
        return EncodeProbe(P);
    };
    // Sent back to back without waiting: a burst goes at once, then one per interval at most.
    constexpr uint32_t Burst = TSendRate::Burst + 20;
    const auto Start = std::chrono::steady_clock::now();
    for (uint32_t Id = 1; Id <= Burst; ++Id) {
        ASSERT_TRUE(Channel.Send(Silent(Id)));
    }
    uint32_t Accepted = 0;
    uint32_t Paced = 0;
    for (uint32_t Reports = 0; Reports < Burst;) {
        const auto A = Channel.Next();
        ASSERT_TRUE(A.has_value());
        if (A->Answer.Kind == TAnswerKind::Sent) {
            ++Reports;
            Accepted += A->Answer.Status == 0 ? 1 : 0;
            Paced += A->Answer.Status == EAGAIN ? 1 : 0;
        }
    }
    const auto Took = std::chrono::steady_clock::now() - Start;
    EXPECT_EQ(Accepted + Paced, Burst);
    const auto Interval = std::chrono::nanoseconds(TSendRate::IntervalNs);
    EXPECT_GE(Accepted, uint32_t{TSendRate::Burst});
    EXPECT_LE(Accepted, TSendRate::Burst + 1 + static_cast<uint32_t>(Took / Interval))
        << "sent faster than the pace";
    // At the pace, waiting probes are bounded; a forgotten or an answered one makes room.
    auto Status = [&](uint32_t AId, bool AAnswered = false) {
        for (int Try = 0; Try < 20; ++Try) {
            std::this_thread::sleep_for(Interval + Interval / 4);
            const auto A = Channel.Ask(AAnswered ? EncodeProbe(Echo(AF_INET, AId, 60000))
                                                 : Silent(AId),
                                       AId);
            if (!A || A->Answer.Status != EAGAIN) {
                return A ? A->Answer.Status : -1;
            }
        }
        return EAGAIN;
    };
    uint32_t Id = 100;
    for (uint32_t Waiting = Accepted; Waiting < TProbeServer::MaxWaiting; ++Waiting) {
        ASSERT_EQ(Status(++Id), 0) << Waiting;
    }
    EXPECT_EQ(Status(++Id), ENOBUFS);
    ASSERT_TRUE(Channel.Send(EncodeForget(101)));
    EXPECT_EQ(Status(++Id, true), 0) << "the loopback answers it";
    EXPECT_EQ(Status(++Id), 0);
    EXPECT_EQ(Status(++Id), ENOBUFS);
}

TEST_F(SocketHelper, RefusesASecondClient) {
    THelperChannel Channel(Helper);
    ASSERT_TRUE(Channel.Next().has_value()) << "hello";
    // Another process holding the window's end of the pair: a child that inherited it.
    const pid_t Child = ::fork();
    if (Child == 0) {
        const auto A = Channel.Ask(EncodeProbe(Echo(AF_INET, 99)), 99);
        ::_exit(!A ? 10 : A->Answer.Status == ECONNREFUSED ? 0 : 12);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0) << "10: no answer, 12: served";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto A = Channel.Ask(EncodeProbe(Echo(AF_INET, 100)), 100);
    ASSERT_TRUE(A.has_value());
    EXPECT_EQ(A->Answer.Status, 0) << "the window is still served";
}

TEST_F(SocketHelper, RefusesToStartWithoutItsWindow) {
    // Started by hand: no socket pair on descriptor 3.
    const TCommandResult Alone = RunCommand({Helper});
    EXPECT_EQ(Alone.ExitCode, 2) << Alone.Output;
    // A pair made by another process than the one starting it.
    int Pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, Pair), 0);
    const pid_t Middle = ::fork();
    if (Middle == 0) {
        const pid_t Grandchild = ::fork();
        if (Grandchild == 0) {
            ::dup2(Pair[1], 3);
            char* const Argv[] = {const_cast<char*>(Helper.c_str()), nullptr};
            char* const Envp[] = {nullptr};
            ::execve(Argv[0], Argv, Envp);
            ::_exit(127);
        }
        int Status = 0;
        ::waitpid(Grandchild, &Status, 0);
        ::_exit(WIFEXITED(Status) ? WEXITSTATUS(Status) : 126);
    }
    ::close(Pair[1]);
    int Status = 0;
    ASSERT_EQ(::waitpid(Middle, &Status, 0), Middle);
    EXPECT_EQ(WEXITSTATUS(Status), 2);
    ::close(Pair[0]);
}

TEST_F(SocketHelper, EndsWhenTheWindowIsKilled) {
    int Report[2];
    ASSERT_EQ(::pipe(Report), 0);
    const pid_t Window = ::fork();
    if (Window == 0) {
        // Started means its hello came: the helper is past its start-up and serving.
        TNetSocketHelper Client;
        const pid_t Pid = Client.Start(Helper) ? Client.Pid() : -1;
        ::write(Report[1], &Pid, sizeof(Pid));
        ::pause();
        ::_exit(0);
    }
    ::close(Report[1]);
    pid_t HelperPid = -1;
    ASSERT_EQ(::read(Report[0], &HelperPid, sizeof(HelperPid)),
              static_cast<ssize_t>(sizeof(HelperPid)));
    ::close(Report[0]);
    ASSERT_GT(HelperPid, 0);
    EXPECT_FALSE(ProcStatusField(HelperPid, "State").empty()) << "running beside the window";
    ::kill(Window, SIGKILL);
    ::waitpid(Window, nullptr, 0);
    // Gone, or a zombie waiting for whoever adopted it: either way no longer running.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    auto Running = [&] {
        const std::string State = ProcStatusField(HelperPid, "State");
        return !State.empty() && State[0] != 'Z';
    };
    while (Running() && std::chrono::steady_clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(Running()) << "orphan helper " << HelperPid;
}

} // namespace

// Started by hand by another user, with its 64 probes waiting for a silent host, the helper
// passes back none of the echo traffic a second user's ping makes on the same machine,
// though that ping's sequence numbers are among the waiting ones.
TEST_F(SocketHelper, AStrangersHelperSeesNoneOfAnotherUsersPings) {
    TTestNetwork Net(TTestNetworkOptions{.IPv6 = true});
    TIcmpPeer Silent(Net.Target(), "");
    std::array<uint8_t, 16> Target4{}, Target6{};
    ::inet_pton(AF_INET, Net.TargetAddress().c_str(), Target4.data());
    ::inet_pton(AF_INET6, Net.TargetAddress6().c_str(), Target6.data());
    TNetNamespaceScope Inside(*Net.Client());
    THelperCopy Copy(Helper, true);
    ASSERT_FALSE(Copy.Path.empty());
    THelperChannel Channel(Copy.Path, AsNobody);
    ASSERT_TRUE(Channel.Next().has_value()) << "hello";
    for (uint32_t Id = 1, Tries = 0; Id <= 64 && Tries < 2000; ++Tries) {
        TProbe P = Echo(Id % 2 != 0 ? AF_INET : AF_INET6, (Id + 1) / 2, 60000);
        P.Id = Id;
        P.Address = P.Family == AF_INET ? Target4 : Target6;
        const auto A = Channel.Ask(EncodeProbe(P), Id);
        ASSERT_TRUE(A.has_value());
        ASSERT_TRUE(A->Answer.Status == 0 || A->Answer.Status == EAGAIN) << A->Answer.Status;
        Id += A->Answer.Status == 0 ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::microseconds(2500));
    }
    // Root's pings over both families: sequences 1 to 5, requests and replies on loopback.
    for (const char* Target : {"127.0.0.1", "::1"}) {
        const TCommandResult Ping =
            Net.Client()->Run({"ping", "-n", "-q", "-c", "5", "-i", "0.05", "-W", "1", Target});
        ASSERT_EQ(Ping.ExitCode, 0) << Ping.Output;
    }
    EXPECT_TRUE(Datagrams(Channel, 300).empty()) << "another user's ICMP left the helper";
}

// Writes a sysctl file for the scope, restoring its value afterwards.
class TSysctlScope {
public:
    TSysctlScope(std::string APath, const std::string& AValue) : FPath(std::move(APath)) {
        std::ifstream(FPath) >> FOld;
        std::ofstream(FPath) << AValue << "\n";
    }
    ~TSysctlScope() { std::ofstream(FPath) << FOld << "\n"; }
    TSysctlScope(const TSysctlScope&) = delete;
    TSysctlScope& operator=(const TSysctlScope&) = delete;

private:
    std::string FPath;
    std::string FOld;
};

// Whether uid 65534 may attach to APid: 0 yes, else the errno.
int AttachAsNobody(pid_t APid) {
    const pid_t Child = ::fork();
    if (Child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0) {
            ::_exit(255);
        }
        const long R = ::ptrace(PTRACE_ATTACH, APid, nullptr, nullptr);
        ::_exit(R == 0 ? 0 : errno);
    }
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : 254;
}

// Even where the capability's exec would leave it dumpable, its own user cannot attach to a
// serving helper and take its sockets; an ordinary process of that user it can attach to.
TEST_F(SocketHelper, ItsOwnUserCannotAttachToIt) {
    TSysctlScope Dumpable("/proc/sys/fs/suid_dumpable", "1");
    TNetNamespace Loop("attach");
    TNetNamespaceScope Inside(Loop);
    THelperCopy Copy(Helper, true);
    ASSERT_FALSE(Copy.Path.empty());
    THelperChannel Channel(Copy.Path, AsNobody);
    ASSERT_TRUE(Channel.Next().has_value()) << "hello";
    EXPECT_EQ(ProcStatusField(Channel.Pid(), "NoNewPrivs"), "1");
    EXPECT_EQ(AttachAsNobody(Channel.Pid()), EPERM);
    const pid_t Plain = ::fork();
    if (Plain == 0) {
        ::setresgid(65534, 65534, 65534);
        ::setresuid(65534, 65534, 65534);
        ::pause();
        ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(AttachAsNobody(Plain), 0) << "the attach itself works here";
    ::kill(Plain, SIGKILL);
    ::waitpid(Plain, nullptr, 0);
}
