// SPDX-License-Identifier: GPL-3.0-or-later
// The probe engine over real sockets: rounds of probes through three routers in namespaces of
// the test's own, over each transport and both families.
#include "RequireRoot.h"
#include "TNetNamespaceScope.h"
#include "TNetProbeEngine.h"
#include "TNetSocketHelper.h"
#include "TNetTraceRounds.h"
#include "TTestNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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
        if (AKind == TNetProbeTransport::Helper) {
            EXPECT_TRUE(Helper.Start(ZIRKO_SOCKET_PATH));
            Context.SetHelper(&Helper);
        }
        Context.SetIcmpSocketPolicy(AKind == TNetProbeTransport::Datagram
                                        ? TNetIcmpSocketPolicy::DatagramOnly
                                        : TNetIcmpSocketPolicy::RawOnly);
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

} // namespace
