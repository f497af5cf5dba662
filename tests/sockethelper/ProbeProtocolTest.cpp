// SPDX-License-Identifier: GPL-3.0-or-later
// What the helper agrees to send, which datagrams it passes back, and at what pace.
#include "TProbeMatch.h"
#include "TProbeProtocol.h"
#include "TSendRate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

using namespace TProbeProtocol;

namespace {

TProbe Echo4() {
    TProbe P;
    P.Id = 7;
    P.Family = AF_INET;
    P.HopLimit = 64;
    P.WaitMs = 1000;
    P.Address = {10, 1, 2, 3};
    P.Message.assign(52, 'E');
    P.Message[0] = 8;
    P.Message[1] = 0;
    return P;
}

TProbe Echo6() {
    TProbe P = Echo4();
    P.Family = AF_INET6;
    P.Address = {0xfd, 0x5a, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    P.Message[0] = 128;
    return P;
}

TEST(ProbeProtocol, SendsOnlyEchoRequestsToUnicastAddresses) {
    using TChange = std::function<void(TProbe&)>;
    struct TRow {
        const char* Name;
        TProbe (*Base)();
        TChange Change;
        TVerdict Verdict;
    };
    const std::vector<TRow> Rows{
        {"IPv4 echo request", Echo4, [](TProbe&) {}, TVerdict::Accepted},
        {"IPv6 echo request", Echo6, [](TProbe&) {}, TVerdict::Accepted},
        {"from a source", Echo4,
         [](TProbe& P) {
             P.Source = {{10, 1, 2, 9}};
         },
         TVerdict::Accepted},
        {"from a multicast source", Echo4,
         [](TProbe& P) {
             P.Source = {{224, 0, 0, 1}};
         },
         TVerdict::NotServed},
        {"from IPv6's unspecified source", Echo6,
         [](TProbe& P) { P.Source = std::array<uint8_t, 16>{}; }, TVerdict::NotServed},
        {"echo reply", Echo4, [](TProbe& P) { P.Message[0] = 0; }, TVerdict::NotServed},
        {"timestamp request", Echo4, [](TProbe& P) { P.Message[0] = 13; }, TVerdict::NotServed},
        {"code 1", Echo4, [](TProbe& P) { P.Message[1] = 1; }, TVerdict::NotServed},
        {"an IP header of the caller's", Echo4, [](TProbe& P) { P.Message[0] = 0x45; },
         TVerdict::NotServed},
        {"IPv6 type over IPv4", Echo4, [](TProbe& P) { P.Message[0] = 128; }, TVerdict::NotServed},
        {"IPv4 type over IPv6", Echo6, [](TProbe& P) { P.Message[0] = 8; }, TVerdict::NotServed},
        {"multicast", Echo4,
         [](TProbe& P) {
             P.Address = {224, 0, 0, 1};
         },
         TVerdict::NotServed},
        {"broadcast", Echo4,
         [](TProbe& P) {
             P.Address = {255, 255, 255, 255};
         },
         TVerdict::NotServed},
        {"any", Echo4, [](TProbe& P) { P.Address = {}; }, TVerdict::NotServed},
        {"IPv4 with IPv6 bytes", Echo4, [](TProbe& P) { P.Address[15] = 1; }, TVerdict::NotServed},
        {"IPv6 multicast", Echo6,
         [](TProbe& P) { P.Address = {0xff, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}; },
         TVerdict::NotServed},
        {"IPv6 unspecified", Echo6, [](TProbe& P) { P.Address = {}; }, TVerdict::NotServed},
        {"hop limit 0", Echo4, [](TProbe& P) { P.HopLimit = 0; }, TVerdict::NotServed},
        {"hop limit 256", Echo4, [](TProbe& P) { P.HopLimit = 256; }, TVerdict::NotServed},
        {"no wait", Echo4, [](TProbe& P) { P.WaitMs = 0; }, TVerdict::NotServed},
        {"a wait past a minute", Echo4, [](TProbe& P) { P.WaitMs = MaxWaitMs + 1; },
         TVerdict::NotServed},
        {"packet socket family", Echo4, [](TProbe& P) { P.Family = AF_PACKET; },
         TVerdict::NotServed},
        {"shorter than a header", Echo4, [](TProbe& P) { P.Message.resize(MinMessage - 1); },
         TVerdict::Malformed},
        {"oversized", Echo4, [](TProbe& P) { P.Message.resize(MaxMessage + 1); },
         TVerdict::Malformed},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TProbe P = R.Base();
        R.Change(P);
        const TParsed Parsed = Parse(EncodeProbe(P));
        EXPECT_EQ(Parsed.Verdict, R.Verdict);
        if (R.Verdict == TVerdict::Accepted) {
            EXPECT_EQ(Parsed.Probe.Message, P.Message);
            EXPECT_EQ(Parsed.Probe.Address, P.Address);
            EXPECT_EQ(Parsed.Probe.HopLimit, P.HopLimit);
            EXPECT_EQ(Parsed.Probe.Source, P.Source);
        }
        // The asker's number comes back with a refusal, so it can match the answer; nothing
        // of a malformed request is trusted.
        EXPECT_EQ(Parsed.Probe.Id, R.Verdict == TVerdict::Malformed ? 0u : P.Id);
    }
    EXPECT_EQ(RefusalErrno(TVerdict::NotServed), EPROTONOSUPPORT);
    EXPECT_EQ(RefusalErrno(TVerdict::Malformed), EBADMSG);
}

TEST(ProbeProtocol, MalformedMessagesAreRefused) {
    const auto Good = EncodeProbe(Echo4());
    auto Longer = Good;
    Longer.push_back(0);
    auto Padded = Good;
    Padded[6] = 1;
    auto SourceUnflagged = Good;
    SourceUnflagged[48] = 10;
    auto ForgetWithSource = EncodeForget(3);
    ForgetWithSource[5] = 1;
    auto ForgetWithBody = EncodeForget(3);
    ForgetWithBody[20] = 1;
    const std::vector<uint8_t> OldRequest{'Z', 'S', 'K', '1', 2, 0, 0, 0, 3, 0,
                                          0,   0,   1,   0,   0, 0, 9, 0, 0, 0};
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> Rows{
        {"empty", {}},
        {"one byte short", {Good.begin(), Good.end() - 1}},
        {"one byte long", Longer},
        {"padding set", Padded},
        {"a socket request of the old kind", OldRequest},
        {"a forget with a body", ForgetWithBody},
        {"a source without its flag", SourceUnflagged},
        {"a forget with a source", ForgetWithSource},
        {"zeros", std::vector<uint8_t>(RequestHeaderSize + 52, 0)},
    };
    for (const auto& [Name, Bytes] : Rows) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(Parse(Bytes).Verdict, TVerdict::Malformed);
    }
    const TParsed Forget = Parse(EncodeForget(0xFFFFFFFFu));
    EXPECT_EQ(Forget.Verdict, TVerdict::Accepted);
    EXPECT_EQ(Forget.Kind, TRequestKind::Forget);
    EXPECT_EQ(Forget.Probe.Id, 0xFFFFFFFFu);
}

TEST(ProbeProtocol, AnswersCarryEveryField) {
    TAnswer A;
    A.Kind = TAnswerKind::Datagram;
    A.Id = 0xFFFFFFFEu;
    A.Status = -5;
    A.Family = AF_INET6;
    A.HopLimit = 63;
    A.StampNs = -1;
    A.Source[15] = 9;
    A.Bytes = {129, 0, 1, 2};
    for (const std::optional<int64_t> Stamp :
         {std::optional<int64_t>{-1}, std::optional<int64_t>{}}) {
        A.StampNs = Stamp;
        const auto Back = DecodeAnswer(EncodeAnswer(A));
        ASSERT_TRUE(Back.has_value());
        EXPECT_EQ(Back->Kind, A.Kind);
        EXPECT_EQ(Back->Id, A.Id);
        EXPECT_EQ(Back->Status, A.Status);
        EXPECT_EQ(Back->HopLimit, A.HopLimit);
        EXPECT_EQ(Back->StampNs, A.StampNs);
        EXPECT_EQ(Back->Source, A.Source);
        EXPECT_EQ(Back->Bytes, A.Bytes);
    }
    EXPECT_FALSE(DecodeAnswer(std::vector<uint8_t>(AnswerHeaderSize - 1, 0)).has_value());
}

// An IPv4 datagram: a 20-byte header, then the ICMP message; AQuoted puts a quoted header
// and our request's first bytes behind an error report.
std::vector<uint8_t> Datagram4(uint8_t AType, uint16_t ASequence, bool AQuoted) {
    std::vector<uint8_t> D(AQuoted ? 20 + 8 + 20 + 8 : 20 + 52, 0);
    D[0] = 0x45;
    D[20] = AType;
    D[28] = AQuoted ? 0x45 : 0; // the quoted header's own length
    const std::size_t At = AQuoted ? 20 + 8 + 20 + 6 : 20 + 6;
    D[At] = static_cast<uint8_t>(ASequence & 0xFF);
    D[At + 1] = static_cast<uint8_t>(ASequence >> 8);
    return D;
}

// An ICMPv6 message; an error report quotes an IPv6 header with AQuotedNext and a request.
std::vector<uint8_t> Message6(uint8_t AType, uint16_t ASequence, uint8_t AQuotedNext = 58,
                              uint8_t AQuotedType = 128) {
    const bool Error = AType < 128;
    std::vector<uint8_t> M(Error ? 8 + 40 + 8 : 52, 0);
    M[0] = AType;
    std::size_t At = 6;
    if (Error) {
        M[8 + 6] = AQuotedNext;
        M[48] = AQuotedType;
        At = 48 + 6;
    }
    M[At] = static_cast<uint8_t>(ASequence & 0xFF);
    M[At + 1] = static_cast<uint8_t>(ASequence >> 8);
    return M;
}

TEST(ProbeMatch, OnlyAnswersToOurRequestsConcernAProbe) {
    const std::optional<uint16_t> None;
    struct TRow {
        const char* Name;
        int Family;
        std::vector<uint8_t> Bytes;
        std::optional<uint16_t> Sequence;
    };
    const std::vector<TRow> Rows{
        {"echo reply", AF_INET, Datagram4(0, 3489, false), 3489},
        {"our own request on loopback", AF_INET, Datagram4(8, 3490, false), None},
        {"unreachable", AF_INET, Datagram4(3, 3491, true), 3491},
        {"time exceeded", AF_INET, Datagram4(11, 3492, true), 3492},
        {"redirect", AF_INET, Datagram4(5, 3493, true), None},
        {"timestamp reply", AF_INET, Datagram4(14, 3494, false), None},
        {"shorter than an ICMP header", AF_INET, std::vector<uint8_t>(27, 0x45), None},
        {"longer than any reply", AF_INET, std::vector<uint8_t>(MaxDatagram + 1, 0x45), None},
        {"ICMPv6 echo reply", AF_INET6, Message6(129, 7, 0, 0), 7},
        {"ICMPv6 echo request", AF_INET6, Message6(128, 8), None},
        {"ICMPv6 unreachable", AF_INET6, Message6(1, 9), 9},
        {"ICMPv6 time exceeded", AF_INET6, Message6(3, 10), 10},
        {"ICMPv6 time exceeded about UDP", AF_INET6, Message6(3, 11, 17), None},
        {"ICMPv6 time exceeded about a reply", AF_INET6, Message6(3, 12, 58, 129), None},
        {"ICMPv6 packet too big", AF_INET6, Message6(2, 13), None},
        {"ICMPv6 neighbour solicitation", AF_INET6, Message6(135, 14), None},
        {"ICMPv6 too short", AF_INET6, std::vector<uint8_t>(7, 129), None},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        EXPECT_EQ(TProbeMatch::ConcernedSequence(R.Family, R.Bytes), R.Sequence);
    }
    EXPECT_EQ(TProbeMatch::RequestSequence(Echo4().Message), 0x4545);
}

TEST(SendRate, HoldsToAnOrdinaryUsersPing) {
    constexpr int64_t Us = 1000;
    TSendRate Rate;
    // Start at 1 s; then (us since start, sends tried back to back, how many may go).
    struct TRow {
        int64_t AtUs;
        int Tries, Allowed;
    };
    const std::vector<TRow> Rows{{0, 40, 32},     {100, 1, 0},    {250, 2, 1},
                                 {10000, 40, 32}, {12000, 10, 8}, {12100, 1, 0}};
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.AtUs);
        int Went = 0;
        for (int I = 0; I < R.Tries; ++I) {
            Went += Rate.Take(1000000 * Us + R.AtUs * Us) ? 1 : 0;
        }
        EXPECT_EQ(Went, R.Allowed);
    }
    // Tried every 50 us for a second: the pace, plus the burst.
    int Went = 0;
    for (int64_t At = 0; At < 1000000; At += 50) {
        Went += Rate.Take(2000000 * Us + At * Us) ? 1 : 0;
    }
    EXPECT_LE(Went, 4000 + 32);
    EXPECT_GE(Went, 4000);
}

} // namespace
