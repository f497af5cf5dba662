// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmpWire.h"
#include "TNetPingSocket.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

using TArea = std::array<uint8_t, TIcmpWire::AreaSize>;
constexpr uint16_t Seq = 3489;

std::array<uint8_t, TIcmpWire::AreaSize> Request(uint16_t AId, uint16_t ASeq, uint32_t ATime,
                                                 std::string_view APayload) {
    std::array<uint8_t, TIcmpWire::AreaSize> Buffer{};
    Buffer.fill(0xCC); // the request must not depend on what the buffer held before
    TIcmpWire::BuildEchoRequest(Buffer, AId, ASeq, ATime, APayload);
    return Buffer;
}

// Standard checksum over big-endian words; zero for an intact message.
uint16_t NetworkOrderSum(const uint8_t* ABytes, std::size_t ALength) {
    uint32_t Sum = 0;
    for (std::size_t I = 0; I + 1 < ALength; I += 2) {
        Sum += static_cast<uint32_t>((ABytes[I] << 8) | ABytes[I + 1]);
    }
    while (Sum >> 16) {
        Sum = (Sum & 0xFFFF) + (Sum >> 16);
    }
    return static_cast<uint16_t>(~Sum);
}

TEST(BuildEchoRequest, KnownRequestBytes) {
    const auto B = Request(1, 3489, 0, "");
    const std::vector<uint8_t> Head(B.begin(), B.begin() + 8);
    EXPECT_EQ(Head, (std::vector<uint8_t>{0x08, 0x00, 0x01, 0x9E, 0x01, 0x00, 0xA1, 0x0D}));
    for (int I = 8; I < 20; ++I) {
        EXPECT_EQ(B[I], 0) << "offset " << I;
    }
    for (int I = 20; I < 52; ++I) {
        EXPECT_EQ(B[I], 0x45) << "offset " << I;
    }
    EXPECT_EQ(NetworkOrderSum(B.data(), 52), 0);
}

TEST(BuildEchoRequest, FieldsPayloadAndChecksum) {
    struct TRow {
        uint16_t Id, Seq;
        uint32_t Time;
        std::string Payload;
        std::string ExpectedPayload;
    };
    const std::string Long(40, 'x');
    const std::vector<TRow> Rows{
        {1, 3489, 0, "", std::string(32, 'E')},
        {0xBEEF, 7, 0x12345678, "abc", "abc" + std::string(29, 'E')},
        {0xFFFF, 65535, 0xFFFFFFFF, Long, std::string(32, 'x')},
        {0, 0, 1, std::string(32, 'z'), std::string(32, 'z')},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Payload);
        const auto B = Request(R.Id, R.Seq, R.Time, R.Payload);
        EXPECT_EQ(B[0], 8);
        EXPECT_EQ(B[1], 0);
        EXPECT_EQ(B[4] | (B[5] << 8), R.Id);
        EXPECT_EQ(B[6] | (B[7] << 8), R.Seq);
        EXPECT_EQ(uint32_t(B[8] | (B[9] << 8) | (B[10] << 16)) | (uint32_t(B[11]) << 24), R.Time);
        EXPECT_EQ(std::string(B.begin() + 20, B.begin() + 52), R.ExpectedPayload);
        EXPECT_EQ(B[52], 0xCC) << "only 52 bytes are written";
        EXPECT_EQ(NetworkOrderSum(B.data(), 52), 0);
    }
}

// A datagram as a raw socket would deliver it: IPv4 header of AHeaderWords words, then ICMP.
struct TDatagram {
    TArea Area{};
    int32_t N = 0;
};

constexpr uint16_t Id = 0x4321;
constexpr std::array<uint8_t, 4> Target{10, 0, 2, 9};
const TProbeMatch::TEcho Sent{{10, 0, 2, 9}, Id, Seq};

TDatagram Echo(uint8_t AType, uint16_t ASeq, int AHeaderWords = 5, uint16_t AId = Id,
               std::array<uint8_t, 4> AFrom = Target) {
    TDatagram D;
    const std::size_t H = static_cast<std::size_t>(AHeaderWords) * 4;
    D.Area[0] = static_cast<uint8_t>(0x40 | AHeaderWords);
    D.Area[8] = 57;
    std::copy(AFrom.begin(), AFrom.end(), D.Area.begin() + 12);
    D.Area[H] = AType;
    D.Area[H + 4] = static_cast<uint8_t>(AId & 0xFF);
    D.Area[H + 5] = static_cast<uint8_t>(AId >> 8);
    D.Area[H + 6] = static_cast<uint8_t>(ASeq & 0xFF);
    D.Area[H + 7] = static_cast<uint8_t>(ASeq >> 8);
    D.N = static_cast<int32_t>(H + 52);
    return D;
}

