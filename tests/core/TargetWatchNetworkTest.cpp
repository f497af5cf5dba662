// SPDX-License-Identifier: GPL-3.0-or-later
// Three targets through the core and the engine's probe port, from the client namespace of a
// test network: one answers, one is silent, one is a name that does not resolve. Each is
// counted alone and none holds the others up.
#include "RequireRoot.h"
#include "TEngineProbePort.h"
#include "TNetContext.h"
#include "TNetNamespaceScope.h"
#include "TTargetPacer.h"
#include "TTargetWatch.h"
#include "TTestNetwork.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

using namespace zirko::test;

namespace {

struct TSeen {
    int Answered = 0;
    int Lost = 0;
    int OutagesBegun = 0;
};

TEST(TargetWatchNetwork, AnsweringSilentAndUnresolvableAreCountedEachAlone) {
    ZIRKO_REQUIRE_ROOT();
    TTestNetwork Net;
    ASSERT_NE(Net.Client(), nullptr);
    Net.Target().SetSysctl("net.ipv4.icmp_echo_ignore_all", "1");
    TNetNamespaceScope Scope(*Net.Client());
    int Argc = 1;
    char Name[] = "core_network_test";
    char* Argv[] = {Name, nullptr};
    QCoreApplication Application(Argc, Argv);

    struct TRow {
        std::string Host;
        bool Resolves;
        bool Answers;
    };
    // The client namespace routes the test's /24 only: the lookup fails there, at once.
    const TRow Rows[] = {{Net.RouterAddress(), true, true},
                         {Net.TargetAddress(), true, false},
                         {"nx.zirko.test", false, false}};
    std::vector<TTarget> Targets;
    for (const TRow& Row : Rows) {
        TTarget Target;
        Target.Host = Row.Host;
        Target.IntervalMs = 100;
        Target.AlarmAfterLost = 2;
        Targets.push_back(Target);
    }
    TNetContext Context;
    TEngineProbePort Port(Context);
    TTargetWatch Watch(Port, TClock::System(), Targets);
    Watch.SetResolveRetryMs(300);
    std::map<std::string, TSeen> Seen;
    Watch.OnCounted = [&](const TTargetWatch::TState& State, const TReplyStatus& Reply) {
        ++(Reply.ReplyBytes > 0 ? Seen[State.Target.Host].Answered : Seen[State.Target.Host].Lost);
    };
    Watch.OnOutage = [&](const TTargetWatch::TState& State, const TOutageTracker::TEvent& Event) {
        Seen[State.Target.Host].OutagesBegun += Event.Change == TOutageTracker::TChange::Began;
    };
    TTargetPacer Pacer(Watch, TClock::System());
    Pacer.SetGrainMs(TEngineProbePort::BatchMs);
    Pacer.Start();
    for (int Wait = 0; Wait < 1000 && Seen[Rows[1].Host].Lost < 10; ++Wait) {
        QTest::qWait(10);
    }
    Pacer.Stop();

    for (size_t I = 0; I < std::size(Rows); ++I) {
        const TRow& Row = Rows[I];
        const TTargetWatch::TState& State = Watch.Targets()[I];
        const TSeen& S = Seen[Row.Host];
        SCOPED_TRACE(Row.Host);
        EXPECT_EQ(State.Address.has_value(), Row.Resolves);
        EXPECT_EQ(State.FailedLookups >= 2, !Row.Resolves) << State.FailedLookups;
        EXPECT_EQ(S.Answered >= 8, Row.Answers) << S.Answered;
        // The answering one may lose only the probe in flight at Stop, and none is counted.
        EXPECT_EQ(S.Lost >= 10, Row.Resolves && !Row.Answers) << S.Lost;
        EXPECT_EQ(S.OutagesBegun, Row.Resolves && !Row.Answers ? 1 : 0);
        if (!Row.Resolves) {
            EXPECT_EQ(State.Sent, 0);
        }
    }
}

} // namespace
