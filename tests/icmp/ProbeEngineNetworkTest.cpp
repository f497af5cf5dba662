// SPDX-License-Identifier: GPL-3.0-or-later
// The probe engine over real sockets: rounds of probes through three routers in namespaces of
// the test's own, over each transport and both families; routers that drop a share of the
// probes, or of their own answers, give the per-hop loss and the verdict that says so.
#include "RequireRoot.h"
#include "ProbeTransports.h"
#include "TNetNamespaceScope.h"
#include "TNetProbeEngine.h"
#include "TNetSocketHelper.h"
#include "TNetTraceRounds.h"
#include "TTestNetwork.h"
#include "TTraceStatistics.h"
#include "TTraceVerdict.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <map>
#include <poll.h>

using namespace zirko::test;

namespace {

using namespace std::chrono_literals;

const char* Name(TNetProbeTransport AKind) {
    switch (AKind) {
    case TNetProbeTransport::Helper:
        return "helper";
    case TNetProbeTransport::Raw:
        return "raw";
    case TNetProbeTransport::Datagram:
        return "datagram";
    case TNetProbeTransport::None:
        break;
    }
    return "none";
}

// The rounds run to their end as an event loop runs them, for at most ALimit.
std::vector<TNetProbeResult> RunToEnd(const TNetProbeEngine& AEngine, TNetTraceRounds& ARounds,
                                      std::chrono::seconds ALimit) {
    std::vector<TNetProbeResult> All;
    const auto Deadline = std::chrono::steady_clock::now() + ALimit;
    while (!ARounds.Done() && std::chrono::steady_clock::now() < Deadline) {
        const auto Due = ARounds.NextDueNs();
        const int64_t Left = Due ? *Due - TClock::System().SteadyNs() : 1'000'000'000;
        pollfd Fd{AEngine.Descriptor(), POLLIN, 0};
        ::poll(&Fd, 1, static_cast<int>(std::clamp<int64_t>(Left / TClock::NsPerMs + 1, 0, 1000)));
        const auto Got = ARounds.Process();
        All.insert(All.end(), Got.begin(), Got.end());
    }
    return All;
}

TTraceStatistics Table(const std::vector<TNetProbeResult>& AResults) {
    TTraceStatistics Table;
    for (const TNetProbeResult& R : AResults) {
        Table.Add(R.Ttl, R.Kind, QString::fromStdString(R.From), R.RoundTripNs / 1e6);
    }
    return Table;
}

std::vector<THopFigures> Figures(const std::vector<TTraceHop>& ARows) {
    std::vector<THopFigures> Figures;
    for (const TTraceHop& H : ARows) {
        Figures.push_back({H.Hop(), H.Sent(), H.Received(), H.Destination(), H.Unreachable()});
    }
    return Figures;
}

class ProbeEngineNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net =
            std::make_unique<TTestNetwork>(TTestNetworkOptions{.IPv6 = true, .ThirdRouter = true});
        Net->Client()->SetPingGroupRange(0, 0); // root may open datagram sockets too
    }

    // A bounded trace from the client namespace over the transport AKind.
    std::vector<TNetProbeResult> Trace(TNetProbeTransport AKind, const std::string& AAddress,
                                       const TNetTraceRounds::TSettings& ASettings) {
        TNetNamespaceScope InClient(*Net->Client());
        TNetSocketHelper Helper;
        TNetContext Context;
        EXPECT_TRUE(zirko::test::UseTransport(Context, Helper, AKind, ZIRKO_SOCKET_PATH));
        TNetProbeEngine Engine(Context);
        TNetTraceRounds Rounds(Engine);
        Rounds.Start(AAddress, ASettings);
        EXPECT_EQ(Engine.Transport(), AKind);
        auto Results = RunToEnd(Engine, Rounds, 60s);
        EXPECT_TRUE(Rounds.Done()) << "rounds left after the time limit";
        LastHop = Rounds.LastHop();
        return Results;
    }

    // What answers at each hop: the three routers, then the target.
    std::vector<std::string> Path(bool AIPv6) const {
        if (AIPv6) {
            return {Net->RouterAddress6(), Net->Router2Address6(), Net->Router3Address6(),
                    Net->TargetAddress6()};
        }
        return {Net->RouterAddress(), Net->Router2Address(), Net->Router3Address(),
                Net->TargetAddress()};
    }

    std::unique_ptr<TTestNetwork> Net;
    int LastHop = 0;
};

