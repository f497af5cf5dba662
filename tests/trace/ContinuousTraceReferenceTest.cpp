// SPDX-License-Identifier: GPL-3.0-or-later
// A bounded continuous trace through three routers against what else can be known of the same
// path: the second router counts, per hop, the probes its nft rule drops, which must be
// exactly the probes the trace lost there; iputils ping of each hop's address, in the same
// namespace and for as many probes at the same interval, must find the same mean round trip
// within the margin the two series' spreads allow. The target answers after 20 ms (the test
// peer), one request at a time: both space their probes well beyond that, or each would
// queue behind its own.
#include "RequireRoot.h"
#include "TContinuousTrace.h"
#include "TIcmpPeer.h"
#include "TNetContext.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

using namespace zirko::test;

namespace {

constexpr uint32_t Rounds = 200;
constexpr int DropPercent = 30;
constexpr double PeerDelayMs = 20;
constexpr int IntervalMs = 50;
// Kernel stamps here, the sending process's clock in ping: ping's sends read up to
// 0.15 ms later on a quiet machine, and a busy one delays the process further.
constexpr double ClockAllowanceMs = 0.5;

struct TPing {
    int Received = 0;
    double Mean = 0;
    double StdDev = 0;
};

// "100 packets transmitted, 100 received, ... rtt min/avg/max/mdev = a/b/c/d ms"
TPing PingSummary(const std::string& AOutput) {
    TPing P;
    std::smatch M;
    if (std::regex_search(AOutput, M, std::regex(R"((\d+) received)"))) {
        P.Received = std::stoi(M[1]);
    }
    if (std::regex_search(AOutput, M, std::regex(R"(= [\d.]+/([\d.]+)/[\d.]+/([\d.]+) ms)"))) {
        P.Mean = std::stod(M[1]);
        P.StdDev = std::stod(M[2]);
    }
    return P;
}

// The packet counts of the rules' counters, in the rules' order.
std::vector<int> Counters(const std::string& AListing) {
    std::vector<int> Out;
    const std::regex Counter(R"(counter packets (\d+))");
    for (auto It = std::sregex_iterator(AListing.begin(), AListing.end(), Counter);
         It != std::sregex_iterator(); ++It) {
        Out.push_back(std::stoi((*It)[1]));
    }
    return Out;
}

TEST(ContinuousTraceReference, LossIsWhatTheRouterDroppedAndMeansAreIputilsPings) {
    ZIRKO_REQUIRE_ROOT();
    TTestNetwork Net({.ThirdRouter = true});
    // At the forward hook the router has counted its own hop already: the probes of hop 3
    // leave it with TTL 1, those of hop 4 with 2.
    const TNetNamespace& Router = *Net.Router2();
    const std::string Share = " icmp type echo-request numgen random mod 100 < " +
                              std::to_string(DropPercent) + " counter drop";
    ZIRKO_REQUIRE(Router.Nft("add table inet zk") &&
                      Router.Nft("add chain inet zk forward { type filter hook forward "
                                 "priority 0; }") &&
                      Router.Nft("add rule inet zk forward ip ttl 1" + Share) &&
                      Router.Nft("add rule inet zk forward ip ttl 2" + Share),
                  "nft with numgen random and counters (package nftables, kernel nf_tables)");
    TIcmpPeer Peer(Net.Target(), "wait:" + std::to_string(int(PeerDelayMs)) + ",reply", 120000);
    const std::vector<std::string> Hops = {Net.RouterAddress(), Net.Router2Address(),
                                           Net.Router3Address(), Net.TargetAddress()};

    TNetNamespaceScope InClient(*Net.Client());
    TNetContext Context;
    TContinuousTrace Trace(Context);
    Trace.SetTiming(int64_t{IntervalMs} * 1'000'000, 1000);
    Trace.Start(QString::fromStdString(Net.TargetAddress()), 8, Rounds);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Trace.Running(); }, 60000));
    const std::vector<int> Dropped =
        Counters(Router.RunChecked({"nft", "list", "table", "inet", "zk"}));
    ASSERT_EQ(Dropped.size(), 2u);
    const auto Rows = Trace.Hops();
    ASSERT_EQ(Rows.size(), 4u);
    // Seconds with a decimal point whatever the locale ping reads it in: "0.050".
    const std::string PingInterval = std::to_string(IntervalMs / 1000) + "." +
                                     std::to_string(1000 + IntervalMs % 1000).substr(1);

    std::printf(
        "| hop | Zirko sent | Zirko lost (loss %%) | router's nft drops | Zirko mean ms (sd) "
        "| iputils ping mean ms (sd), %u pings |\n|---|---|---|---|---|---|\n",
        Rounds);
    for (std::size_t I = 0; I < Rows.size(); ++I) {
        SCOPED_TRACE("hop " + std::to_string(I + 1));
        const TTraceHop& Hop = Rows[I];
        const int Lost = Hop.Sent() - Hop.Received();
        const int Expected = I < 2 ? 0 : Dropped[I - 2];
        EXPECT_EQ(Hop.Sent(), static_cast<int>(Rounds));
        EXPECT_EQ(Lost, Expected);
        const std::string Out = Net.Client()
                                    ->Run({"ping", "-n", "-q", "-c", std::to_string(Rounds), "-i",
                                           PingInterval, "-W", "2", Hops[I]})
                                    .Output;
        const TPing Ping = PingSummary(Out);
        ASSERT_GT(Ping.Received, 0) << Out;
        // Four standard errors of the difference of two means, and ClockAllowanceMs for
        // where each reads its clocks.
        const double Margin = 4 * std::sqrt(std::pow(Hop.Rtt().StdDev(), 2) / Hop.Received() +
                                            std::pow(Ping.StdDev, 2) / Ping.Received) +
                              ClockAllowanceMs;
        EXPECT_NEAR(Hop.Rtt().Mean(), Ping.Mean, Margin);
        if (I == 3) {
            EXPECT_NEAR(Hop.Rtt().Mean(), PeerDelayMs, 2.0);
        }
        std::printf("| %zu | %d | %d (%.1f %%) | %s | %.3f (%.3f) | %.3f (%.3f); margin %.3f |\n",
                    I + 1, Hop.Sent(), Lost, Hop.LossPercent(),
                    I < 2 ? "no rule" : std::to_string(Expected).c_str(), Hop.Rtt().Mean(),
                    Hop.Rtt().StdDev(), Ping.Mean, Ping.StdDev, Margin);
    }
}

} // namespace
