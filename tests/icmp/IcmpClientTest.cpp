// SPDX-License-Identifier: GPL-3.0-or-later
// The echo client's protocol over a scripted stack and a hand-driven clock.
#include "ENetExceptions.h"
#include "TFakeStack.h"
#include "TNetIcmpClient.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <tuple>

namespace {

// A raw-socket datagram: 20-byte IPv4 header from ASource, then an ICMP message of AType
// with AId and ASeq where that type carries them; an error quotes a request to 10.0.0.9.
std::vector<uint8_t> RawDatagram(uint16_t AId, uint8_t AType, uint16_t ASeq, std::size_t ALength,
                                 std::array<uint8_t, 4> ASource) {
    std::vector<uint8_t> D(ALength, 0);
    D[0] = 0x45;
    D[8] = 61;
    std::copy(ASource.begin(), ASource.end(), D.begin() + 12);
    D[20] = AType;
    std::size_t At = 24;
    if (AType != 0 && AType != 8 && ALength >= 56) {
        D[28] = 0x45;
        D[37] = 1;
        D[44] = 10, D[47] = 9;
        D[48] = 8;
        At = 52;
    }
    D[At] = static_cast<uint8_t>(AId & 0xFF);
    D[At + 1] = static_cast<uint8_t>(AId >> 8);
    D[At + 2] = static_cast<uint8_t>(ASeq & 0xFF);
    D[At + 3] = static_cast<uint8_t>(ASeq >> 8);
    return D;
}

class IcmpClient : public ::testing::Test {
protected:
    void SetUp() override {
        Client.emplace(Fake.Net);
        Client->SetHost("10.0.0.9");
        Client->SetReceiveTimeout(1000);
    }
    // Queues a datagram AAfterMs after the current clock reading.
    void Arrive(uint32_t AAfterMs, std::vector<uint8_t> ABytes) {
        S().Arrivals.push_back({S().Now() + AAfterMs, std::move(ABytes)});
    }
    TFakeStack::TScript& S() { return Fake.Script; }
    // One carrying the client's identifier.
    std::vector<uint8_t> Datagram(uint8_t AType, uint16_t ASeq, std::size_t ALength = 72,
                                  std::array<uint8_t, 4> ASource = {10, 0, 0, 9}) const {
        return RawDatagram(Client->Identifier(), AType, ASeq, ALength, ASource);
    }

