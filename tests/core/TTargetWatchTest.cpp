// SPDX-License-Identifier: GPL-3.0-or-later
// Many targets through a scripted probe port over a stepping clock: when each send
// goes out, and what each answer becomes for its own target.
#include "TTargetWatch.h"

#include "THistoryStore.h"
#include "TSteppingClock.h"
#include "TTargetPacer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>
#include <vector>

namespace {

// Names resolve at once from a table; sends are kept for the test to answer.
class TScriptedPort : public TProbePort {
public:
    void Send(const std::string& Address, TToken Token, int TimeoutMs) override {
        Sent.push_back({Address, Token, TimeoutMs});
        Log.push_back(std::to_string(Now()) + " " + Address);
    }
    void Resolve(const std::string& Host, TToken Token) override {
        Log.push_back(std::to_string(Now()) + " lookup " + Host);
        const auto Found = Names.find(Host);
        OnResolved(Token,
                   Found == Names.end() ? std::nullopt : std::optional<std::string>(Found->second));
    }
    void Answer(size_t SendIndex, int32_t Bytes, uint32_t Ms) {
        TReplyStatus Reply;
        Reply.ReplyBytes = Bytes;
        Reply.RoundTripMs = Ms;
        Reply.RoundTripUs = Ms * 1000;
        Reply.Status = Bytes > 0 ? skEchoReply : skTimedOut;
        OnAnswer({Sent[SendIndex].Address, Sent[SendIndex].Token, Reply});
    }
    int64_t Now() const { return Clock->SteadyMs(); }

