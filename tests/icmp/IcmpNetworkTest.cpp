// SPDX-License-Identifier: GPL-3.0-or-later
// Real sockets over loopback and over a namespace network with a programmable peer.
#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TNetReceiveStamp.h"
#include "TNetSocketHandle.h"
#include "TNetStampKeeper.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zirko::test;

namespace {

class IcmpNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net = std::make_unique<TTestNetwork>(TTestNetworkOptions{false, false, true});
    }

    // Pings the target once from the client namespace with the peer doing AActions.
    TReplyStatus PingTarget(const std::string& AActions, int32_t ATimeout = 1000) {
        TIcmpPeer Peer(Net->Target(), AActions);
        TNetNamespaceScope InClient(*Net->Client());
        Client.SetHost(Net->TargetAddress());
        Client.SetReceiveTimeout(ATimeout);
        Client.Ping();
        return Client.ReplyStatus();
    }

    std::unique_ptr<TTestNetwork> Net;
    TNetContext Sockets;
    TNetIcmpClient Client{Sockets};
};

TEST(IcmpLoopback, PingsAndAdvancesTheSequence) {
    ZIRKO_REQUIRE_ROOT();
    TNetContext Sockets;
    TNetIcmpClient Client(Sockets);
    std::vector<TReplyStatus> Fired;
    Client.OnReply = [&](TNetIcmpClient& ASender, const TReplyStatus& AStatus) {
        EXPECT_EQ(&ASender, &Client);
        Fired.push_back(AStatus);
    };
    Client.SetHost("LocalHost");
    Client.SetReceiveTimeout(1000);
    for (uint16_t Expected = 3489; Expected < 3492; ++Expected) {
        Client.Ping();
        const TReplyStatus& R = Client.ReplyStatus();
        EXPECT_EQ(R.Status, skEchoReply);
        EXPECT_EQ(R.Sequence, Expected);
        EXPECT_EQ(R.ReplyBytes, 72);
        EXPECT_EQ(R.FromAddress, "127.0.0.1");
        EXPECT_LT(R.RoundTripMs, 100u);
        EXPECT_FALSE(Client.Socket().HasSocket()) << "closed after every ping";
    }
    EXPECT_EQ(Client.SequenceCounter(), 3492);
    ASSERT_EQ(Fired.size(), 3u);
    EXPECT_EQ(Fired.back(), Client.ReplyStatus());
}

TEST_F(IcmpNetwork, ReplyAfterDelayIsMeasured) {
    struct TRow {
        const char* Actions;
        uint32_t DelayMs;
    };
    for (const TRow R : {TRow{"reply", 0}, TRow{"wait:150,reply", 150}}) {
        SCOPED_TRACE(R.Actions);
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(R.Actions);
        EXPECT_EQ(S.Status, skEchoReply);
        EXPECT_EQ(S.FromAddress, Net->TargetAddress());
        EXPECT_EQ(S.ReplyBytes, 72);
        EXPECT_EQ(S.IcmpType, 0);
        EXPECT_EQ(S.ReplyTtl, 63) << "one router on the way back";
        EXPECT_EQ(S.Sequence, Seq);
        EXPECT_GE(S.RoundTripMs, R.DelayMs);
        EXPECT_LE(S.RoundTripMs, R.DelayMs + 100);
        EXPECT_EQ(Client.SequenceCounter(), uint16_t(Seq + 1));
    }
}

TEST_F(IcmpNetwork, DroppedDatagramsKeepTheWaitGoing) {
    struct TRow {
        const char* Actions;
        uint8_t Type;
    };
    const std::vector<TRow> Rows{
        {"reply-seq:1,wait:30,reply", 0},
        {"reply-id:9,wait:30,reply", 0},
        {"foreign:5,foreign:13,wait:30,reply", 0},
        {"oversized:1400,wait:30,reply", 0},
        {"echo-request,wait:30,reply", 0}, // never an answer
        // Linux drops ICMP shorter than 8 bytes before any raw socket sees it.
        {"short,wait:30,reply", 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Actions);
        const TReplyStatus S = PingTarget(R.Actions);
        EXPECT_EQ(S.Status, skEchoReply);
        EXPECT_EQ(S.IcmpType, R.Type);
        EXPECT_EQ(S.ReplyBytes, 72);
        EXPECT_EQ(S.FromAddress, Net->TargetAddress());
    }
}

