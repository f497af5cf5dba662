// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-socket as a process: what it hands out, what it refuses, which rights it keeps, and
// that it never outlives the window.
#include "RequireRoot.h"
#include "TCommand.h"
#include "THelperChannel.h"
#include "THelperCopy.h"
#include "TNetNamespace.h"
#include "TNetNamespaceScope.h"
#include "TNetSocketHelper.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zirko::test;
using namespace TSocketRequest;

namespace {

const std::string Helper = ZIRKO_SOCKET_PATH;
const std::vector<std::string> AsNobody{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                        "--clear-groups"};

int SocketOption(int AFd, int AOption) {
    int Value = -1;
    socklen_t Length = sizeof(Value);
    ::getsockopt(AFd, SOL_SOCKET, AOption, &Value, &Length);
    return Value;
}

class SocketHelper : public ::testing::Test {
protected:
    void SetUp() override { ZIRKO_REQUIRE_ROOT(); }
};

TEST_F(SocketHelper, HandsOutRawIcmpSocketsAndKeepsNoOtherRight) {
    struct TRow {
        const char* Name;
        bool AsNobodyUser;
        bool Capable;
        int Status;            // of a raw ICMP request
        const char* Permitted; // CapPrm of the helper once it serves
    };
    const std::vector<TRow> Rows{
        {"as root", false, false, 0, "0000000000002000"},
        {"as an ordinary user, the helper capable", true, true, 0, "0000000000002000"},
        {"as an ordinary user, the helper not capable", true, false, EPERM, "0000000000000000"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        THelperCopy Copy(Helper, R.Capable);
        ASSERT_FALSE(Copy.Path.empty());
        THelperChannel Channel(Copy.Path, R.AsNobodyUser ? AsNobody : std::vector<std::string>{});
        for (const auto& [Family, Protocol] : {std::pair<int, int>{AF_INET, IPPROTO_ICMP},
                                               std::pair<int, int>{AF_INET6, IPPROTO_ICMPV6}}) {
            const auto A = Channel.Ask(TRequest{Family, SOCK_RAW, Protocol, 41});
            ASSERT_TRUE(A.has_value());
            EXPECT_EQ(A->Reply.Id, 41u);
            EXPECT_EQ(A->Reply.Status, R.Status);
            EXPECT_EQ(A->Fd >= 0, R.Status == 0);
            if (A->Fd >= 0) {
                EXPECT_EQ(SocketOption(A->Fd, SO_DOMAIN), Family);
                EXPECT_EQ(SocketOption(A->Fd, SO_TYPE), SOCK_RAW);
                EXPECT_EQ(SocketOption(A->Fd, SO_PROTOCOL), Protocol);
                ::close(A->Fd);
            }
        }
        // Between requests the right sits in the permitted set only.
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "CapPrm"), R.Permitted);
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "CapEff"), "0000000000000000");
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "CapInh"), "0000000000000000");
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "CapAmb"), "0000000000000000");
        EXPECT_EQ(ProcStatusField(Channel.Pid(), "NoNewPrivs"), "1");
        EXPECT_EQ(Channel.CloseAndWait(2000), std::optional<int>(0)) << "ends with the pair";
    }
}

