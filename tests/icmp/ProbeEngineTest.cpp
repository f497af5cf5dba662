// SPDX-License-Identifier: GPL-3.0-or-later
// The probe engine's matching over byte areas and a scripted stack: which datagram answers
// which probe, with which hop limit, and when a probe counts as lost.
#include "TFakeStack.h"
#include "TIcmp6Wire.h"
#include "TNetFamily.h"
#include "TNetIcmp6Socket.h"
#include "TNetIcmpClient.h"
#include "TNetPingSocket.h"
#include "TNetProbeBook.h"
#include "TNetProbeEngine.h"
#include "TNetProbeWire.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TArea = std::array<uint8_t, TIcmpWire::AreaSize>;

std::vector<uint8_t> Request(bool AIPv6, uint16_t AId, uint16_t ASeq) {
    TArea Echo{};
    TIcmpWire::BuildEchoRequest(Echo, AId, ASeq, 0, {});
    if (AIPv6) {
        TIcmp6Wire::ToEchoRequest(Echo);
    }
    return {Echo.begin(), Echo.begin() + TIcmpWire::EchoSize};
}

// What a raw socket of the family gives for AType (echo reply, time exceeded, unreachable)
// about ARequest sent to the address ending in ATo, from a sender whose address ends in AHost.
std::pair<TArea, int32_t> Reading(bool AIPv6, uint8_t AType, std::vector<uint8_t> ARequest,
                                  uint8_t AHost, uint8_t ATo = 9) {
    TArea Area{};
    int32_t N = 0;
    const bool Echo = AType == 0 || AType == 129;
    if (AIPv6) {
        TNetIcmp6Socket::TAddress From{0xfd};
        TNetIcmp6Socket::TAddress To{0xfd};
        From[15] = AHost;
        To[15] = ATo;
        if (Echo) {
            ARequest[0] = 129;
            N = TNetIcmp6Socket::SynthesizeReply(Area, From, 63, ARequest, ARequest.size());
        } else {
            N = TNetIcmp6Socket::SynthesizeError(Area, From, To, 63, AType, 0, ARequest);
        }
    } else {
        const TNetPingSocket::TAddress From{10, 0, 0, AHost};
        if (Echo) {
            ARequest[0] = 0;
            N = TNetPingSocket::SynthesizeReply(Area, From, 61, ARequest, ARequest.size());
        } else {
            N = TNetPingSocket::SynthesizeError(Area, From, {10, 0, 0, ATo}, 61, AType, 0,
                                                ARequest);
        }
    }
    return {Area, N};
}

TProbeMatch::TEcho SentTo9(bool AIPv6, uint16_t AId, uint16_t ASeq) {
    TProbeMatch::TEcho Echo{{}, AId, ASeq};
    Echo.Destination[0] = AIPv6 ? 0xfd : 10;
    Echo.Destination[AIPv6 ? 15 : 3] = 9;
    return Echo;
}