TEST_F(ProbeEngineNetwork, EveryHopAnswersEveryRoundOverEachTransport) {
    constexpr uint32_t Rounds = 15;
    constexpr int MaxHops = 8;
    for (const bool IPv6 : {false, true}) {
        for (const auto Kind :
             {TNetProbeTransport::Helper, TNetProbeTransport::Raw, TNetProbeTransport::Datagram}) {
            SCOPED_TRACE(std::string(IPv6 ? "IPv6 " : "IPv4 ") + Name(Kind));
            const auto Hops = Path(IPv6);
            const auto Results = Trace(Kind, Hops.back(), {MaxHops, 20'000'000, 1000, Rounds});
            EXPECT_EQ(LastHop, 4);
            std::map<std::pair<uint32_t, int>, int> Seen;
            for (const TNetProbeResult& R : Results) {
                SCOPED_TRACE("round " + std::to_string(R.Round) + " hop " + std::to_string(R.Ttl));
                ++Seen[{R.Round, R.Ttl}];
                const bool Destination = R.Ttl >= 4;
                EXPECT_EQ(R.Kind, Destination ? skEchoReply : skTtlExceeded);
                EXPECT_EQ(R.From, Hops[std::min(R.Ttl, 4) - 1]);
                EXPECT_GT(R.RoundTripNs, 0);
                EXPECT_LT(R.RoundTripNs, 200'000'000);
                EXPECT_TRUE(R.Ttl <= 4 || R.Round <= 1) << "probed past the destination";
            }
            for (uint32_t Round = 0; Round < Rounds; ++Round) {
                for (int Ttl = 1; Ttl <= 4; ++Ttl) {
                    EXPECT_EQ((Seen[{Round, Ttl}]), 1) << "round " << Round << " hop " << Ttl;
                }
            }
        }
    }
}

// The second router drops 30 % of one kind of ICMP at random: the hops where that shows must
// lose that share, within 3.5 standard deviations of the binomial for the round count, the
// others nothing at all, and the verdict must read the table as the case says.
struct TLossCase {
    const char* Name;
    const char* Hook;  // nft hook on the second router
    const char* Type4; // the ICMP type it drops, per family
    const char* Type6;
    std::vector<int> LossyHops;
    TTraceVerdict::TKind Kind;
    int Hop;
};

class ProbeEngineLoss : public ProbeEngineNetwork,
                        public ::testing::WithParamInterface<TLossCase> {};

