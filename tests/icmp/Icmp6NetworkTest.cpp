// SPDX-License-Identifier: GPL-3.0-or-later
// ICMPv6 over real sockets: unique-local addresses inside namespaces the tests create, a
// programmable peer, and the probe run as an ordinary user for the datagram socket.
#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace zirko::test;

namespace {

class Icmp6Network : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        TTestNetworkOptions Options;
        Options.UnreachableRoute = true;
        Options.IPv6 = true;
        Net = std::make_unique<TTestNetwork>(Options);
    }

    TReplyStatus PingTarget(const std::string& AActions, int32_t ATimeout = 1000) {
        TIcmpPeer Peer(Net->Target(), AActions);
        TNetNamespaceScope InClient(*Net->Client());
        Client.SetHost(Net->TargetAddress6());
        Client.SetReceiveTimeout(ATimeout);
        Client.Ping();
        return Client.ReplyStatus();
    }

    // The probe's one line for one ping from the client namespace, as root (raw socket) or
    // as nobody (datagram socket), without the round trip.
    std::string Probe(bool AAsNobody, const std::string& AHost, int ATimeout, int ATtl) {
        std::vector<std::string> Argv;
        if (AAsNobody) {
            Argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        Argv.insert(Argv.end(), {ZIRKO_ICMP_PROBE_PATH, AHost, std::to_string(ATimeout),
                                 std::to_string(ATtl), "1", AAsNobody ? "auto" : "raw"});
        std::string Out = Net->Client()->Run(Argv).Output;
        // "REPLY status bytes from type seq ttl rtt kind": drop the round trip.
        if (Out.rfind("REPLY ", 0) == 0) {
            std::size_t At = 0;
            for (int Field = 0; Field < 7; ++Field) {
                At = Out.find(' ', At + 1);
            }
            const std::size_t End = Out.find(' ', At + 1);
            Out.erase(At, End - At);
        }
        return Out;
    }

    std::unique_ptr<TTestNetwork> Net;
    TNetContext Sockets;
    TNetIcmpClient Client{Sockets};
};

TEST(Icmp6Loopback, PingsTheNamespacesOwnLoopback) {
    ZIRKO_REQUIRE_ROOT();
    TNetNamespace Alone("lo6");
    TNetNamespaceScope Inside(Alone);
    TNetContext Sockets;
    TNetIcmpClient Client(Sockets);
    Client.SetReceiveTimeout(1000);
    for (const char* Host : {"::1", "[::1]", "0:0:0:0:0:0:0:1"}) {
        SCOPED_TRACE(Host);
        const uint16_t Seq = Client.SequenceCounter();
        Client.SetHost(Host);
        Client.Ping();
        const TReplyStatus& R = Client.ReplyStatus();
        EXPECT_EQ(
            R, (TReplyStatus{92, "::1", 129, Seq, R.RoundTripMs, 64, skEchoReply, R.RoundTripUs}));
        EXPECT_LT(R.RoundTripMs, 100u);
        EXPECT_EQ(Client.Socket().IPVersion(), Id_IPv6);
        EXPECT_FALSE(Client.Socket().HasSocket()) << "closed after every ping";
    }
    Client.SetHost("127.0.0.1");
    Client.Ping();
    EXPECT_EQ(Client.ReplyStatus().ReplyBytes, 72) << "back to IPv4 with the next host";
    EXPECT_EQ(Client.Socket().IPVersion(), Id_IPv4);
}

TEST_F(Icmp6Network, ReplyAfterDelayIsMeasured) {
    struct TRow {
        const char* Actions;
        uint32_t DelayMs;
    };
    for (const TRow R : {TRow{"reply", 0}, TRow{"wait:150,reply", 150}}) {
        SCOPED_TRACE(R.Actions);
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(R.Actions);
        EXPECT_EQ(S, (TReplyStatus{92, Net->TargetAddress6(), 129, Seq, S.RoundTripMs, 63,
                                   skEchoReply, S.RoundTripUs}))
            << "40-byte header, one router on the way back";
        EXPECT_GE(S.RoundTripMs, R.DelayMs);
        EXPECT_LE(S.RoundTripMs, R.DelayMs + 100);
    }
}