TEST(ProbeWire, FindsTheSequenceAndTheSenderOfEachKind) {
    struct TRow {
        const char* Name;
        bool IPv6;
        uint8_t Type;
        uint16_t SentId;
        uint8_t Host; // the sender, and for errors the destination the quote names
        uint8_t To;
        std::optional<TReplyStatusKind> Kind;
    };
    const std::vector<TRow> Rows{
        {"v4 echo reply", false, 0, 7, 9, 9, skEchoReply},
        {"v4 time exceeded", false, 11, 7, 9, 9, skTtlExceeded},
        {"v4 unreachable", false, 3, 7, 9, 9, skUnreachable},
        {"v4 another process's reply", false, 0, 8, 9, 9, std::nullopt},
        {"v4 another process's time exceeded", false, 11, 8, 9, 9, std::nullopt},
        {"v4 reply from another address", false, 0, 7, 5, 9, std::nullopt},
        {"v4 time exceeded quoting another destination", false, 11, 7, 1, 5, std::nullopt},
        {"v4 redirect", false, 5, 7, 9, 9, std::nullopt},
        {"v6 echo reply", true, 129, 7, 9, 9, skEchoReply},
        {"v6 time exceeded", true, 3, 7, 9, 9, skTtlExceeded},
        {"v6 unreachable", true, 1, 7, 9, 9, skUnreachable},
        {"v6 another process's time exceeded", true, 3, 8, 9, 9, std::nullopt},
        {"v6 another process's reply", true, 129, 8, 9, 9, std::nullopt},
        {"v6 reply from another address", true, 129, 7, 5, 9, std::nullopt},
        {"v6 unreachable quoting another destination", true, 1, 7, 1, 5, std::nullopt},
        {"v6 packet too big", true, 2, 7, 9, 9, std::nullopt},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const TNetFamily& Family = TNetFamily::Of(R.IPv6 ? Id_IPv6 : Id_IPv4);
        const auto [Area, N] =
            Reading(R.IPv6, R.Type, Request(R.IPv6, R.SentId, 0x8123), R.Host, R.To);
        const auto Sequence = TNetProbeWire::Sequence(Family, Area, N);
        const auto Got = TNetProbeWire::Decode(Family, Area, N, SentTo9(R.IPv6, 7, 0x8123));
        ASSERT_EQ(Got.has_value(), R.Kind.has_value());
        if (Got) {
            EXPECT_EQ(Sequence, 0x8123);
            EXPECT_EQ(Got->Sequence, 0x8123);
            EXPECT_EQ(Got->Kind, *R.Kind);
            EXPECT_EQ(Got->From,
                      std::string(R.IPv6 ? "fd00::" : "10.0.0.") + std::to_string(R.Host));
        }
    }
    const auto [Area, N] = Reading(false, 0, Request(false, 7, 0x8123), 9);
    const auto& Four = TNetFamily::Of(Id_IPv4);
    for (const int32_t Cut : {0, 27, 2000}) {
        EXPECT_FALSE(TNetProbeWire::Decode(Four, Area, Cut, SentTo9(false, 7, 0x8123))) << Cut;
        EXPECT_FALSE(TNetProbeWire::Sequence(Four, Area, Cut)) << Cut;
    }
    EXPECT_TRUE(TNetProbeWire::Decode(Four, Area, N, SentTo9(false, 7, 0x8123)));
}

TEST(ProbeBook, SequencesStayInTheUpperHalfAndSkipThoseInFlight) {
    TNetProbeBook Book(0xFFFE);
    EXPECT_EQ(Book.NextSequence(), 0xFFFE);
    Book.Add({0xFFFF, 1, 0, 500});
    Book.Add({0x8000, 2, 0, 300});
    Book.Add({0x8002, 3, 0, 300});
    EXPECT_EQ(Book.NextSequence(), 0x8001) << "past 0xFFFF and 0x8000, both in flight";
    EXPECT_EQ(Book.NextSequence(), 0x8003);
    EXPECT_EQ(TNetProbeBook(5).NextSequence(), 0x8005);

    EXPECT_EQ(Book.NextDeadline(), 300);
    EXPECT_EQ(Book.Take(0x8002)->Ttl, 3);
    EXPECT_FALSE(Book.Take(0x8002)) << "an answer counts once";
    EXPECT_TRUE(Book.Expire(299).empty());
    const auto Due = Book.Expire(500);
    ASSERT_EQ(Due.size(), 2u);
    EXPECT_EQ(Due[0].Ttl, 2);
    EXPECT_EQ(Due[1].Ttl, 1);
    EXPECT_EQ(Book.Count(), 0u);
    EXPECT_FALSE(Book.NextDeadline());

    // A sequence answered and handed out again waits for its own deadline, not the old one.
    Book.Add({0x8004, 1, 0, 600});
    Book.Add({0x8005, 2, 0, 700});
    EXPECT_TRUE(Book.Take(0x8004));
    EXPECT_EQ(Book.NextDeadline(), 700) << "the answered probe's deadline is gone";
    Book.Add({0x8004, 3, 0, 900});
    EXPECT_EQ(Book.Find(0x8004)->Ttl, 3);
    EXPECT_EQ(Book.Expire(800).size(), 1u);
    EXPECT_EQ(Book.Find(0x8004)->Ttl, 3);
    EXPECT_EQ(Book.Expire(900).at(0).Ttl, 3);
    EXPECT_THROW(Book.Add({0x7FFF, 4, 0, 1}), std::logic_error) << "never handed out";
}