    struct TSend {
        std::string Address;
        TToken Token;
        int TimeoutMs;
    };
    const TClock* Clock = nullptr;
    std::map<std::string, std::string> Names{{"a.test", "10.0.0.1"}, {"b.test", "fd00::2"}};
    std::vector<TSend> Sent;
    std::vector<std::string> Log;
};

TTarget Target(const char* Host, int IntervalMs) {
    TTarget T;
    T.Host = Host;
    T.IntervalMs = IntervalMs;
    T.AlarmAfterLost = 1; // the alarm on the second loss in a row
    return T;
}

struct TWatchFixture {
    TWatchFixture() {
        Clock.SetSteadyMs(0);
        Port.Clock = &Clock;
        Watch.SetResolveRetryMs(1500);
    }
    // Steps to each due time the watch names, up to UntilMs.
    void RunUntil(int64_t UntilMs) {
        for (int Steps = 0; Steps < 1000; ++Steps) {
            const int64_t Next = Watch.Step();
            if (Next > UntilMs) {
                break;
            }
            Clock.SetSteadyMs(Next);
        }
    }
    TSteppingClock Clock{CalendarTime(2026, 1, 2, 3, 4, 5)};
    TScriptedPort Port;
    TTargetWatch Watch{
        Port, Clock, {Target("a.test", 1000), Target("b.test", 1000), Target("nx.test", 600)}};
};

TEST(TargetWatch, SendsSpreadOverEachIntervalAndLookupsRetriedApart) {
    TWatchFixture F;
    F.Watch.Start();
    F.RunUntil(2400);
    // a.test from 0, b.test a third of its interval in, nx.test two thirds of its
    // own; the name that does not resolve is asked again only 1.5 s after it failed.
    const std::vector<std::string> Expected{
        "0 lookup a.test",     "0 10.0.0.1",    "333 lookup b.test", "333 fd00::2",
        "400 lookup nx.test",  "1000 10.0.0.1", "1333 fd00::2",      "2000 10.0.0.1",
        "2200 lookup nx.test", "2333 fd00::2",
    };
    EXPECT_EQ(F.Port.Log, Expected);
    EXPECT_EQ(F.Watch.Targets()[2].FailedLookups, 2);
    EXPECT_EQ(F.Port.Sent[0].TimeoutMs, 1000);
}

TEST(TargetWatch, AnswersCountForTheirOwnTargetOnly) {
    QTemporaryDir Dir;
    THistoryStore History;
    ASSERT_TRUE(History.Open(Dir.path().toStdString() + "/"));
    TWatchFixture F;
    F.Watch.HoldHistory();
    std::vector<std::string> Outages;
    F.Watch.OnOutage = [&](const TTargetWatch::TState& S, const TOutageTracker::TEvent& E) {
        Outages.push_back(S.Target.Host + " " + std::to_string(int(E.Change)));
    };
    F.Watch.Start();
    F.RunUntil(2400); // sends: a 0, b 333, a 1000, b 1333, a 2000, b 2333
    ASSERT_EQ(F.Port.Sent.size(), 6u);
    struct TRow {
        size_t Send;
        int32_t Bytes;
        uint32_t Ms;
    };
    const TRow Answers[] = {{0, 64, 3}, {1, 0, 0}, {2, 64, 5}, {3, 0, 0}, {4, 64, 4}, {5, 64, 7}};
    for (const TRow& A : Answers) {
        F.Port.Answer(A.Send, A.Bytes, A.Ms);
    }
    TProbePort::TAnswer Stray{"10.9.9.9", F.Port.Sent[0].Token, {}};
    F.Port.OnAnswer(Stray); // another address under a known token
    F.Watch.SetHistory(&History);
    const auto& A = F.Watch.Targets()[0];
    const auto& B = F.Watch.Targets()[1];
    EXPECT_EQ(std::make_tuple(A.Counters.n_ping, A.Counters.n_pacchetti_persi, A.Counters.tot_time),
              std::make_tuple(3, 0, 12.0));
    EXPECT_EQ(std::make_tuple(B.Counters.n_ping, B.Counters.n_pacchetti_persi, B.Counters.tot_time),
              std::make_tuple(3, 2, 7.0));
    EXPECT_EQ(Outages, (std::vector<std::string>{"b.test 1", "b.test 3"}));
    F.Watch.Stop();
    F.Port.Answer(5, 64, 1); // after the end: dropped
    EXPECT_EQ(B.Counters.n_ping, 3);
    std::map<std::string, int> Rows;
    for (const THistoryPing& P : History.Pings(INT64_MIN / 2, INT64_MAX / 2)) {
        ++Rows[P.Host + "@" + P.Address];
    }
    EXPECT_EQ(Rows, (std::map<std::string, int>{{"a.test@10.0.0.1", 3}, {"b.test@fd00::2", 3}}));
    ASSERT_EQ(History.Outages(INT64_MIN / 2, INT64_MAX / 2).size(), 1u);
    EXPECT_EQ(History.Outages(INT64_MIN / 2, INT64_MAX / 2)[0].Host, "b.test");
}

// Answered pings reach the store together, 5 s after the first of them, and
// all that wait when watching stops; nothing is lost on the way.
TEST(TargetWatch, PingsReachTheStoreTogetherInBatches) {
    QTemporaryDir Dir;
    THistoryStore History;
    ASSERT_TRUE(History.Open(Dir.path().toStdString() + "/"));
    TWatchFixture F;
    F.Watch.SetHistory(&History);
    F.Watch.Start();
    F.RunUntil(400); // sends: a 0, b 333; the clock at 400
    F.Port.Answer(0, 0, 0);
    F.Port.Answer(1, 0, 0);
    struct TRow {
        int64_t StepAtMs;
        size_t Rows;     // kept after that step
        int64_t DueByMs; // the step names a time no later
    };
    const TRow Steps[] = {{1000, 0, 1333}, {5399, 0, 5400}, {5400, 2, 6000}};
    for (const TRow& Row : Steps) {
        F.Clock.SetSteadyMs(Row.StepAtMs);
        EXPECT_LE(F.Watch.Step(), Row.DueByMs) << Row.StepAtMs;
        EXPECT_EQ(History.Pings(INT64_MIN / 2, INT64_MAX / 2).size(), Row.Rows) << Row.StepAtMs;
    }
    F.Port.Answer(2, 0, 0);
    F.Watch.Stop();
    EXPECT_EQ(History.Pings(INT64_MIN / 2, INT64_MAX / 2).size(), 3u) << "stored on Stop";
}

// Each target by its own limit: a answers 50 ms against 20, b 5 ms against 250;
// a's slow period begins once the average has held past the limit for 60 s.
TEST(TargetWatch, SlowPeriodsGoByEachTargetsOwnLimit) {
    TTarget Slow = Target("a.test", 1000), Quick = Target("b.test", 1000);
    Slow.LatencyLimitMs = 20;
    TWatchFixture F;
    TTargetWatch Watch(F.Port, F.Clock, {Slow, Quick});
    std::vector<std::string> Events;
    Watch.OnSlow = [&](const TTargetWatch::TState& S, const TSlowTracker::TEvent& E) {
        if (E.Change != TSlowTracker::TChange::Lasts) {
            Events.push_back(S.Target.Host + " " + std::to_string(int(E.Change)));
        }
    };
    Watch.Start();
    size_t Answered = 0;
    for (int Steps = 0; Steps < 1000 && F.Clock.SteadyMs() < 90'000; ++Steps) {
        F.Clock.SetSteadyMs(Watch.Step());
        for (; Answered < F.Port.Sent.size(); ++Answered) {
            F.Port.Answer(Answered, 64, F.Port.Sent[Answered].Address == "10.0.0.1" ? 50 : 5);
        }
    }
    EXPECT_EQ(Events, (std::vector<std::string>{"a.test 1"}));
    Watch.Stop();
    EXPECT_EQ(Events, (std::vector<std::string>{"a.test 1", "a.test 3"}));
}

TEST(TargetWatch, ListReadAgainKeepsTheUnchangedAndEndsTheRemoved) {
    TWatchFixture F;
    std::vector<std::string> Outages;
    F.Watch.OnOutage = [&](const TTargetWatch::TState& S, const TOutageTracker::TEvent& E) {
        Outages.push_back(S.Target.Host + " " + std::to_string(int(E.Change)));
    };
    F.Watch.Start();
    F.RunUntil(1400); // sends: a 0, b 333, a 1000, b 1333
    for (size_t I = 0; I < 4; ++I) {
        F.Port.Answer(I, I % 2 == 0 ? 64 : 0, 2); // b lost twice: its outage began
    }
    const uint64_t KeptId = F.Watch.Targets()[0].Id;
    TTarget Changed = Target("a.test", 1000);
    Changed.LatencyLimitMs = 99; // another setting: a new target
    F.Watch.SetTargets({Target("nx.test", 600), Target("a.test", 1000), Changed});
    const auto& Now = F.Watch.Targets();
    EXPECT_EQ(std::make_tuple(Now[1].Id, Now[1].Counters.n_ping), std::make_tuple(KeptId, 2));
    EXPECT_EQ(Now[0].FailedLookups, 1) << "the kept lookup state goes on";
    EXPECT_EQ(Now[2].Counters.n_ping, 0);
    EXPECT_NE(Now[2].Id, KeptId);
    EXPECT_EQ(Outages, (std::vector<std::string>{"b.test 1", "b.test 3"}));
    F.Port.Answer(2, 64, 1); // a token of the list before: dropped
    EXPECT_EQ(Now[1].Counters.n_ping, 2);
}

TEST(TargetWatch, PacedByTheEventLoopTheTargetsTakeTurnsUntilStopped) {
    int Argc = 1;
    char Name[] = "core_test";
    char* Argv[] = {Name, nullptr};
    QCoreApplication Application(Argc, Argv);
    TScriptedPort Port;
    Port.Clock = &TClock::System();
    TTargetWatch Watch(Port, TClock::System(),
                       {Target("a.test", 20), Target("b.test", 20), Target("nx.test", 20)});
    TTargetPacer Pacer(Watch, TClock::System());
    Pacer.Start();
    for (int Wait = 0; Wait < 500 && Port.Sent.size() < 10; ++Wait) {
        QTest::qWait(10);
    }
    Pacer.Stop();
    const size_t Sent = Port.Sent.size();
    QTest::qWait(50);
    EXPECT_EQ(Port.Sent.size(), Sent) << "nothing sent after Stop";
    ASSERT_GE(Sent, 10u);
    for (size_t I = 0; I < Sent; ++I) {
        EXPECT_EQ(Port.Sent[I].Address, I % 2 == 0 ? "10.0.0.1" : "fd00::2") << I;
    }
    EXPECT_EQ(Watch.Targets()[2].FailedLookups, 1) << "no second lookup before the retry span";
}

} // namespace
