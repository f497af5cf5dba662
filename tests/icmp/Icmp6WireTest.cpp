// SPDX-License-Identifier: GPL-3.0-or-later
// The IPv6 texts, the ICMPv6 decoder and the receivers' reshaping as pure functions, and the
// echo client's choice of family over a scripted stack.
#include "ENetExceptions.h"
#include "TFakeStack.h"
#include "TIcmp6Wire.h"
#include "TNetIcmp6Socket.h"
#include "TNetIcmpClient.h"
#include "TNetStackLinux.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>

namespace {

using TArea = std::array<uint8_t, TIcmpWire::AreaSize>;
using TAddress = TNetIcmp6Socket::TAddress;

TAddress Bytes6(const char* AText) {
    TAddress A{};
    EXPECT_EQ(inet_pton(AF_INET6, AText, A.data()), 1) << AText;
    return A;
}

constexpr uint16_t Id = 0x4321;

// Our 52-byte ICMPv6 request (or a reply to it) with AId and ASeq stored as the client stores
// them.
std::vector<uint8_t> Echo(uint8_t AType, uint16_t ASeq, uint16_t AId = Id) {
    std::vector<uint8_t> M(52, 0x45);
    M[0] = AType;
    M[1] = 0;
    M[4] = static_cast<uint8_t>(AId & 0xFF);
    M[5] = static_cast<uint8_t>(AId >> 8);
    M[6] = static_cast<uint8_t>(ASeq & 0xFF);
    M[7] = static_cast<uint8_t>(ASeq >> 8);
    return M;
}

TEST(Address6Text, CanonicalForm) {
    const std::vector<std::pair<const char*, const char*>> Rows{
        {"::", "::"},
        {"::1", "::1"},
        {"FD00:0001:0000:0000:0000:0000:0000:0002", "fd00:1::2"},
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},    // the first of equal runs
        {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},          // the longest run
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"}, // one zero group stays
        {"fe80::", "fe80::"},
        {"::ffff:10.1.2.3", "::ffff:10.1.2.3"},
        {"::10.1.2.3", "::a01:203"}, // only mapped addresses keep a dotted tail
    };
    for (const auto& [In, Out] : Rows) {
        EXPECT_EQ(TNetStack::Address6ToText(Bytes6(In)), Out) << In;
    }
}

TEST(Address6Text, LiteralsInTheHostField) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> Rows{
        {"fd00::1", "fd00::1"},        {"[FD00:0::1]", "fd00::1"}, {"fe80::1%eth0", "fe80::1%eth0"},
        {"[fe80::1%2]", "fe80::1%2"},  {"fe80::1%", std::nullopt}, {"[::1", std::nullopt},
        {"::1]", std::nullopt},        {"1:2:3", std::nullopt},    {"fd00::1::2", std::nullopt},
        {"192.168.1.1", std::nullopt}, {"gateway", std::nullopt},  {"", std::nullopt},
    };
    for (const auto& [In, Out] : Rows) {
        EXPECT_EQ(TNetStack::IPv6Literal(In), Out) << '"' << In << '"';
    }
}

// An area as the receivers leave it: rebuilt IPv6 header from ASource, then AIcmp.
int32_t Area(TArea& AArea, const std::vector<uint8_t>& AIcmp, const char* ASource = "fd00::9") {
    return TNetIcmp6Socket::SynthesizeReply(AArea, Bytes6(ASource), 61, AIcmp, AIcmp.size());
}

// An error message of AType from fd00::1 quoting AQuoted behind a header with ANextHeader,
// sent to ATo.
int32_t ErrorArea(TArea& AArea, uint8_t AType, const std::vector<uint8_t>& AQuoted,
                  uint8_t ANextHeader = 58, const char* ATo = "fd00::9") {
    const int32_t N = TNetIcmp6Socket::SynthesizeError(AArea, Bytes6("fd00::1"), Bytes6(ATo), 64,
                                                       AType, 0, AQuoted);
    AArea[48 + 6] = ANextHeader;
    return N;
}

TProbeMatch::TEcho Sent(uint16_t ASeq) {
    TProbeMatch::TEcho Echo{{}, Id, ASeq};
    const TAddress To = Bytes6("fd00::9");
    std::copy(To.begin(), To.end(), Echo.Destination.begin());
    return Echo;
}