// An error message from a router quoting the IPv4 header (protocol AProtocol, to ATo) and the
// echo request AId, AQuotedSeq.
TDatagram Quoting(uint8_t AType, uint16_t AQuotedSeq, int AHeaderWords = 5, uint16_t AId = Id,
                  std::array<uint8_t, 4> ATo = Target, uint8_t AProtocol = 1) {
    TDatagram D = Echo(AType, 0, AHeaderWords, 0, {10, 0, 2, 1});
    const std::size_t Q = static_cast<std::size_t>(AHeaderWords) * 4 + 8;
    D.Area[Q] = 0x45;
    D.Area[Q + 9] = AProtocol;
    std::copy(ATo.begin(), ATo.end(), D.Area.begin() + static_cast<std::ptrdiff_t>(Q + 16));
    const TDatagram Request = Echo(8, AQuotedSeq, 5, AId);
    std::copy_n(Request.Area.begin() + 20, 52,
                D.Area.begin() + static_cast<std::ptrdiff_t>(Q + 20));
    D.N = static_cast<int32_t>(Q + 20 + 52);
    return D;
}

// Only this request's answers count: from the target with its identifier and sequence, or a
// report from anywhere that quotes this very request. Everything else is dropped, raising
// nothing, so that no stranger's datagram ends or aborts the wait.
TEST(DecodeReply, Table) {
    struct TRow {
        const char* Name;
        TDatagram D;
        bool Accepted;
        TReplyStatusKind Kind;
    };
    TDatagram Truncated = Echo(0, Seq);
    Truncated.N = 27;
    TDatagram JustEnough = Echo(0, Seq);
    JustEnough.N = 28; // sequence inside, payload gone
    TDatagram LongHeader = Echo(0, Seq, 15);
    TDatagram LongHeaderShort = Echo(0, Seq, 15);
    LongHeaderShort.N = 67;
    TDatagram Oversized = Echo(0, Seq);
    Oversized.N = 1500;
    TDatagram TinyHeader = Echo(0, Seq, 0); // a header length of 0: the type is read at 0
    TinyHeader.Area[0] = 0x40;
    TinyHeader.N = 8;
    TDatagram SeqPastEnd = Quoting(11, Seq);
    SeqPastEnd.N = 20 + 8 + 20 + 6; // quoted sequence cut off

    const std::vector<TRow> Rows{
        {"echo reply with our identifier and sequence", Echo(0, Seq), true, skEchoReply},
        {"echo request with our identifier and sequence", Echo(8, Seq), false, skError},
        {"echo reply of another sequence", Echo(0, Seq + 1), false, skError},
        {"echo reply of another identifier", Echo(0, Seq, 5, 0x3412), false, skError},
        {"echo reply from another address", Echo(0, Seq, 5, Id, {10, 0, 2, 77}), false, skError},
        {"echo request of another sequence", Echo(8, 1), false, skError},
        {"time exceeded quoting us", Quoting(11, Seq), true, skTtlExceeded},
        {"time exceeded quoting another", Quoting(11, Seq - 1), false, skError},
        {"unreachable quoting us", Quoting(3, Seq), true, skUnreachable},
        {"unreachable quoting another", Quoting(3, 77), false, skError},
        {"unreachable quoting another identifier", Quoting(3, Seq, 5, Id + 1), false, skError},
        {"unreachable quoting another destination", Quoting(3, Seq, 5, Id, {10, 0, 2, 8}), false,
         skError},
        {"unreachable quoting no ICMP", Quoting(3, Seq, 5, Id, Target, 17), false, skError},
        {"unreachable behind a 60-byte header", Quoting(3, Seq, 15), true, skUnreachable},
        {"redirect quoting us", Quoting(5, Seq), false, skError},
        {"timestamp quoting us", Quoting(13, Seq), false, skError},
        {"redirect about other traffic", Quoting(5, 4242), false, skError},
        {"parameter problem about other traffic", Quoting(12, 1), false, skError},
        {"shorter than header + 8", Truncated, false, skError},
        {"exactly header + 8", JustEnough, true, skEchoReply},
        {"60-byte IP header", LongHeader, true, skEchoReply},
        {"60-byte header, short", LongHeaderShort, false, skError},
        {"longer than the receive area", Oversized, false, skError},
        {"header length 0", TinyHeader, false, skError},
        {"quoted sequence past the end", SeqPastEnd, false, skError},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TReplyStatus S;
        S.RoundTripMs = 99;
        ASSERT_EQ(TIcmpWire::DecodeReply(R.D.Area, R.D.N, Sent, S), R.Accepted);
        EXPECT_EQ(S.Status, R.Kind);
        if (R.Accepted) {
            const std::string From =
                std::to_string(R.D.Area[12]) + "." + std::to_string(R.D.Area[13]) + "." +
                std::to_string(R.D.Area[14]) + "." + std::to_string(R.D.Area[15]);
            EXPECT_EQ(S.ReplyBytes, R.D.N);
            EXPECT_EQ(S.FromAddress, From);
            EXPECT_EQ(S.ReplyTtl, 57);
            EXPECT_EQ(S.Sequence, Seq);
            EXPECT_EQ(S.RoundTripMs, 99u) << "left for Ping";
        }
    }
}

