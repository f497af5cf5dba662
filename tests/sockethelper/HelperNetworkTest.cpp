// SPDX-License-Identifier: GPL-3.0-or-later
// An ordinary user whose only raw-socket right is the helper's: bursts and traceroutes run over
// raw sockets handed out by zirko-socket, with the records of today's raw path; without a
// capable helper the datagram fallback and "Access denied." stay as they were.
#include "RequireRoot.h"
#include "THelperCopy.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace zirko::test;

namespace {

struct TRecord {
    std::string Status, From, Kind;
};

// "REPLY status bytes from type seq ttl rtt kind" lines of the probe.
std::vector<TRecord> Records(const std::string& AOutput) {
    std::vector<TRecord> Lines;
    std::istringstream In(AOutput);
    std::string Line;
    while (std::getline(In, Line)) {
        std::istringstream F(Line);
        std::string Word, Bytes, Type, Seq, Ttl, Rtt;
        TRecord R;
        F >> Word >> R.Status >> Bytes >> R.From >> Type >> Seq >> Ttl >> Rtt >> R.Kind;
        if (Word == "REPLY") {
            Lines.push_back(R);
        }
    }
    return Lines;
}

class HelperNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net = std::make_unique<TTestNetwork>(TTestNetworkOptions{false, false, false});
    }

    // The probe as uid 65534 with the helper copy, COUNT pings with the TTL given.
    std::string Probe(const THelperCopy& AHelper, int ATtl, int ACount) {
        return Net->Client()
            ->Run({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                   ZIRKO_ICMP_PROBE_PATH, Net->TargetAddress(), "1000", std::to_string(ATtl),
                   std::to_string(ACount), "auto", AHelper.Path})
            .Output;
    }

    std::unique_ptr<TTestNetwork> Net;
};

TEST_F(HelperNetwork, BurstsAndTracesOverTheHelpersRawSockets) {
    struct TRow {
        const char* Name;
        bool Capable;
        bool DatagramAdmitted;
        const char* Kind; // of every record, or "" when the ping is refused
    };
    const std::vector<TRow> Rows{
        {"capable helper, datagram sockets admitted too", true, true, "raw"},
        {"capable helper", true, false, "raw"},
        {"helper without the right", false, true, "datagram"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        Net->Client()->SetPingGroupRange(R.DatagramAdmitted ? 65534 : 1,
                                         R.DatagramAdmitted ? 65534 : 0);
        THelperCopy Helper(ZIRKO_SOCKET_PATH, R.Capable);
        ASSERT_FALSE(Helper.Path.empty());

        const std::string Burst = Probe(Helper, 64, 5);
        const auto Replies = Records(Burst);
        ASSERT_EQ(Replies.size(), 5u) << Burst;
        for (const auto& Reply : Replies) {
            EXPECT_EQ(Reply.Status, "0") << Burst;
            EXPECT_EQ(Reply.From, Net->TargetAddress());
            EXPECT_EQ(Reply.Kind, R.Kind) << Burst;
        }
        // A traceroute: the router answers the first hop, the target the last.
        for (int Ttl = 1; Ttl <= Net->HopsToTarget(); ++Ttl) {
            SCOPED_TRACE("hop " + std::to_string(Ttl));
            const std::string Out = Probe(Helper, Ttl, 1);
            const auto Hop = Records(Out);
            ASSERT_EQ(Hop.size(), 1u) << Out;
            const bool Last = Ttl == Net->HopsToTarget();
            EXPECT_EQ(Hop[0].Status, Last ? "0" : "4") << Out;
            EXPECT_EQ(Hop[0].From, Last ? Net->TargetAddress() : Net->RouterAddress());
            EXPECT_EQ(Hop[0].Kind, R.Kind);
        }
    }
}

TEST_F(HelperNetwork, HelperWithoutTheRightAndNoDatagramSocketsIsAccessDenied) {
    Net->Client()->SetPingGroupRange(1, 0);
    THelperCopy Helper(ZIRKO_SOCKET_PATH, false);
    EXPECT_EQ(Probe(Helper, 64, 1), "ERROR 10013 Socket Error # 10013\r\nAccess denied.\n");
}

} // namespace