TEST_P(ProbeEngineLoss, EachHopLosesTheShareItsRouterDrops) {
    constexpr int DropPercent = 30;
    constexpr uint32_t Rounds = 300;
    const TLossCase& C = GetParam();
    ZIRKO_REQUIRE(TTestNetwork::DropShare(*Net->Router2(), C.Hook, C.Type4, C.Type6, DropPercent),
                  "nft with numgen random (package nftables, kernel nf_tables)");
    for (const auto& [IPv6, Kind] : {std::pair{false, TNetProbeTransport::Helper},
                                     std::pair{true, TNetProbeTransport::Datagram}}) {
        SCOPED_TRACE(std::string(IPv6 ? "IPv6 " : "IPv4 ") + Name(Kind));
        const auto Results = Trace(Kind, Path(IPv6).back(), {6, 15'000'000, 500, Rounds});
        const auto Rows = Table(Results).Rows();
        ASSERT_EQ(Rows.size(), 4u);
        for (const TTraceHop& Hop : Rows) {
            SCOPED_TRACE("hop " + std::to_string(Hop.Hop()));
            const int Sent = Hop.Sent();
            const int Lost = Sent - Hop.Received();
            EXPECT_EQ(Sent, static_cast<int>(Rounds));
            const bool Lossy = std::count(C.LossyHops.begin(), C.LossyHops.end(), Hop.Hop()) > 0;
            if (!Lossy) {
                EXPECT_EQ(Lost, 0);
                continue;
            }
            const double Expected = Sent * DropPercent / 100.0;
            const double Margin = 3.5 * std::sqrt(Expected * (1 - DropPercent / 100.0));
            EXPECT_NEAR(Lost, Expected, Margin);
            EXPECT_LE(Hop.Rtt().Best(), Hop.Rtt().Mean());
            EXPECT_LT(Hop.Rtt().Worst(), 200.0);
            std::cout << "[ measured ] " << C.Name << (IPv6 ? ", IPv6" : ", IPv4") << ", hop "
                      << Hop.Hop() << ": " << Lost << " of " << Sent << " lost ("
                      << Hop.LossPercent() << " %, rule " << DropPercent << " %, margin "
                      << 100 * Margin / Sent << " %)\n";
        }
        const TTraceVerdict Verdict = TTraceVerdict::Of(Figures(Rows));
        EXPECT_EQ(Verdict.Kind, C.Kind) << Verdict.Sentence.toStdString();
        EXPECT_EQ(Verdict.Hop, C.Hop);
    }
}

INSTANTIATE_TEST_SUITE_P(, ProbeEngineLoss,
                         ::testing::Values(TLossCase{"probes dropped on their way",
                                                     "forward",
                                                     "echo-request",
                                                     "echo-request",
                                                     {3, 4},
                                                     TTraceVerdict::TKind::LossFromHop,
                                                     3},
                                           TLossCase{"a router drops its own answers",
                                                     "output",
                                                     "time-exceeded",
                                                     "time-exceeded",
                                                     {2},
                                                     TTraceVerdict::TKind::RouterLimits,
                                                     2}),
                         [](const auto& AInfo) {
                             return AInfo.index == 0 ? "LossGoesOn" : "LossStopsAtARouter";
                         });

} // namespace

// Two traces at once over the one helper: together they queue more probes than the
// helper takes for the whole program, so they must share its bound and its pace, or
// the helper refuses some and a hop that always answers shows loss.
TEST_F(ProbeEngineNetwork, TwoTracesOverTheHelperShareItsBound) {
    // A silent target: every probe past the routers waits out its timeout in flight.
    Net->Target().SetSysctl("net.ipv4.icmp_echo_ignore_all", "1");
    TNetNamespaceScope InClient(*Net->Client());
    TNetSocketHelper Helper;
    ASSERT_TRUE(Helper.Start(ZIRKO_SOCKET_PATH));
    TNetContext Context;
    Context.SetHelper(&Helper);
    Context.SetIcmpSocketPolicy(TNetIcmpSocketPolicy::RawOnly);
    TNetProbeEngine First(Context), Second(Context);
    TNetTraceRounds FirstRounds(First), SecondRounds(Second);
    // 40 hops a round each, 37 of them silent: far more waiting than the helper takes.
    const TNetTraceRounds::TSettings Settings{40, 200'000'000, 1000, 4};
    FirstRounds.Start(Net->TargetAddress(), Settings);
    SecondRounds.Start(Net->TargetAddress(), Settings);
    std::vector<TNetProbeResult> All;
    const auto Deadline = std::chrono::steady_clock::now() + 60s;
    while ((!FirstRounds.Done() || !SecondRounds.Done()) &&
           std::chrono::steady_clock::now() < Deadline) {
        EXPECT_LE(Context.HelperProbes(), TNetProbeEngine::HelperInFlightLimit);
        pollfd Fd{First.Descriptor(), POLLIN, 0};
        ::poll(&Fd, 1, 10);
        for (TNetTraceRounds* Rounds : {&FirstRounds, &SecondRounds}) {
            const auto Got = Rounds->Process();
            All.insert(All.end(), Got.begin(), Got.end());
        }
    }
    ASSERT_TRUE(FirstRounds.Done() && SecondRounds.Done()) << "rounds left after the time limit";
    EXPECT_EQ(Context.HelperProbes(), 0u);
    std::map<int, int> Answered;
    for (const TNetProbeResult& R : All) {
        Answered[R.Ttl] += R.Kind == skTtlExceeded || R.Kind == skEchoReply;
    }
    for (int Ttl = 1; Ttl <= 3; ++Ttl) {
        EXPECT_EQ(Answered[Ttl], 8) << "hop " << Ttl << ": every round of both traces";
    }
}

