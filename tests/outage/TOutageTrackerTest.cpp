// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOutageTracker.h"
#include "OutageExpect.h"
#include "OutageText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>

#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace outage_test;

// One step of a run: 'A' answered, 'L' lost, 'U' watching stopped; at wall and
// monotonic seconds. The alarm is raised from Threshold losses in a row on.
struct TStep {
    char What;
    double WallS;
    double SteadyS;
};

constexpr double Midnight = 86400.0 * 20000; // 2024-10-04 00:00 UTC

struct TCase {
    const char* Name;
    int Threshold;
    std::vector<TStep> Steps;
    int Outages; // ended ones
    TExpected Last;
};

constexpr auto R = TOutageEnd::Recovered;
constexpr auto U = TOutageEnd::Unknown;

// clang-format off
const TCase Cases[] = {
    {"below the threshold, no outage", 3,
     {{'A', 0, 0}, {'L', 2, 2}, {'L', 4, 4}, {'A', 6, 6}}, 0, {}},
    {"at the threshold: start and end each between two pings", 3,
     {{'A', 0, 0}, {'L', 2, 2}, {'L', 4, 4}, {'L', 6, 6}, {'A', 8, 8}}, 1,
     {0, 2, 6, 8, R, 3, 6000, 2000, "6 s ± 2 s"}},
    {"a long one, never snapped to the interval", 2,
     {{'A', 0, 0}, {'L', 1.5, 1.5}, {'L', 3, 3}, {'L', 192, 192}, {'A', 193, 193.1}}, 1,
     {0, 1.5, 192, 193, R, 3, 191800, 1300, "3 min 12 s ± 1 s"}},
    {"a rest ends it with an unknown end, no recovery", 2,
     {{'A', 0, 0}, {'L', 2, 2}, {'L', 4, 4}, {'U', 5, 5}, {'A', 300, 300}}, 1,
     {0, 2, 4, 5, U, 2, 3000, 1000, "3 s ± 1 s (fine sconosciuta)"}},
    {"after a rest the first losses have no known start", 2,
     {{'A', 0, 0}, {'U', 1, 1}, {'L', 60, 60}, {'L', 62, 62}, {'A', 64, 64}}, 1,
     {None, 60, 62, 64, R, 2, 3000, 1000, "almeno 3 s ± 1 s"}},
    {"over midnight it stays one outage", 2,
     {{'A', Midnight - 4, 0}, {'L', Midnight - 2, 2}, {'L', Midnight, 4}, {'L', Midnight + 2, 6},
      {'A', Midnight + 4, 8}}, 1,
     {Midnight - 4, Midnight - 2, Midnight + 2, Midnight + 4, R, 3, 6000, 2000, "6 s ± 2 s"}},
    {"a wall clock set back an hour changes the stamps, not the duration", 2,
     {{'A', 7200, 0}, {'L', 7202, 2}, {'L', 7204, 4}, {'L', 3606, 6}, {'A', 3608, 8}}, 1,
     {7200, 7202, 3606, 3608, R, 3, 6000, 2000, "6 s ± 2 s"}},
    {"the alarm raised again counts one outage", 2,
     {{'A', 0, 0}, {'L', 2, 2}, {'L', 4, 4}, {'L', 6, 6}, {'L', 8, 8}, {'A', 10, 10}}, 1,
     {0, 2, 8, 10, R, 4, 8000, 2000, "8 s ± 2 s"}},
    {"two outages, the second one reported", 2,
     {{'A', 0, 0}, {'L', 2, 2}, {'L', 4, 4}, {'A', 6, 6}, {'L', 8, 8}, {'L', 10, 10},
      {'L', 12, 12}, {'A', 20, 20}}, 2,
     {6, 8, 12, 20, R, 3, 9000, 5000, "9 s ± 5 s"}},
};
// clang-format on

class OutageTracker : public testing::TestWithParam<TCase> {};

TEST_P(OutageTracker, BracketsAndDuration) {
    const TCase& Case = GetParam();
    TOutageTracker Tracker;
    int InRow = 0, Began = 0, Ended = 0;
    TOutage Last;
    for (const TStep& Step : Case.Steps) {
        TOutageTracker::TEvent Event;
        if (Step.What == 'U') {
            InRow = 0;
            Event = Tracker.Unmonitored(Ms(Step.WallS), Ms(Step.SteadyS));
        } else {
            InRow = Step.What == 'L' ? InRow + 1 : 0;
            Event = Tracker.Ping("host.invalid", Ms(Step.WallS), Ms(Step.SteadyS), Step.What == 'A',
                                 InRow >= Case.Threshold);
        }
        Began += Event.Change == TOutageTracker::TChange::Began;
        if (Event.Change == TOutageTracker::TChange::Ended) {
            ++Ended;
            Last = Event.Outage;
        }
    }
    EXPECT_EQ(Began, Case.Outages);
    ASSERT_EQ(Ended, Case.Outages);
    EXPECT_FALSE(Tracker.Current());
    if (Case.Outages == 0) {
        return;
    }
    const TExpected& E = Case.Last;
    ExpectEnded(Last, E);
}

INSTANTIATE_TEST_SUITE_P(Runs, OutageTracker, testing::ValuesIn(Cases),
                         [](const auto& Info) { return CaseName(Info.param.Name); });

TEST(OutageTracker, AnotherHostEndsTheOutageUnknown) {
    TOutageTracker Tracker;
    Tracker.Ping("a.invalid", 0, 0, true, false);
    EXPECT_EQ(Tracker.Ping("a.invalid", 2000, 2000, false, true).Change,
              TOutageTracker::TChange::Began);
    const TOutageTracker::TEvent Event = Tracker.Ping("b.invalid", 4000, 4000, true, false);
    EXPECT_EQ(Event.Change, TOutageTracker::TChange::Ended);
    EXPECT_EQ(Event.Outage.End, TOutageEnd::Unknown);
    EXPECT_EQ(Event.Outage.Host, "a.invalid");
}

TEST(OutageText, Spans) {
    const std::pair<int64_t, const char*> Spans[] = {
        {-5, "0 s"},
        {499, "0 s"},
        {500, "1 s"},
        {59'499, "59 s"},
        {59'500, "1 min 0 s"},
        {192'000, "3 min 12 s"},
        {7'500'000, "2 h 05 min"},
        {273'600'000, "3 g 4 h"},
    };
    for (const auto& [Ms, Text] : Spans) {
        EXPECT_EQ(OutageText::Span(Ms), Text) << Ms;
    }
    TOutage Outage;
    Outage.Host = "h.invalid";
    Outage.DurationMs = 192'000;
    Outage.Lost = 96;
    EXPECT_EQ(OutageText::DownSummary(Outage.Host), "Zirko: h.invalid non risponde");
    EXPECT_EQ(OutageText::DownBody(Outage), "Da 3 min 12 s, 96 ping persi");
    EXPECT_EQ(OutageText::RecoveredSummary(Outage), "h.invalid risponde di nuovo dopo 3 min 12 s");
}

} // namespace