TEST_F(IcmpNetwork, SilencesAndForeignStreamsTimeOut) {
    struct TRow {
        const char* Actions;
        int32_t Timeout;
    };
    for (const TRow R : {TRow{"", 300}, TRow{"stream:100:15", 1000}}) {
        SCOPED_TRACE(R.Actions);
        int Fired = 0;
        Client.OnReply = [&](TNetIcmpClient&, const TReplyStatus&) { ++Fired; };
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(R.Actions, R.Timeout);
        EXPECT_EQ(Fired, 1);
        EXPECT_EQ(
            S, (TReplyStatus{0, "0.0.0.0", 0, Seq, S.RoundTripMs, 0, skTimedOut, S.RoundTripUs}));
        EXPECT_GE(S.RoundTripMs, uint32_t(R.Timeout));
        EXPECT_LE(S.RoundTripMs, uint32_t(R.Timeout) + 200)
            << "the stream must not extend the wait";
        EXPECT_EQ(Client.SequenceCounter(), uint16_t(Seq + 1));
    }
}

TEST_F(IcmpNetwork, RouterErrorsNameTheRouter) {
    TIcmpPeer Peer(Net->Target(), "reply");
    TNetNamespaceScope InClient(*Net->Client());
    struct TRow {
        std::string Host;
        int32_t Ttl;
        TReplyStatusKind Kind;
        uint8_t Type;
    };
    const std::vector<TRow> Rows{
        {Net->TargetAddress(), 1, skTtlExceeded, 11},
        {Net->UnreachableAddress(), 64, skUnreachable, 3},
        {Net->TargetAddress(), 2, skEchoReply, 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Host + " ttl " + std::to_string(R.Ttl));
        Client.SetHost(R.Host);
        Client.SetTTL(R.Ttl);
        EXPECT_TRUE(Client.Socket().HasSocket()) << "setting TTL opens the socket";
        Client.SetReceiveTimeout(1000);
        Client.Ping();
        const TReplyStatus& S = Client.ReplyStatus();
        EXPECT_EQ(S.Status, R.Kind);
        EXPECT_EQ(S.IcmpType, R.Type);
        EXPECT_EQ(S.FromAddress,
                  R.Kind == skEchoReply ? Net->TargetAddress() : Net->RouterAddress());
        EXPECT_EQ(S.Sequence, uint16_t(Client.SequenceCounter() - 1));
        EXPECT_LT(S.RoundTripMs, 200u);
    }
}

TEST_F(IcmpNetwork, ReportsOfOtherKindsAreDroppedAndTheWaitGoesOn) {
    // A redirect or a parameter problem quoting our request neither answers nor aborts it.
    for (const char* Actions :
         {"foreign-quote:5,wait:30,reply", "foreign-quote:12,wait:30,reply"}) {
        SCOPED_TRACE(Actions);
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(Actions);
        EXPECT_EQ(S.Status, skEchoReply);
        EXPECT_EQ(S.Sequence, Seq);
        EXPECT_GE(S.RoundTripMs, 30u);
        EXPECT_FALSE(Client.Socket().HasSocket());
    }
}

// What a stopped client saw: its record, and how long its Ping took by its own clock.
struct TStoppedPing {
    TReplyStatusKind Status = skError;
    uint32_t RoundTripMs = 0;
    double PingMs = 0;
    // When the answer reached the client's stack, after the send, by a raw socket of the
    // test's own that asked for stamps: the truth to hold the round trip against, since a
    // peer on a loaded machine may itself answer a few ms after its delay.
    double ArrivalMs = -1;
};

// The first datagram the witness got at or after ASentNs, in ms after it; -1 for none.
double WitnessArrivalMs(int AWitness, int64_t ASentNs) {
    for (int I = 0; I < 16; ++I) {
        uint8_t Data[512];
        alignas(cmsghdr) uint8_t Control[128];
        iovec Io{Data, sizeof Data};
        msghdr Msg{};
        Msg.msg_iov = &Io;
        Msg.msg_iovlen = 1;
        Msg.msg_control = Control;
        Msg.msg_controllen = sizeof Control;
        if (::recvmsg(AWitness, &Msg, MSG_DONTWAIT) <= 0) {
            break;
        }
        const auto Stamp = TNetReceiveStamp::FromMessage(Msg);
        if (Stamp && *Stamp >= ASentNs) {
            return static_cast<double>(*Stamp - ASentNs) / 1e6;
        }
    }
    return -1;
}

