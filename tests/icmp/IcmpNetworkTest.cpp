// Real sockets over loopback and over a namespace network with a programmable peer.
#include "ENetExceptions.h"
#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TNetIcmpClient.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <memory>
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
    TNetIcmpClient Client;
};

TEST(IcmpLoopback, PingsAndAdvancesTheSequence) {
    ZIRKO_REQUIRE_ROOT();
    TNetIcmpClient Client;
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
        {"reply-id:9", 0}, // the identifier is never compared
        {"foreign:5,foreign:13,wait:30,reply", 0},
        {"oversized:1400,wait:30,reply", 0},
        {"echo-request", 8},
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
        EXPECT_EQ(S, (TReplyStatus{0, "0.0.0.0", 0, Seq, S.RoundTripMs, 0, skTimedOut}));
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

TEST_F(IcmpNetwork, ErrorLeavesSocketOpenAndSequenceUnchanged) {
    const TReplyStatus Before = PingTarget("reply");
    const uint16_t Seq = Client.SequenceCounter();
    int Fired = 0;
    Client.OnReply = [&](TNetIcmpClient&, const TReplyStatus&) { ++Fired; };
    TSocketId Kept = InvalidSocket;
    // A redirect and a parameter problem that quote our request end the ping with an error.
    for (const char* Actions : {"foreign-quote:5", "foreign-quote:12"}) {
        SCOPED_TRACE(Actions);
        TIcmpPeer Peer(Net->Target(), Actions);
        TNetNamespaceScope InClient(*Net->Client());
        Client.SetHost(Net->TargetAddress());
        try {
            Client.Ping();
            ADD_FAILURE() << "no exception";
        } catch (const ENetIcmpException& E) {
            EXPECT_STREQ(E.what(), "Non-echo type response received");
        }
        EXPECT_EQ(Fired, 0);
        EXPECT_EQ(Client.SequenceCounter(), Seq);
        EXPECT_EQ(Client.ReplyStatus(), Before);
        ASSERT_TRUE(Client.Socket().HasSocket());
        if (Kept != InvalidSocket) {
            EXPECT_EQ(Client.Socket().Handle(), Kept) << "the open socket is reused";
        }
        Kept = Client.Socket().Handle();
    }
    const TReplyStatus After = PingTarget("reply");
    EXPECT_EQ(After.Status, skEchoReply);
    EXPECT_EQ(After.Sequence, Seq) << "the failed pings did not use up a number";
    EXPECT_EQ(Fired, 1);
    EXPECT_FALSE(Client.Socket().HasSocket());
}

TEST(IcmpRootClientNetwork, ProgramInOwnNamespaceReachesTarget) {
    ZIRKO_REQUIRE_ROOT();
    TTestNetwork Net(TTestNetworkOptions{true, true, false});
    TIcmpPeer Peer(Net.Target(), "reply");
    TNetIcmpClient Client;
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