TEST_F(Icmp6Network, ForeignTrafficKeepsTheWaitGoing) {
    const std::vector<const char*> Rows{
        "reply-seq:1,wait:30,reply",
        "reply-id:9,wait:30,reply",
        // Errors quoting another request of ours, including the kinds that would end the ping.
        "foreign:1,foreign:3,foreign:2,foreign:4,wait:30,reply",
        "oversized:1400,wait:30,reply",
        // Unlike IPv4, a request is never taken for the answer: ours never comes back as one.
        "echo-request,wait:30,reply",
        "short,wait:30,reply",
    };
    for (const char* Actions : Rows) {
        SCOPED_TRACE(Actions);
        const TReplyStatus S = PingTarget(Actions);
        EXPECT_EQ(S.Status, skEchoReply);
        EXPECT_EQ(S.IcmpType, 129);
        EXPECT_EQ(S.ReplyBytes, 92);
        EXPECT_EQ(S.FromAddress, Net->TargetAddress6());
    }
}

TEST_F(Icmp6Network, SilencesAndForeignStreamsTimeOut) {
    struct TRow {
        const char* Actions;
        int32_t Timeout;
    };
    for (const TRow R : {TRow{"", 300}, TRow{"stream:100:15", 1000}}) {
        SCOPED_TRACE(R.Actions);
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(R.Actions, R.Timeout);
        EXPECT_EQ(S, (TReplyStatus{0, "::", 0, Seq, S.RoundTripMs, 0, skTimedOut, S.RoundTripUs}));
        EXPECT_GE(S.RoundTripMs, uint32_t(R.Timeout));
        EXPECT_LE(S.RoundTripMs, uint32_t(R.Timeout) + 200);
    }
}

TEST_F(Icmp6Network, RouterErrorsNameTheRouter) {
    TIcmpPeer Peer(Net->Target(), "reply");
    TNetNamespaceScope InClient(*Net->Client());
    struct TRow {
        std::string Host;
        int32_t HopLimit;
        TReplyStatusKind Kind;
        uint8_t Type;
    };
    const std::vector<TRow> Rows{
        {Net->TargetAddress6(), 1, skTtlExceeded, 3},
        {"[" + Net->UnreachableAddress6() + "]", 64, skUnreachable, 1},
        {Net->TargetAddress6(), 2, skEchoReply, 129},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Host + " hop limit " + std::to_string(R.HopLimit));
        Client.SetHost(R.Host);
        Client.SetTTL(R.HopLimit);
        EXPECT_EQ(Client.Socket().IPVersion(), Id_IPv6) << "the literal chose the socket";
        Client.SetReceiveTimeout(1000);
        Client.Ping();
        const TReplyStatus& S = Client.ReplyStatus();
        EXPECT_EQ(S.Status, R.Kind);
        EXPECT_EQ(S.IcmpType, R.Type);
        EXPECT_EQ(S.FromAddress,
                  R.Kind == skEchoReply ? Net->TargetAddress6() : Net->RouterAddress6());
        EXPECT_LT(S.RoundTripMs, 200u);
    }
}

TEST_F(Icmp6Network, ErrorsAboutOurRequestEndThePing) {
    // Packet too big and parameter problem, quoting the very request: neither answers nor
    // aborts it; the wait goes on to the reply.
    for (const char* Actions : {"foreign-quote:2,wait:30,reply", "foreign-quote:4,wait:30,reply"}) {
        SCOPED_TRACE(Actions);
        const uint16_t Seq = Client.SequenceCounter();
        const TReplyStatus S = PingTarget(Actions);
        EXPECT_EQ(S.Status, skEchoReply);
        EXPECT_EQ(S.Sequence, Seq);
        EXPECT_FALSE(Client.Socket().HasSocket());
    }
}

