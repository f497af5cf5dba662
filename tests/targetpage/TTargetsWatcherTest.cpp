// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSteppingClock.h"
#include "TTargetsWatcher.h"

#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Literal addresses resolve to themselves; sends wait for the test to answer them.
class TLiteralPort : public TProbePort {
public:
    void Send(const std::string& Address, TToken Token, int) override {
        Sent.push_back({Address, Token, {}});
    }
    void Resolve(const std::string& Host, TToken Token) override { OnResolved(Token, Host); }
    std::vector<TAnswer> Sent;
};

TTarget Target(const char* Host, const char* Name, int LimitMs = 250, bool Stopped = false) {
    TTarget T;
    T.Host = Host;
    T.Labels["name"] = Name;
    T.IntervalMs = 10;
    T.AlarmAfterLost = 1; // down at the second loss in a row
    T.LatencyLimitMs = LimitMs;
    T.Stopped = Stopped;
    return T;
}

} // namespace

// What the page, the tray and "Grafico" read, by the page's index, stopped targets between.
TEST(TTargetsWatcherTest, StatesTracesAndTheWorstFollowThePagesIndexes) {
    struct TRow {
        const char* Address;
        int32_t Bytes; // 0: never answers
        uint32_t Ms;
        TTargetStatus::TMark Mark;
        bool Lost; // every traced ping lost
    };
    const TRow Rows[] = {{"10.0.0.1", 64, 5, TTargetStatus::TMark::Up, false},
                         {"10.0.0.2", 64, 5, TTargetStatus::TMark::NotWatched, false},
                         {"10.0.0.3", 64, 50, TTargetStatus::TMark::Slow, false},
                         {"10.0.0.4", 0, 0, TTargetStatus::TMark::Down, true}};
    TSteppingClock Clock{CalendarTime(2026, 12, 10, 8, 0, 0)};
    TLiteralPort Port;
    TTargetsWatcher Watcher(Port, Clock);
    Watcher.SetTargets({Target("10.0.0.1", "su"), Target("10.0.0.2", "fermo", 250, true),
                        Target("10.0.0.3", "lento", 10), Target("10.0.0.4", "muto")});
    for (int Round = 0; Round < 6; ++Round) {
        const std::vector<TProbePort::TAnswer> Due = std::exchange(Port.Sent, {});
        for (TProbePort::TAnswer Answer : Due) {
            for (const TRow& R : Rows) {
                if (Answer.Address == R.Address) {
                    Answer.Reply.ReplyBytes = R.Bytes;
                    Answer.Reply.RoundTripMs = R.Ms;
                    Answer.Reply.RoundTripUs = R.Ms * 1000;
                    Answer.Reply.Status = R.Bytes > 0 ? skEchoReply : skTimedOut;
                }
            }
            Port.OnAnswer(Answer);
        }
        Clock.Advance(10);
        QTest::qWait(15); // the watch's next step
    }
    for (size_t I = 0; I < std::size(Rows); ++I) {
        SCOPED_TRACE(Rows[I].Address);
        EXPECT_EQ(Watcher.Status(I).Mark, Rows[I].Mark);
        const auto Trace = Watcher.Trace(I);
        EXPECT_EQ(Trace.empty(), Rows[I].Mark == TTargetStatus::TMark::NotWatched);
        for (const auto& [WhenMs, RoundTripMs] : Trace) {
            EXPECT_EQ(RoundTripMs < 0, Rows[I].Lost);
            EXPECT_LE(WhenMs, Clock.WallMs());
        }
    }
    EXPECT_EQ(Watcher.Worst(), TTargetsWatcher::wDown);
    EXPECT_EQ(Watcher.Down(), QStringList{"muto"});
    EXPECT_EQ(Watcher.All().size(), 4u);
}