    TFakeNet Fake;
    std::optional<TNetIcmpClient> Client;
};

TEST(IcmpClientDefaults, ConstructionValues) {
    TNetContext Net;
    TNetIcmpClient Client(Net);
    EXPECT_EQ(Client.ReceiveTimeout(), 5000);
    EXPECT_EQ(Client.Protocol(), 1);
    EXPECT_EQ(Client.Port(), 0);
    EXPECT_EQ(Client.BufferSize(), 8192);
    EXPECT_EQ(Client.TTL(), 128);
    EXPECT_EQ(Client.SequenceCounter(), 3489);
    EXPECT_EQ(Client.ReplyStatus(), TReplyStatus{});
    EXPECT_EQ(Client.ReplyStatus().FromAddress, "");
    EXPECT_FALSE(Client.Socket().HasSocket()) << "opened lazily";
    TNetRawClient Raw(Net);
    EXPECT_EQ(Raw.ReceiveTimeout(), 0);
    EXPECT_EQ(Raw.Protocol(), 255);
    EXPECT_EQ(Raw.TTL(), 128);
}

TEST_F(IcmpClient, OneExchange) {
    Client->SetPort(7);
    std::vector<TReplyStatus> Fired;
    Client->OnReply = [&](TNetIcmpClient&, const TReplyStatus& R) {
        Fired.push_back(R);
        EXPECT_EQ(Client->SequenceCounter(), 3489) << "advanced only after OnReply";
        EXPECT_FALSE(Client->Socket().HasSocket()) << "closed before OnReply";
    };
    Arrive(37, Datagram(0, 3489));
    Client->Ping();
    ASSERT_EQ(S().Sent.size(), 1u);
    EXPECT_EQ(S().Sent[0].size(), 52u);
    EXPECT_EQ(S().Sent[0][6] | (S().Sent[0][7] << 8), 3489);
    EXPECT_EQ(S().Sent[0][4] | (S().Sent[0][5] << 8), Client->Identifier());
    // Random, so only all three alike would show a fixed one (odds 1 in 2^32 otherwise).
    const TNetIcmpClient Second(Fake.Net), Third(Fake.Net);
    EXPECT_FALSE(Client->Identifier() == Second.Identifier() &&
                 Client->Identifier() == Third.Identifier());
    EXPECT_EQ(S().SentTo[0], "10.0.0.9");
    EXPECT_EQ(S().SentPorts[0], 7);
    EXPECT_EQ(Client->ReplyStatus(),
              (TReplyStatus{72, "10.0.0.9", 0, 3489, 37, 61, skEchoReply, 37'000}));
    ASSERT_EQ(Fired.size(), 1u);
    EXPECT_EQ(Fired[0], Client->ReplyStatus());
    EXPECT_EQ(Client->SequenceCounter(), 3490);
    EXPECT_EQ(S().Opened, 1);
    EXPECT_EQ(S().Closed, 1);
    EXPECT_EQ(S().TtlsSet.front(), 128);
}

TEST_F(IcmpClient, WaitOutcomes) {
    struct TRow {
        const char* Name;
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Arrivals;
        int32_t Timeout;
        TReplyStatusKind Kind;
        uint32_t RoundTrip;
        int32_t Bytes;
    };
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> Stream;
    for (uint32_t T = 100; T <= 1500; T += 100) {
        Stream.push_back({T, Datagram(0, 1)});
    }
    auto StreamThenOurs = Stream;
    StreamThenOurs.insert(StreamThenOurs.begin() + 4, {450, Datagram(0, 3489)});
    const std::vector<TRow> Rows{
        {"silence", {}, 1000, skTimedOut, 1000, 0},
        {"foreign replies every 100 ms do not extend the wait", Stream, 1000, skTimedOut, 1000, 0},
        {"ours among foreign ones", StreamThenOurs, 1000, skEchoReply, 450, 72},
        {"reply after the timeout", {{1200, Datagram(0, 3489)}}, 1000, skTimedOut, 1000, 0},
        {"time exceeded quoting us", {{5, Datagram(11, 3489, 100)}}, 1000, skTtlExceeded, 5, 100},
        {"unreachable quoting another", {{5, Datagram(3, 3488, 100)}}, 300, skTimedOut, 300, 0},
        {"our request seen on loopback, then the reply",
         {{1, Datagram(8, 3489)}, {2, Datagram(0, 3489)}},
         1000,
         skEchoReply,
         2,
         72},
        {"reply of another identifier",
         {{5, RawDatagram(Client->Identifier() ^ 1, 0, 3489, 72, {10, 0, 0, 9})}},
         300,
         skTimedOut,
         300,
         0},
        {"reply from another address",
         {{5, Datagram(0, 3489, 72, {10, 0, 0, 8})}},
         300,
         skTimedOut,
         300,
         0},
        {"redirect quoting us", {{5, Datagram(5, 3489, 100)}}, 300, skTimedOut, 300, 0},
        {"oversized with our sequence, then ours",
         {{10, Datagram(0, 3489, 1500)}, {20, Datagram(0, 3489)}},
         1000,
         skEchoReply,
         20,
         72},
        {"redirect about other traffic, then ours",
         {{10, Datagram(5, 77, 100)}, {30, Datagram(0, 3489)}},
         1000,
         skEchoReply,
         30,
         72},
        {"timeout 0 polls once", {}, 0, skTimedOut, 0, 0},
        {"timeout 0 with a datagram waiting", {{0, Datagram(0, 3489)}}, 0, skEchoReply, 0, 72},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Fake.Reset();
        for (const auto& [At, Bytes] : R.Arrivals) {
            Arrive(At, Bytes);
        }
        Client->SetReceiveTimeout(R.Timeout);
        Client->Ping({}, 3489);
        const TReplyStatus& Got = Client->ReplyStatus();
        EXPECT_EQ(Got.Status, R.Kind);
        EXPECT_EQ(Got.RoundTripMs, R.RoundTrip);
        EXPECT_EQ(Got.ReplyBytes, R.Bytes);
        EXPECT_EQ(Got.Sequence, 3489);
        if (R.Kind == skTimedOut) {
            EXPECT_EQ(Got, (TReplyStatus{0, "0.0.0.0", 0, 3489, R.RoundTrip, 0, skTimedOut,
                                         int64_t{R.RoundTrip} * 1000}));
        }
    }
}

TEST_F(IcmpClient, ZeroTimeoutMakesExactlyOnePoll) {
    Client->SetReceiveTimeout(0);
    Arrive(0, Datagram(0, 1));
    Client->Ping();
    EXPECT_EQ(S().PollTimeouts, (std::vector<int>{0}));
    EXPECT_EQ(Client->ReplyStatus().Status, skTimedOut);
}

TEST_F(IcmpClient, SequenceNumbers) {
    struct TRow {
        uint16_t NewSequence;
        uint16_t Sent;
        uint16_t Next;
    };
    const std::vector<TRow> Rows{
        {0, 3489, 3490}, {7, 7, 8}, {0, 8, 9}, {65535, 65535, 0}, {0, 0, 1}};
    Client->SetReceiveTimeout(10);
    for (const auto& R : Rows) {
        Client->Ping({}, R.NewSequence);
        EXPECT_EQ(S().Sent.back()[6] | (S().Sent.back()[7] << 8), R.Sent);
        EXPECT_EQ(Client->ReplyStatus().Sequence, R.Sent);
        EXPECT_EQ(Client->SequenceCounter(), R.Next);
    }
}

TEST_F(IcmpClient, PayloadReachesTheWire) {
    Client->SetReceiveTimeout(0);
    Client->Ping("abc");
    const auto& Sent = S().Sent.back();
    EXPECT_EQ(std::string(Sent.begin() + 20, Sent.end()), "abc" + std::string(29, 'E'));
}

TEST_F(IcmpClient, RoundTripLeavesOutTheLookup) {
    // The scripted lookup takes no time itself; make the clock jump while it runs.
    struct TSlowStack : TFakeStack {
        using TFakeStack::TFakeStack;
        std::string LookupHostName(const std::string& AName) override {
            Script().Clock.Advance(30);
            return TFakeStack::LookupHostName(AName);
        }
    };
    Client.reset();
    Fake.Net.SetStackClass([this] { return std::make_unique<TSlowStack>(S()); });
    Client.emplace(Fake.Net);
    Client->SetHost("slow.example");
    Client->SetReceiveTimeout(1000);
    struct TRow {
        const char* Name;
        std::optional<uint32_t> ReplyAt; // after the start of Ping, lookup included
        TReplyStatusKind Kind;
        uint32_t RoundTrip;
    };
    for (const TRow R :
         {TRow{"reply", 40, skEchoReply, 10}, TRow{"silence", std::nullopt, skTimedOut, 1000}}) {
        SCOPED_TRACE(R.Name);
        Fake.Reset();
        S().Hosts["slow.example"] = "10.0.0.9";
        if (R.ReplyAt) {
            Arrive(*R.ReplyAt, Datagram(0, 3489));
        }
        const uint32_t Start = S().Now();
        Client->Ping({}, 3489);
        EXPECT_EQ(Client->ReplyStatus().Status, R.Kind);
        EXPECT_EQ(Client->ReplyStatus().RoundTripMs, R.RoundTrip);
        EXPECT_EQ(S().Lookups, 1);
        if (!R.ReplyAt) {
            EXPECT_EQ(S().Now() - Start, 1030u)
                << "the wait still lasts the timeout after the send";
        }
    }
    // A failed lookup still raises its error and sends nothing.
    Fake.Reset();
    try {
        Client->Ping();
        ADD_FAILURE() << "lookup did not fail";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 11001);
    }
    EXPECT_TRUE(S().Sent.empty());
}

TEST_F(IcmpClient, RoundTripEndsAtTheReceiveStamp) {
    constexpr int64_t Ms = 1000000;
    constexpr int64_t Hour = 3600 * 1000 * Ms;
    struct TRow {
        const char* Name;
        // Datagrams: monotonic arrival (ms after the send), sequence, stamp relative to the
        // stamp clock's reading at the send, or none.
        std::vector<std::tuple<uint32_t, uint16_t, std::optional<int64_t>>> Arrivals;
        uint32_t RoundTrip;
        int64_t StepNs = 0; // the stamp clock set by this much before the reply was read
    };
    const std::vector<TRow> Rows{
        {"read late: the stamp ends it", {{40, 3489, 37 * Ms + 600000}}, 37},
        {"stamp equal to the monotonic span", {{40, 3489, 40 * Ms}}, 40},
        {"under a millisecond stays 0", {{1, 3489, Ms - 1}}, 0},
        {"no stamp: monotonic", {{40, 3489, std::nullopt}}, 40},
        {"clock stepped back an hour", {{40, 3489, 40 * Ms - Hour}}, 40},
        {"clock stepped back a little", {{40, 3489, -200000}}, 40},
        {"clock stepped forward 10 s", {{40, 3489, 10000 * Ms}}, 40},
        {"clock stepped forward 2 ms", {{40, 3489, 42 * Ms}}, 40},
        // Steps that leave the stamp span inside the monotonic one show in the clocks' offset.
        {"clock stepped back 10 ms, reply read late", {{40, 3489, 27 * Ms}}, 40, -10 * Ms},
        {"clock stepped forward 2 ms, reply read late", {{40, 3489, 32 * Ms}}, 40, 2 * Ms},
        {"a tenth of a millisecond is no step", {{40, 3489, 37 * Ms + 700000}}, 37, 100000},
        {"a foreign reply's stamp is not ours", {{5, 3000, 5 * Ms}, {40, 3489, std::nullopt}}, 40},
        {"a foreign reply's stamp does not end a timeout", {{5, 3000, 5 * Ms}}, 1000},
        {"ours after a foreign one", {{5, 3000, 5 * Ms}, {40, 3489, 38 * Ms}}, 38},
    };
    // The microseconds the history keeps, where the stamp gives more than whole ms.
    const std::map<std::string, int64_t> ExactUs{{"read late: the stamp ends it", 37'600},
                                                 {"under a millisecond stays 0", 999}};
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Fake.Reset();
        for (const auto& [At, Seq, Stamp] : R.Arrivals) {
            Arrive(At, Datagram(0, Seq));
            if (Stamp) {
                S().Arrivals.back().StampNs = S().StampAt(S().Now()) + *Stamp;
            }
        }
        S().Arrivals.back().StepNs = R.StepNs;
        Client->Ping({}, 3489);
        EXPECT_EQ(Client->ReplyStatus().RoundTripMs, R.RoundTrip);
        EXPECT_EQ(Client->ReplyStatus().RoundTripUs / 1000, R.RoundTrip);
        if (const auto It = ExactUs.find(R.Name); It != ExactUs.end()) {
            EXPECT_EQ(Client->ReplyStatus().RoundTripUs, It->second);
        }
    }
}

TEST_F(IcmpClient, FailuresKeepStateAndSocket) {
    Arrive(5, Datagram(0, 3489));
    Client->Ping();
    const TReplyStatus Before = Client->ReplyStatus();
    int Fired = 0;
    Client->OnReply = [&](TNetIcmpClient&, const TReplyStatus&) { ++Fired; };

    S().FailSend = 10065;
    EXPECT_THROW(Client->Ping(), ENetSocketError);
    EXPECT_TRUE(Client->Socket().HasSocket());
    S().FailSend = 0;
    S().FailPoll = 10004;
    EXPECT_THROW(Client->Ping(), ENetSocketError);
    S().FailPoll = 0;
    S().Hosts.clear();
    Client->SetHost("unknown");
    try {
        Client->Ping();
        ADD_FAILURE() << "lookup did not fail";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 11001);
    }
    EXPECT_EQ(Fired, 0);
    EXPECT_EQ(Client->SequenceCounter(), 3490);
    EXPECT_EQ(Client->ReplyStatus(), Before);
    EXPECT_EQ(S().Opened, 2) << "the socket opened by the failed send is reused";

    Client->SetHost("10.0.0.9");
    Arrive(5, Datagram(0, 3490));
    Client->Ping();
    EXPECT_EQ(Client->ReplyStatus().Sequence, 3490);
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(S().Opened, 2);
    EXPECT_FALSE(Client->Socket().HasSocket());
}

TEST_F(IcmpClient, OnReplyExceptionStopsBeforeTheSequenceAdvances) {
    Client->OnReply = [](TNetIcmpClient&, const TReplyStatus&) { throw std::runtime_error("x"); };
    Arrive(5, Datagram(0, 3489));
    EXPECT_THROW(Client->Ping(), std::runtime_error);
    EXPECT_EQ(Client->ReplyStatus().Status, skEchoReply);
    EXPECT_FALSE(Client->Socket().HasSocket());
    EXPECT_EQ(Client->SequenceCounter(), 3489);
}

TEST_F(IcmpClient, SettingTtlOpensTheSocket) {
    Client->SetTTL(5);
    EXPECT_TRUE(Client->Socket().HasSocket());
    EXPECT_EQ(S().TtlsSet, (std::vector<int32_t>{5, 5}));
    Client->Ping();
    EXPECT_EQ(S().Opened, 1) << "the ping used the socket the TTL opened";
    EXPECT_EQ(S().TtlsSet.back(), 5);

    S().FailSocket = 10013; // refused for the raw and the datagram socket alike
    try {
        Client->SetTTL(9);
        ADD_FAILURE() << "no exception";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 10013);
        EXPECT_STREQ(E.what(), "Socket Error # 10013\r\nAccess denied.");
    }
    EXPECT_EQ(Client->TTL(), 9);
    EXPECT_FALSE(Client->Socket().HasSocket());
}

} // namespace