TEST(Decode6, Table) {
    constexpr uint16_t Seq = 3489;
    struct TRow {
        const char* Name;
        std::function<int32_t(TArea&)> Make;
        std::optional<TReplyStatusKind> Kind; // nothing: dropped
        const char* From;
        uint8_t HopLimit;
    };
    const std::vector<TRow> Rows{
        {"echo reply", [](TArea& A) { return Area(A, Echo(129, Seq)); }, skEchoReply, "fd00::9",
         61},
        {"reply to another request", [](TArea& A) { return Area(A, Echo(129, Seq + 1)); },
         std::nullopt, "", 0},
        {"an echo request, even ours", [](TArea& A) { return Area(A, Echo(128, Seq)); },
         std::nullopt, "", 0},
        {"reply of another identifier", [](TArea& A) { return Area(A, Echo(129, Seq, Id + 1)); },
         std::nullopt, "", 0},
        {"reply from another address", [](TArea& A) { return Area(A, Echo(129, Seq), "fd00::77"); },
         std::nullopt, "", 0},
        {"unreachable quoting another identifier",
         [](TArea& A) { return ErrorArea(A, 1, Echo(128, Seq, Id ^ 0x0101)); }, std::nullopt, "",
         0},
        {"unreachable quoting another destination",
         [](TArea& A) { return ErrorArea(A, 1, Echo(128, Seq), 58, "fd00::8"); }, std::nullopt, "",
         0},
        {"packet too big quoting ours", [](TArea& A) { return ErrorArea(A, 2, Echo(128, Seq)); },
         std::nullopt, "", 0},
        {"parameter problem quoting ours", [](TArea& A) { return ErrorArea(A, 4, Echo(128, Seq)); },
         std::nullopt, "", 0},
        {"error type 127 quoting ours", [](TArea& A) { return ErrorArea(A, 127, Echo(128, Seq)); },
         std::nullopt, "", 0},
        {"shorter than a header",
         [](TArea& A) {
             return Area(A, {129, 0, 0, 0, 0, 0, 0});
         },
         std::nullopt, "", 0},
        {"unreachable quoting ours", [](TArea& A) { return ErrorArea(A, 1, Echo(128, Seq)); },
         skUnreachable, "fd00::1", 64},
        {"time exceeded quoting ours", [](TArea& A) { return ErrorArea(A, 3, Echo(128, Seq)); },
         skTtlExceeded, "fd00::1", 64},
        {"time exceeded quoting another",
         [](TArea& A) { return ErrorArea(A, 3, Echo(128, Seq - 1)); }, std::nullopt, "", 0},
        {"time exceeded quoting a reply", [](TArea& A) { return ErrorArea(A, 3, Echo(129, Seq)); },
         std::nullopt, "", 0},
        {"time exceeded quoting UDP", [](TArea& A) { return ErrorArea(A, 3, Echo(128, Seq), 17); },
         std::nullopt, "", 0},
        {"packet too big quoting another",
         [](TArea& A) { return ErrorArea(A, 2, Echo(128, Seq + 7)); }, std::nullopt, "", 0},
        // A neighbour solicitation whose bytes happen to sit like a quote of ours.
        {"informational look-alike",
         [](TArea& A) {
             const int32_t N = ErrorArea(A, 3, Echo(128, Seq));
             A[40] = 135;
             return N;
         },
         std::nullopt, "", 0},
        {"oversized reply",
         [](TArea& A) {
             auto M = Echo(129, Seq);
             M.resize(TIcmpWire::AreaSize, 0);
             return Area(A, M);
         },
         std::nullopt, "", 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TArea A{};
        const int32_t N = R.Make(A);
        TReplyStatus S;
        const bool Accepted = TIcmp6Wire::DecodeReply(A, N, Sent(Seq), S);
        ASSERT_EQ(Accepted, R.Kind.has_value());
        if (!Accepted) {
            EXPECT_EQ(S.Status, skError);
            continue;
        }
        EXPECT_EQ(S, (TReplyStatus{N, R.From, A[40], Seq, 0, R.HopLimit, *R.Kind}));
    }
    EXPECT_EQ(Area(*std::make_unique<TArea>(), Echo(129, Seq)), 92) << "40 + 52 bytes";
}

TEST(Decode6, NothingReceivedIsTimedOut) {
    constexpr uint16_t Seq = 77;
    TArea A{};
    TReplyStatus S;
    EXPECT_TRUE(TIcmp6Wire::DecodeReply(A, 0, Sent(Seq), S));
    EXPECT_EQ(S, (TReplyStatus{0, "::", 0, Seq, 0, 0, skTimedOut}));
}

TEST(Decode6, RequestKeepsTheLayout) {
    TArea Request{};
    TIcmpWire::BuildEchoRequest(Request, 0x1234, 3489, 0xAABBCCDD, "payload");
    TArea Six = Request;
    TIcmp6Wire::ToEchoRequest(Six);
    EXPECT_EQ(Six[0], 128);
    EXPECT_EQ(Six[2] | Six[3], 0) << "the kernel fills in the checksum";
    for (std::size_t I = 4; I < TIcmpWire::AreaSize; ++I) {
        ASSERT_EQ(Six[I], Request[I]) << "byte " << I;
    }
}

class Icmp6Client : public ::testing::Test {
protected:
    void SetUp() override {
        Client.emplace(Fake.Net);
        Client->SetReceiveTimeout(0);
    }
    TFakeStack::TScript& S() { return Fake.Script; }

    TFakeNet Fake;
    std::optional<TNetIcmpClient> Client;
};

TEST_F(Icmp6Client, FamilyFollowsTheHost) {
    S().Hosts = {{"six", "fd00::5"}, {"four", "10.0.0.4"}};
    struct TRow {
        const char* Host;
        std::vector<int> Opened; // families, in order, for SetTTL and Ping
        const char* SentTo;
        uint8_t Type;
    };
    const std::vector<TRow> Rows{
        {"[FD00::0:1]", {AF_INET6}, "fd00::1", 128},
        {"10.0.0.1", {AF_INET}, "10.0.0.1", 8},
        {"four", {AF_INET}, "10.0.0.4", 8},
        // The name is known to be IPv6-only after the lookup: the socket is opened again.
        {"six", {AF_INET, AF_INET6}, "fd00::5", 128},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Host);
        S().Families.clear();
        S().TtlsSet.clear();
        S().TtlLevels.clear();
        S().Sent.clear();
        S().SentTo.clear();
        Client->SetHost(R.Host);
        Client->SetTTL(5);
        Client->Ping();
        EXPECT_EQ(S().Families, R.Opened);
        EXPECT_EQ(S().TtlsSet, std::vector<int32_t>(S().TtlsSet.size(), 5));
        ASSERT_FALSE(S().TtlLevels.empty());
        EXPECT_EQ(S().TtlLevels.front(), R.Opened.front() == AF_INET6 ? IPPROTO_IPV6 : IPPROTO_IP);
        EXPECT_EQ(S().TtlLevels.back(), R.Type == 128 ? IPPROTO_IPV6 : IPPROTO_IP)
            << "the hop limit on IPv6 sockets, the TTL on IPv4 ones";
        ASSERT_EQ(S().Sent.size(), 1u);
        EXPECT_EQ(S().Sent[0].size(), 52u);
        EXPECT_EQ(S().Sent[0][0], R.Type);
        EXPECT_EQ(S().SentTo, std::vector<std::string>{R.SentTo});
        const TReplyStatus& Status = Client->ReplyStatus();
        EXPECT_EQ(Status.Status, skTimedOut);
        EXPECT_EQ(Status.FromAddress, R.Type == 128 ? "::" : "0.0.0.0");
    }
}

TEST_F(Icmp6Client, AnUnknownZoneIsAnUnknownHost) {
    Client->SetHost("fe80::1%no-such-interface-zk");
    try {
        Client->Ping();
        ADD_FAILURE() << "no exception";
    } catch (const ENetSocketError& E) {
        EXPECT_EQ(E.ErrorCode(), 11001);
    }
    EXPECT_TRUE(S().Sent.empty());
}

} // namespace