// Pings once from a child process in the client namespace, which the test stops with
// SIGSTOP from AStopAtMs until AResumeAtMs after the child said it was about to send.
// A warm-up ping comes first, so the first exchange's set-up is out of the way.
TStoppedPing PingWhileStopped(const TTestNetwork& ANet, TNetIcmpSocketPolicy APolicy, int AStopAtMs,
                              int AResumeAtMs) {
    int Ready[2];
    int Result[2];
    if (::pipe(Ready) != 0 || ::pipe(Result) != 0) {
        throw std::runtime_error("pipe");
    }
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::close(Ready[0]);
        ::close(Result[0]);
        TStoppedPing Seen;
        try {
            TNetNamespaceScope InClient(*ANet.Client());
            TNetContext Sockets;
            Sockets.SetIcmpSocketPolicy(APolicy);
            TNetIcmpClient Client(Sockets);
            Client.SetHost(ANet.TargetAddress());
            Client.SetReceiveTimeout(1000);
            Client.Ping();
            const int Witness = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
            TNetReceiveStamp::Enable(Witness);
            const char Go = 'g';
            if (::write(Ready[1], &Go, 1) == 1) {
                const auto Start = std::chrono::steady_clock::now();
                const int64_t SentNs = Sockets.Clock().WallNs();
                Client.Ping();
                Seen.ArrivalMs = WitnessArrivalMs(Witness, SentNs);
                Seen.PingMs = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - Start)
                                  .count();
                Seen.Status = Client.ReplyStatus().Status;
                Seen.RoundTripMs = Client.ReplyStatus().RoundTripMs;
            }
        } catch (...) {
        }
        const bool Written = ::write(Result[1], &Seen, sizeof Seen) == sizeof Seen;
        ::_exit(Written ? 0 : 1);
    }
    ::close(Ready[1]);
    ::close(Result[1]);
    char Go = 0;
    TStoppedPing Seen;
    if (Child > 0 && ::read(Ready[0], &Go, 1) == 1) {
        const auto Signalled = std::chrono::steady_clock::now();
        std::this_thread::sleep_until(Signalled + std::chrono::milliseconds(AStopAtMs));
        ::kill(Child, SIGSTOP);
        std::this_thread::sleep_until(Signalled + std::chrono::milliseconds(AResumeAtMs));
        ::kill(Child, SIGCONT);
        if (::read(Result[0], &Seen, sizeof Seen) != sizeof Seen) {
            Seen = {};
        }
    }
    if (Child > 0) {
        ::waitpid(Child, nullptr, 0);
    }
    ::close(Ready[0]);
    ::close(Result[0]);
    return Seen;
}

TEST_F(IcmpNetwork, ReplyReadLateStillGivesThePeersDelay) {
    // Let the unprivileged socket be opened by root too.
    Net->Client()->SetPingGroupRange(0, 0);
    constexpr uint32_t Delay = 30;
    struct TRow {
        const char* Name;
        TNetIcmpSocketPolicy Policy;
        const char* Actions;
        TReplyStatusKind Kind;
    };
    const std::vector<TRow> Rows{
        {"raw, echo reply", TNetIcmpSocketPolicy::RawOnly, "wait:30,reply", skEchoReply},
        {"raw, time exceeded", TNetIcmpSocketPolicy::RawOnly, "wait:30,foreign-quote:11",
         skTtlExceeded},
        {"datagram, echo reply", TNetIcmpSocketPolicy::DatagramOnly, "wait:30,reply", skEchoReply},
        // The report comes through the error queue.
        {"datagram, time exceeded", TNetIcmpSocketPolicy::DatagramOnly, "wait:30,foreign-quote:11",
         skTtlExceeded},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TIcmpPeer Peer(Net->Target(), R.Actions);
        // Stopped from 10 ms until 70 ms after the send: the answer arrives meanwhile.
        const TStoppedPing Seen = PingWhileStopped(*Net, R.Policy, 10, 70);
        EXPECT_EQ(Seen.Status, R.Kind);
        EXPECT_GE(Seen.PingMs, 55.0) << "the client did not get to read the answer on time";
        EXPECT_GE(Seen.RoundTripMs, Delay);
        // The witness's span starts before the lookup and the socket opening, so it may run
        // long: by over a millisecond on a loaded machine (42 ms against 43.007, seen here).
        ASSERT_GE(Seen.ArrivalMs, Delay) << "the witness saw no answer";
        EXPECT_LE(Seen.RoundTripMs, Seen.ArrivalMs + 1);
        EXPECT_GE(Seen.RoundTripMs + 2, Seen.ArrivalMs);
    }
}