TEST(DecodeReply, NothingReceivedIsTimedOut) {
    TReplyStatus S;
    S.FromAddress = "1.2.3.4";
    S.ReplyBytes = 5;
    TArea Area{};
    ASSERT_TRUE(TIcmpWire::DecodeReply(Area, 0, {{}, Id, 700}, S));
    EXPECT_EQ(S.Status, skTimedOut);
    EXPECT_EQ(S.ReplyBytes, 0);
    EXPECT_EQ(S.FromAddress, "0.0.0.0");
    EXPECT_EQ(S.IcmpType, 0);
    EXPECT_EQ(S.Sequence, 700);
    EXPECT_EQ(S.ReplyTtl, 0);
}

// The datagram socket's synthesized datagrams must decode exactly as raw ones.
TEST(PingSocketSynthesis, ReplyDecodesLikeRaw) {
    const auto Req = Request(Id, Seq, 5, "");
    std::vector<uint8_t> Icmp(Req.begin(), Req.begin() + 52);
    Icmp[0] = 0;
    TArea Area{};
    const int32_t N = TNetPingSocket::SynthesizeReply(Area, Target, 63, Icmp, Icmp.size());
    EXPECT_EQ(N, 72);
    TReplyStatus S;
    ASSERT_TRUE(TIcmpWire::DecodeReply(Area, N, Sent, S));
    EXPECT_EQ(S, (TReplyStatus{72, "10.0.2.9", 0, Seq, 0, 63, skEchoReply}));
}

TEST(PingSocketSynthesis, ErrorsQuoteTheRequest) {
    const auto Req = Request(Id, Seq, 5, "");
    const std::vector<uint8_t> Quoted(Req.begin(), Req.begin() + 52);
    struct TRow {
        uint8_t Type;
        TReplyStatusKind Kind;
    };
    for (const TRow R : {TRow{11, skTtlExceeded}, TRow{3, skUnreachable}}) {
        TArea Area{};
        const int32_t N =
            TNetPingSocket::SynthesizeError(Area, {10, 9, 9, 2}, Target, 64, R.Type, 1, Quoted);
        EXPECT_EQ(N, 20 + 8 + 20 + 52);
        TReplyStatus S;
        ASSERT_TRUE(TIcmpWire::DecodeReply(Area, N, Sent, S));
        EXPECT_EQ(S, (TReplyStatus{N, "10.9.9.2", R.Type, Seq, 0, 64, R.Kind}));
        EXPECT_FALSE(TIcmpWire::DecodeReply(Area, N, {Sent.Destination, Id, Seq + 1}, S));
        EXPECT_FALSE(TIcmpWire::DecodeReply(Area, N, {{10, 0, 2, 8}, Id, Seq}, S))
            << "the report must name where the request went";
    }
}

TEST(PingSocketSynthesis, OversizedReplyIsCutButReportsItsLength) {
    std::vector<uint8_t> Icmp(1400, 0x5A);
    Icmp[0] = 0;
    std::array<uint8_t, 64> Small{};
    EXPECT_EQ(TNetPingSocket::SynthesizeReply(Small, {1, 1, 1, 1}, 1, Icmp, Icmp.size()), 1420);
    EXPECT_EQ(Small[20], 0);
    EXPECT_EQ(Small[63], 0x5A);
}

} // namespace