// One engine, no Open: routers that answer and targets that keep silent, of both families,
// a text that is no address and one no transport sends to, probed together round after
// round over each transport.
// Every probe ends once, under its own destination, as that destination behaves.
TEST_F(ProbeEngineNetwork, ManyDestinationsOfBothFamiliesAtOnce) {
    Net->Target().SetSysctl("net.ipv4.icmp_echo_ignore_all", "1");
    Net->Target().SetSysctl("net.ipv6.icmp.echo_ignore_all", "1");
    const std::vector<std::pair<std::string, TReplyStatusKind>> Destinations = {
        {Net->RouterAddress(), skEchoReply}, {Net->Router3Address6(), skEchoReply},
        {Net->TargetAddress(), skTimedOut},  {Net->Router2Address(), skEchoReply},
        {Net->TargetAddress6(), skTimedOut}, {Net->RouterAddress6(), skEchoReply},
        {"no.address.invalid", skError},
        {"255.255.255.255", skError}, // a broadcast: refused by the socket, or the helper's report
    };
    constexpr uint32_t Rounds = 4;
    TNetNamespaceScope InClient(*Net->Client());
    for (const auto Kind : zirko::test::AllTransports) {
        SCOPED_TRACE(Name(Kind));
        TNetSocketHelper Helper;
        TNetContext Context;
        ASSERT_TRUE(zirko::test::UseTransport(Context, Helper, Kind, ZIRKO_SOCKET_PATH));
        TNetProbeEngine Engine(Context);
        std::map<std::pair<std::string, uint32_t>, std::vector<TNetProbeResult>> Ended;
        const auto Deadline = std::chrono::steady_clock::now() + 30s;
        for (uint32_t Round = 0; Round < Rounds && std::chrono::steady_clock::now() < Deadline;
             ++Round) {
            for (const auto& [Address, Expected] : Destinations) {
                Engine.Queue(Address, 64, Round, 300);
            }
            do {
                std::vector<pollfd> Fds;
                for (const int Fd : Engine.Descriptors()) {
                    Fds.push_back({Fd, POLLIN, 0});
                }
                ::poll(Fds.data(), Fds.size(), 20);
                for (TNetProbeResult& R : Engine.Process()) {
                    Ended[{R.Address, R.Round}].push_back(std::move(R));
                }
            } while ((Engine.InFlight() > 0 || Engine.Waiting() > 0) &&
                     std::chrono::steady_clock::now() < Deadline);
        }
        EXPECT_EQ(Engine.Transport(), Kind);
        EXPECT_EQ(Engine.Descriptors().size(), Kind == TNetProbeTransport::Helper ? 1u : 2u);
        for (const auto& [Address, Expected] : Destinations) {
            for (uint32_t Round = 0; Round < Rounds; ++Round) {
                SCOPED_TRACE(Address + " round " + std::to_string(Round));
                const auto& Results = Ended[{Address, Round}];
                ASSERT_EQ(Results.size(), 1u) << "one end per probe";
                EXPECT_EQ(Results[0].Kind, Expected);
                EXPECT_EQ(Results[0].From, Expected == skEchoReply ? Address : "");
                EXPECT_EQ(Results[0].RoundTripNs > 0, Expected == skEchoReply);
            }
        }
        EXPECT_EQ(Context.HelperProbes(), 0u);
    }
}
