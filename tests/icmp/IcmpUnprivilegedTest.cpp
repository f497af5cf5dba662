// SPDX-License-Identifier: GPL-3.0-or-later
// The unprivileged path: the same exchanges through the ICMP datagram socket, run as an
// ordinary user, must give the records the raw socket gives.
#include "RequireRoot.h"
#include "TIcmpPeer.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace zirko::test;

namespace {

struct TProbeLine {
    std::string Record; // everything but the round trip and the socket kind
    long RoundTripMs = -1;
    std::string Kind;
};

// "REPLY status bytes from type seq ttl rtt kind" or "ERROR code text..."
std::vector<TProbeLine> Parse(const std::string& AOutput) {
    std::vector<TProbeLine> Lines;
    std::istringstream In(AOutput);
    std::string Line;
    while (std::getline(In, Line)) {
        if (Line.rfind("REPLY ", 0) == 0) {
            std::istringstream F(Line);
            std::string Word, Status, Bytes, From, Type, Seq, Ttl;
            TProbeLine P;
            F >> Word >> Status >> Bytes >> From >> Type >> Seq >> Ttl >> P.RoundTripMs >> P.Kind;
            P.Record = Status + ' ' + Bytes + ' ' + From + ' ' + Type + ' ' + Seq + ' ' + Ttl;
            Lines.push_back(P);
        } else if (Line.rfind("ERROR ", 0) == 0) {
            Lines.push_back({Line, -1, ""});
        }
    }
    return Lines;
}

class IcmpUnprivileged : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net = std::make_unique<TTestNetwork>(TTestNetworkOptions{false, false, true});
        Net->Client()->SetPingGroupRange(65534, 65534);
    }

    std::string Probe(bool AAsNobody, const std::string& AHost, int ATimeout, int ATtl) {
        std::vector<std::string> Argv;
        if (AAsNobody) {
            Argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        }
        Argv.insert(Argv.end(), {ZIRKO_ICMP_PROBE_PATH, AHost, std::to_string(ATimeout),
                                 std::to_string(ATtl), "2", AAsNobody ? "auto" : "raw"});
        return Net->Client()->Run(Argv).Output;
    }

    std::unique_ptr<TTestNetwork> Net;
};

TEST_F(IcmpUnprivileged, SameRecordsAsTheRawSocket) {
    struct TRow {
        const char* Name;
        std::string Actions;
        bool Unreachable;
        int Ttl;
        int Timeout;
        const char* FirstStatus; // TReplyStatusKind of the first record, or "ERROR"
    };
    const std::vector<TRow> Rows{
        {"answer", "reply", false, 64, 1000, "0"},
        {"answer late", "wait:60,reply", false, 64, 1000, "0"},
        {"silent", "", false, 64, 300, "2"},
        {"foreign stream", "stream:50:8", false, 64, 300, "2"},
        {"wrong sequence first", "reply-seq:3,wait:20,reply", false, 64, 1000, "0"},
        {"oversized first", "oversized:1400,wait:20,reply", false, 64, 1000, "0"},
        {"time exceeded", "reply", false, 1, 1000, "4"},
        {"unreachable", "reply", true, 64, 1000, "3"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        TIcmpPeer Peer(Net->Target(), R.Actions);
        const std::string Host = R.Unreachable ? Net->UnreachableAddress() : Net->TargetAddress();
        const std::string RawOut = Probe(false, Host, R.Timeout, R.Ttl);
        const std::string DgramOut = Probe(true, Host, R.Timeout, R.Ttl);
        const auto Raw = Parse(RawOut);
        const auto Dgram = Parse(DgramOut);
        ASSERT_EQ(Raw.size(), 2u) << RawOut;
        ASSERT_EQ(Dgram.size(), 2u) << DgramOut;
        EXPECT_EQ(Raw[0].Record.substr(0, Raw[0].Record.find(' ')), R.FirstStatus) << RawOut;
        for (std::size_t I = 0; I < 2; ++I) {
            EXPECT_EQ(Raw[I].Kind, "raw");
            EXPECT_EQ(Dgram[I].Kind, "datagram") << "fell back to the datagram socket";
            EXPECT_EQ(Dgram[I].Record, Raw[I].Record) << "ping " << I;
            EXPECT_NEAR(Dgram[I].RoundTripMs, Raw[I].RoundTripMs, 30) << "ping " << I;
        }
    }
}

TEST_F(IcmpUnprivileged, SameErrorsAsTheRawSocket) {
    // Reports of other kinds that quote our request reach the datagram socket through the
    // error queue; neither socket lets them end or abort the wait.
    const auto TimedOut = [](const std::string& AOut, const char* AKind) {
        return AOut.rfind("REPLY 2 0 0.0.0.0 0 3489 0 ", 0) == 0 &&
               AOut.find("REPLY 2 0 0.0.0.0 0 3490 0 ") != std::string::npos &&
               AOut.find(AKind) != std::string::npos && AOut.find("ERROR") == std::string::npos;
    };
    for (const char* Actions : {"foreign-quote:5", "foreign-quote:12"}) {
        SCOPED_TRACE(Actions);
        TIcmpPeer Peer(Net->Target(), Actions);
        const std::string Raw = Probe(false, Net->TargetAddress(), 500, 64);
        EXPECT_TRUE(TimedOut(Raw, "raw")) << Raw;
        const std::string Datagram = Probe(true, Net->TargetAddress(), 500, 64);
        EXPECT_TRUE(TimedOut(Datagram, "datagram")) << Datagram;
    }
}

TEST_F(IcmpUnprivileged, RefusedBothWaysIsAccessDenied) {
    Net->Client()->SetPingGroupRange(1, 0);
    const std::string Out = Probe(true, Net->TargetAddress(), 300, 64);
    EXPECT_EQ(Out, "ERROR 10013 Socket Error # 10013\r\nAccess denied.\n");
}

} // namespace