// Stamp clock ns of the first datagram a socket that asked for stamps gets, read AReadAfterMs
// after an echo request to loopback; the send's own reading goes to ASentNs.
std::optional<int64_t> LoopbackStamp(int AReadAfterMs, int64_t& ASentNs) {
    const int Fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (Fd < 0) {
        return std::nullopt;
    }
    TNetReceiveStamp::Enable(Fd);
    // Echo request, identifier 0x5A5A, sequence 1; checksum over the two non-zero words.
    uint8_t Request[8] = {8, 0, 0, 0, 0x5A, 0x5A, 0, 1};
    const uint32_t Sum = 0x0800 + 0x5A5A + 0x0001;
    const uint16_t Check = static_cast<uint16_t>(~Sum);
    Request[2] = static_cast<uint8_t>(Check >> 8);
    Request[3] = static_cast<uint8_t>(Check & 0xFF);
    sockaddr_in To{};
    To.sin_family = AF_INET;
    To.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASentNs = TClock::System().WallNs();
    ::sendto(Fd, Request, sizeof Request, 0, reinterpret_cast<sockaddr*>(&To), sizeof To);
    std::this_thread::sleep_for(std::chrono::milliseconds(AReadAfterMs));
    uint8_t Data[256];
    alignas(cmsghdr) uint8_t Control[128];
    iovec Io{Data, sizeof Data};
    msghdr Msg{};
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control;
    Msg.msg_controllen = sizeof Control;
    const ssize_t N = ::recvmsg(Fd, &Msg, MSG_DONTWAIT);
    ::close(Fd);
    return N > 0 ? TNetReceiveStamp::FromMessage(Msg) : std::nullopt;
}

TEST(IcmpReceiveStamp, QuickReplyOfAFreshSocketIsStampedOnArrival) {
    ZIRKO_REQUIRE_ROOT();
    // The kernel turns stamping on a while after a socket first asks for it, so a reply that
    // comes back at once would carry the time it was read; the keeper has it on already.
    TNetNamespace Loop("stamp");
    Loop.Ip({"link", "set", "lo", "up"});
    TNetStampKeeper Keeper;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    TNetNamespaceScope Inside(Loop);
    for (int I = 0; I < 3; ++I) {
        int64_t Sent = 0;
        const auto Stamp = LoopbackStamp(20, Sent);
        ASSERT_TRUE(Stamp.has_value());
        EXPECT_LT(*Stamp - Sent, 5 * 1000000) << "stamped when read, not when it arrived";
    }
}

TEST(IcmpRootClientNetwork, ProgramInOwnNamespaceReachesTarget) {
    ZIRKO_REQUIRE_ROOT();
    TTestNetwork Net(TTestNetworkOptions{true, true, false});
    TIcmpPeer Peer(Net.Target(), "reply");
    TNetContext Sockets;
    TNetIcmpClient Client(Sockets);
    Client.SetHost(Net.TargetAddress());
    Client.SetReceiveTimeout(1000);
    Client.Ping();
    EXPECT_EQ(Client.ReplyStatus().Status, skEchoReply);
    EXPECT_EQ(Client.ReplyStatus().ReplyTtl, 62) << "two routers on the way back";
    Client.SetTTL(2);
    Client.Ping();
    EXPECT_EQ(Client.ReplyStatus().Status, skTtlExceeded);
    EXPECT_EQ(Client.ReplyStatus().FromAddress, Net.Router2Address());
}

} // namespace