TEST_F(Icmp6Network, DatagramSocketGivesTheRawRecords) {
    Net->Client()->SetPingGroupRange(65534, 65534);
    struct TRow {
        const char* Name;
        std::string Actions;
        std::string Host;
        int HopLimit;
        int Timeout;
        const char* Status;
    };
    const std::vector<TRow> Rows{
        {"answer", "reply", Net->TargetAddress6(), 64, 1000, "0"},
        {"wrong sequence first", "reply-seq:3,wait:20,reply", Net->TargetAddress6(), 64, 1000, "0"},
        {"silent", "", Net->TargetAddress6(), 64, 300, "2"},
        {"hop limit exceeded", "reply", Net->TargetAddress6(), 1, 1000, "4"},
        {"unreachable", "reply", Net->UnreachableAddress6(), 64, 1000, "3"},
        {"packet too big, then the answer", "foreign-quote:2,wait:20,reply", Net->TargetAddress6(),
         64, 500, "0"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TIcmpPeer Peer(Net->Target(), R.Actions);
        const std::string Raw = Probe(false, R.Host, R.Timeout, R.HopLimit);
        const std::string Expected =
            R.Status[0] == 'E' ? std::string("ERROR 0 ") : "REPLY " + std::string(R.Status) + ' ';
        EXPECT_EQ(Raw.rfind(Expected, 0), 0u) << Raw;
        std::string Dgram = Probe(true, R.Host, R.Timeout, R.HopLimit);
        if (const auto At = Dgram.find(" datagram"); At != std::string::npos) {
            Dgram.replace(At, 9, " raw");
        } else {
            EXPECT_EQ(Dgram.rfind("ERROR", 0), 0u) << "fell back to the datagram socket";
        }
        EXPECT_EQ(Dgram, Raw);
    }
}

TEST_F(Icmp6Network, NamesTakeIPv4FirstAndIPv6Only) {
    Net->Client()->SetHostsFile({{Net->TargetAddress(), "both.zirko.test"},
                                 {Net->TargetAddress6(), "both.zirko.test"},
                                 {Net->TargetAddress6(), "six.zirko.test"}});
    TIcmpPeer Peer(Net->Target(), "reply");
    struct TRow {
        const char* Name;
        std::string Record;
    };
    const std::vector<TRow> Rows{
        {"both.zirko.test", "REPLY 0 72 " + Net->TargetAddress() + " 0 "},
        {"six.zirko.test", "REPLY 0 92 " + Net->TargetAddress6() + " 129 "},
        // Not found, or no resolver to ask inside the namespace: as for an IPv4 name.
        {"nothing.zirko.invalid", "ERROR 1100"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(Probe(false, R.Name, 1000, 64).rfind(R.Record, 0), 0u)
            << Probe(false, R.Name, 1000, 64);
    }
}

TEST_F(Icmp6Network, MissingRouteAndDisabledIPv6AreSocketErrors) {
    // The client has routes for its own prefix only; the target then has IPv6 switched off
    // and no address to send from.
    const std::string Elsewhere = "fd00:ffff::1";
    EXPECT_EQ(Probe(false, Elsewhere, 300, 64),
              "ERROR 10051 Socket Error # 10051\r\nNetwork is unreachable.\n");
    Net->Target().SetSysctl("net.ipv6.conf.all.disable_ipv6", "1");
    Net->Target().SetSysctl("net.ipv6.conf.lo.disable_ipv6", "1");
    for (const std::string& Host : {std::string("::1"), Net->RouterAddress6()}) {
        SCOPED_TRACE(Host);
        const std::vector<std::string> Argv{ZIRKO_ICMP_PROBE_PATH, Host, "300", "64", "1", "raw"};
        EXPECT_EQ(Net->Target().Run(Argv).Output,
                  "ERROR 10049 Socket Error # 10049\r\nCannot assign requested address.\n");
    }
}

} // namespace