TEST_F(SocketHelper, RefusesEveryOtherRequestAndGoesOn) {
    THelperChannel Channel(Helper);
    const auto Tcp = Encode({AF_INET, SOCK_STREAM, IPPROTO_TCP, 1});
    const auto Udp = Encode({AF_INET, SOCK_DGRAM, IPPROTO_UDP, 2});
    const auto RawUdp = Encode({AF_INET, SOCK_RAW, IPPROTO_UDP, 3});
    const auto RawTcp6 = Encode({AF_INET6, SOCK_RAW, IPPROTO_TCP, 4});
    const auto RawAny = Encode({AF_INET, SOCK_RAW, IPPROTO_RAW, 5});
    const auto Packet = Encode({AF_PACKET, SOCK_RAW, 0x0300, 6});
    const auto Good = Encode({AF_INET, SOCK_RAW, IPPROTO_ICMP, 7});
    const std::vector<uint8_t> Short(Good.begin(), Good.end() - 1);
    const std::vector<uint8_t> Oversized(65536, 'Z');
    struct TRow {
        const char* Name;
        std::span<const uint8_t> Bytes;
        bool AttachFd;
        int Status;
        uint32_t Id;
    };
    const std::vector<TRow> Rows{
        {"TCP", Tcp, false, EPROTONOSUPPORT, 1},
        {"UDP", Udp, false, EPROTONOSUPPORT, 2},
        {"raw UDP", RawUdp, false, EPROTONOSUPPORT, 3},
        {"raw TCP over IPv6", RawTcp6, false, EPROTONOSUPPORT, 4},
        {"raw IP", RawAny, false, EPROTONOSUPPORT, 5},
        {"packet socket", Packet, false, EPROTONOSUPPORT, 6},
        {"short", Short, false, EBADMSG, 0},
        {"oversized", Oversized, false, EBADMSG, 0},
        {"a descriptor attached", Good, true, EBADMSG, 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const auto A = Channel.Ask(R.Bytes, R.AttachFd ? STDIN_FILENO : -1);
        ASSERT_TRUE(A.has_value()) << "the helper answers";
        EXPECT_EQ(A->Reply.Status, R.Status);
        EXPECT_EQ(A->Reply.Id, R.Id);
        EXPECT_EQ(A->Fd, -1);
    }
    const auto A = Channel.Ask(Good);
    ASSERT_TRUE(A.has_value()) << "still serving";
    EXPECT_EQ(A->Reply.Status, 0);
    EXPECT_GE(A->Fd, 0);
    ::close(A->Fd);
}

TEST_F(SocketHelper, RefusesASecondClient) {
    THelperChannel Channel(Helper);
    // Another process holding the window's end of the pair: a child that inherited it.
    const pid_t Child = ::fork();
    if (Child == 0) {
        const auto A = Channel.Ask(TRequest{AF_INET, SOCK_RAW, IPPROTO_ICMP, 99});
        ::_exit(!A ? 10 : A->Fd >= 0 ? 11 : A->Reply.Status == ECONNREFUSED ? 0 : 12);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0) << "10: no answer, 11: got a socket, 12: other refusal";
    const auto A = Channel.Ask(TRequest{AF_INET, SOCK_RAW, IPPROTO_ICMP, 100});
    ASSERT_TRUE(A.has_value());
    EXPECT_EQ(A->Reply.Status, 0) << "the window is still served";
    ::close(A->Fd);
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
        pid_t Pid = TNetSocketHelper::Start(Helper) ? TNetSocketHelper::Pid() : -1;
        // Served once, so the helper is past its start-up checks and waiting for more.
        const auto Answer = TNetSocketHelper::Open(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        if (!Answer || Answer->Id < 0) {
            Pid = -1;
        }
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

// The window asks for sockets in batches and keeps the rest as spares: a spare handed out
// later must behave like a socket opened at that moment, holding nothing from before and
// filtering nothing from then on.
TEST_F(SocketHelper, ASpareSocketIsAsFreshAsANewOne) {
    TNetNamespace Loop("spare");
    TNetNamespaceScope Inside(Loop);
    ASSERT_TRUE(TNetSocketHelper::Start(Helper));
    struct TRow {
        const char* Name;
        int Family;
        int Protocol;
        uint8_t Foreign; // a type the spares' filter cannot hold back on IPv4
    };
    const std::vector<TRow> Rows{{"ICMP", AF_INET, IPPROTO_ICMP, 40},
                                 {"ICMPv6", AF_INET6, IPPROTO_ICMPV6, 128}};
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const auto First = TNetSocketHelper::Open(R.Family, SOCK_RAW, R.Protocol);
        ASSERT_TRUE(First && First->Id >= 0);
        ::close(First->Id);
        // Traffic while the spares wait: an echo exchange and a message of an odd type.
        SendIcmp(R.Family, R.Family == AF_INET ? 8 : 128);
        SendIcmp(R.Family, R.Foreign);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto Spare = TNetSocketHelper::Open(R.Family, SOCK_RAW, R.Protocol);
        ASSERT_TRUE(Spare && Spare->Id >= 0);
        EXPECT_FALSE(Queued(Spare->Id, 0)) << "holds a datagram from before it was handed out";
        SendIcmp(R.Family, R.Family == AF_INET ? 8 : 128);
        EXPECT_TRUE(Queued(Spare->Id, 1000)) << "filters what a new socket would receive";
        ::close(Spare->Id);
    }
    TNetSocketHelper::Stop();
}

} // namespace