class ProbeEngine : public ::testing::Test {
protected:
    TFakeStack::TScript& S() { return Fake.Script; }
    uint16_t Seq(std::size_t ASent) const {
        const auto& B = Fake.Script.Sent.at(ASent);
        return static_cast<uint16_t>(B[6] | (B[7] << 8));
    }
    // The answer to the ASent-th request, readable AAfterMs from now, stamped ALateMs later.
    void Answer(std::size_t ASent, uint8_t AType, uint8_t AHost, uint32_t AAfterMs,
                std::optional<uint16_t> AId = {}, uint32_t ALateMs = 0) {
        auto Bytes = S().Sent.at(ASent);
        if (AId) {
            Bytes[4] = static_cast<uint8_t>(*AId & 0xFF);
            Bytes[5] = static_cast<uint8_t>(*AId >> 8);
        }
        const auto [Area, N] = Reading(false, AType, Bytes, AHost);
        const uint32_t At = S().Now() + AAfterMs;
        S().Arrivals.push_back({At + ALateMs, {Area.begin(), Area.begin() + N}, S().StampAt(At)});
    }
    std::map<int, TNetProbeResult> ByTtl(const std::vector<TNetProbeResult>& AResults) {
        std::map<int, TNetProbeResult> Map;
        for (const auto& R : AResults) {
            EXPECT_TRUE(Map.emplace(R.Ttl, R).second) << "one end per probe, hop " << R.Ttl;
        }
        return Map;
    }

    TFakeNet Fake;
    TNetProbeEngine Engine{Fake.Net};
};

TEST_F(ProbeEngine, MatchesAnswersToTheirHopsAndExpiresTheRest) {
    Engine.Open("10.0.0.9");
    EXPECT_EQ(Engine.Transport(), TNetProbeTransport::Raw);
    for (int Ttl = 1; Ttl <= 5; ++Ttl) {
        Engine.Queue(Ttl, 7, 1000);
    }
    EXPECT_TRUE(Engine.Process().empty());
    ASSERT_EQ(S().Sent.size(), 5u) << "a round is in flight together";
    EXPECT_EQ(S().TtlsSet, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    const uint16_t Ours = S().Sent[0][4] | (S().Sent[0][5] << 8);
    // Random, so only all three alike would show a fixed one (odds 1 in 2^32 otherwise).
    const TNetProbeEngine Second{Fake.Net};
    const TNetIcmpClient Ping{Fake.Net};
    EXPECT_FALSE(Ours == Ping.Identifier() && Ours == Second.Identifier());

    Answer(2, 0, 9, 30);                      // hop 3: the destination, in 30 ms
    Answer(0, 11, 1, 5, uint16_t(Ours + 1));  // another process's probe, same sequence
    Answer(0, 11, 1, 10);                     // hop 1: the router, in 10 ms
    Answer(3, 0, 9, 1200);                    // hop 4: after its timeout
    Answer(1, 11, 2, 400, std::nullopt, 700); // hop 2: stamped at 400 ms, read at 1100 ms
    S().Clock.Advance(50);
    auto Hops = ByTtl(Engine.Process());
    ASSERT_EQ(Hops.size(), 2u);
    EXPECT_EQ(Hops[1].Kind, skTtlExceeded);
    EXPECT_EQ(Hops[1].From, "10.0.0.1");
    EXPECT_EQ(Hops[1].RoundTripNs, 10'000'000);
    EXPECT_EQ(Hops[3].Kind, skEchoReply);
    EXPECT_EQ(Hops[3].RoundTripNs, 30'000'000);
    EXPECT_EQ(Hops[3].Round, 7u);
    EXPECT_EQ(Hops[3].ReplyTtl, 61);
    EXPECT_EQ(Engine.InFlight(), 3u);
    EXPECT_EQ(Engine.NextDueNs(), int64_t{1000 + 1000} * TClock::NsPerMs);

    S().Clock.Advance(1250);
    Hops = ByTtl(Engine.Process());
    ASSERT_EQ(Hops.size(), 3u);
    EXPECT_EQ(Hops[2].Kind, skTtlExceeded) << "read late, measured to its stamp";
    EXPECT_EQ(Hops[2].RoundTripNs, 400'000'000);
    EXPECT_EQ(Hops[4].Kind, skTimedOut) << "answered after its timeout";
    EXPECT_EQ(Hops[5].Kind, skTimedOut);
    EXPECT_EQ(Hops[5].From, "");
    EXPECT_EQ(Engine.InFlight(), 0u);
    EXPECT_FALSE(Engine.NextDueNs());
}

TEST_F(ProbeEngine, AFailedSendEndsItsProbeAtOnce) {
    Engine.Open("10.0.0.9");
    S().FailSend = 10065; // no route
    Engine.Queue(1, 0, 1000);
    const auto Results = Engine.Process();
    ASSERT_EQ(Results.size(), 1u);
    EXPECT_EQ(Results[0].Kind, skError);
    EXPECT_EQ(Results[0].ErrorCode, 10065);
    EXPECT_EQ(Engine.InFlight(), 0u);
    Engine.Close();
    EXPECT_EQ(Engine.Descriptor(), -1);
    EXPECT_TRUE(Engine.Process().empty());
}

} // namespace
