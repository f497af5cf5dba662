// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutageExpect.h"
#include "OutageText.h"
#include "TSlowTracker.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace outage_test;

// One ping at second T (wall and monotonic alike): 'F' answered in 10 ms, 'S'
// in 400 ms, 'L' lost, 'U' watching stopped. With an average of 2 answers and a
// 250 ms limit, one slow answer after a fast one stays under (205 ms).
struct TStep {
    char What;
    double T;
};


struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
    int Periods; // begun, and all ended
    TExpected Last;
};

constexpr auto R = TOutageEnd::Recovered;
constexpr auto U = TOutageEnd::Unknown;

// clang-format off
const TCase Cases[] = {
    {"a single slow answer is no period",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'F', 6}, {'S', 8}, {'F', 10}}, 0, {}},
    {"past the limit for less than the hold time, no period",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'S', 8}, {'F', 10}, {'F', 12}}, 0, {}},
    {"held past the limit: start and end each between two answers",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'S', 8}, {'S', 10}, {'S', 12}, {'F', 14},
      {'F', 16}, {'F', 18}}, 1,
     {4, 6, 12, 14, R, 0, 8000, 2000, "8 s ± 2 s"}},
    {"under the limit for less than the hold time keeps one period",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'S', 8}, {'S', 10}, {'F', 12}, {'S', 14},
      {'S', 16}, {'F', 18}, {'F', 20}, {'F', 22}}, 1,
     {4, 6, 16, 18, R, 0, 12000, 2000, "12 s ± 2 s"}},
    {"lost pings count into it and leave the average alone",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'L', 7}, {'S', 8}, {'S', 10}, {'L', 11},
      {'F', 12}, {'F', 14}, {'F', 16}}, 1,
     {4, 6, 10, 12, R, 1, 6000, 2000, "6 s ± 2 s"}},
    {"a rest ends it with an unknown end",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'S', 8}, {'S', 10}, {'U', 11}, {'S', 60},
      {'S', 62}}, 1,
     {4, 6, 10, 11, U, 0, 5000, 1000, "5 s ± 1 s (fine sconosciuta)"}},
    {"slow from the first answers: no known start",
     {{'S', 0}, {'S', 2}, {'S', 4}, {'S', 6}, {'F', 8}, {'F', 10}, {'F', 12}}, 1,
     {None, 2, 6, 8, R, 0, 5000, 1000, "almeno 5 s ± 1 s"}},
    {"two periods, the second one reported",
     {{'F', 0}, {'F', 2}, {'S', 4}, {'S', 6}, {'S', 10}, {'F', 12}, {'F', 16}, {'S', 18},
      {'S', 20}, {'S', 24}, {'F', 26}, {'F', 30}}, 2,
     {18, 20, 24, 26, R, 0, 6000, 2000, "6 s ± 2 s"}},
};
// clang-format on

class SlowTracker : public testing::TestWithParam<TCase> {};

TEST_P(SlowTracker, BracketsAndDuration) {
    const TCase& Case = GetParam();
    TSlowTracker Tracker({250'000, 2, 4000});
    int Began = 0, Ended = 0;
    TOutage Last;
    for (const TStep& Step : Case.Steps) {
        const int64_t At = Ms(Step.T);
        const std::optional<int64_t> Rtt =
            Step.What == 'L' ? std::nullopt : std::optional<int64_t>(Step.What == 'S' ? 400'000 : 10'000);
        const TSlowTracker::TEvent Event = Step.What == 'U'
                                               ? Tracker.Unmonitored(At, At)
                                               : Tracker.Ping("host.invalid", At, At, Rtt);
        Began += Event.Change == TSlowTracker::TChange::Began;
        if (Event.Change == TSlowTracker::TChange::Ended) {
            ++Ended;
            Last = Event.Period;
        }
    }
    EXPECT_EQ(Began, Case.Periods);
    ASSERT_EQ(Ended, Case.Periods);
    EXPECT_FALSE(Tracker.Current());
    if (Case.Periods == 0) {
        return;
    }
    const TExpected& E = Case.Last;
    EXPECT_EQ(Last.Kind, TOutageKind::Slow);
    ExpectEnded(Last, E);
}

INSTANTIATE_TEST_SUITE_P(Runs, SlowTracker, testing::ValuesIn(Cases),
                         [](const auto& Info) { return CaseName(Info.param.Name); });

} // namespace
