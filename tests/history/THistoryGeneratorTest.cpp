// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmarks' history generator: the files every history benchmark and the
// documentation's pictures are made on hold the shape they were asked for.
#include "THistoryGenerator.h"
#include "HistoryTestSupport.h"

#include <algorithm>

using namespace history_test;

namespace {

constexpr int64_t Minute = THistoryShape::MinuteMs;
constexpr int64_t Wide = int64_t{1} << 48;
using K = THistoryPeriodKind;

struct TCase {
    const char* Name;
    THistoryShape Shape;
    int64_t EndMs;
    size_t Pings;
    std::vector<THistoryPeriod> Periods; // ids left 0
    size_t LostAtLeast;
    std::vector<TOutage> Outages; // ids left 0
};

// Without random losses where the outages' brackets are checked to the ping.
THistoryShape Shape(int64_t CycleMs, std::vector<THistoryShape::TSpan> Gaps,
                    std::vector<THistoryShape::TSpan> Outages) {
    THistoryShape S;
    S.StartMs = T0;
    S.CycleMs = CycleMs;
    S.LostShare = CycleMs > 0 ? S.LostShare : 0.0;
    S.Gaps = std::move(Gaps);
    S.Outages = std::move(Outages);
    return S;
}

TOutage Outage(std::optional<int64_t> StartFrom, int64_t StartTo, int64_t EndFrom, int64_t EndTo,
               TOutageEnd End, int64_t Lost, int64_t Duration, int64_t Uncertainty) {
    TOutage O;
    O.Host = "gateway.example.net";
    O.StartFromMs = StartFrom;
    O.StartToMs = StartTo;
    O.EndFromMs = EndFrom;
    O.EndToMs = EndTo;
    O.End = End;
    O.Lost = Lost;
    O.DurationMs = Duration;
    O.UncertaintyMs = Uncertainty;
    return O;
}

} // namespace

TEST(THistoryGeneratorTest, TheFileHoldsTheShapeAskedFor) {
    const int64_t M = Minute;
    const TCase Cases[] = {
        {"Auto: runs of 10 minutes every 15, pings in both",
         Shape(15 * M, {}, {}),
         T0 + 30 * M,
         900,
         {{0, K::Run, T0, T0 + 10 * M},
          {0, K::Rest, T0 + 10 * M, T0 + 15 * M},
          {0, K::Run, T0 + 15 * M, T0 + 25 * M},
          {0, K::Rest, T0 + 25 * M, T0 + 30 * M}},
         1,
         {}},
        {"one run, a gap, an outage",
         Shape(0, {{T0 + 20 * M, T0 + 30 * M}}, {{T0 + 40 * M, T0 + 45 * M}}),
         T0 + 60 * M,
         1500,
         {{0, K::Run, T0, T0 + 20 * M}, {0, K::Run, T0 + 30 * M, T0 + 60 * M}},
         150,
         {Outage(T0 + 40 * M - 2000, T0 + 40 * M, T0 + 45 * M - 2000, T0 + 45 * M,
                 TOutageEnd::Recovered, 150, 5 * M, 2000)}},
        {"a gap that cuts an outage short, and one going on at the end",
         Shape(0, {{T0 + 10 * M, T0 + 20 * M}},
               {{T0 + 5 * M, T0 + 15 * M}, {T0 + 25 * M, T0 + 40 * M}}),
         T0 + 30 * M,
         600,
         {{0, K::Run, T0, T0 + 10 * M}, {0, K::Run, T0 + 20 * M, T0 + 30 * M}},
         300,
         {Outage(T0 + 25 * M - 2000, T0 + 25 * M, T0 + 30 * M - 2000, T0 + 30 * M,
                 TOutageEnd::Unknown, 150, 5 * M, 2000),
          Outage(T0 + 5 * M - 2000, T0 + 5 * M, T0 + 10 * M - 2000, T0 + 10 * M,
                 TOutageEnd::Unknown, 150, 5 * M, 2000)}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TTempDir Dir;
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        THistoryGenerator Generator(Store, C.Shape);
        ASSERT_TRUE(Generator.Run(C.EndMs));
        ASSERT_TRUE(Generator.Finish());
        const std::vector<THistoryPing> Pings = Store.Pings(-Wide, Wide);
        EXPECT_EQ(Pings.size(), C.Pings);
        EXPECT_EQ(Generator.Written(), int64_t(C.Pings));
        const auto Lost = size_t(
            std::count_if(Pings.begin(), Pings.end(), [](auto& P) { return !P.RoundTripUs; }));
        // Random losses come only with the automatic monitoring's shape.
        EXPECT_GE(Lost, C.LostAtLeast);
        EXPECT_LE(Lost, C.Shape.LostShare > 0 ? C.Pings / 10 : C.LostAtLeast);
        for (const THistoryPing& P : Pings) {
            const bool InGap = std::any_of(C.Shape.Gaps.begin(), C.Shape.Gaps.end(), [&](auto& G) {
                return G.first <= P.UtcMs && P.UtcMs < G.second;
            });
            const bool InOutage =
                std::any_of(C.Shape.Outages.begin(), C.Shape.Outages.end(),
                            [&](auto& O) { return O.first <= P.UtcMs && P.UtcMs < O.second; });
            EXPECT_FALSE(InGap) << P.UtcMs;
            EXPECT_TRUE(!InOutage || !P.RoundTripUs) << P.UtcMs;
        }
        std::vector<THistoryPeriod> Periods = Store.Periods(-Wide, Wide);
        std::vector<TOutage> Outages = Store.Outages(-Wide, Wide);
        for (auto& P : Periods) {
            P.Id = 0;
        }
        for (auto& O : Outages) {
            O.Id = 0;
        }
        EXPECT_EQ(Periods, C.Periods);
        EXPECT_EQ(Outages, C.Outages);
    }
}

TEST(THistoryGeneratorTest, TheSameShapeWritesTheSamePings) {
    std::vector<THistoryPing> Runs[2];
    for (auto& Pings : Runs) {
        TTempDir Dir;
        THistoryStore Store;
        ASSERT_TRUE(Store.Open(Dir.Path()));
        THistoryGenerator Generator(Store,
                                    Shape(15 * Minute, {}, {{T0 + Minute, T0 + 2 * Minute}}));
        ASSERT_TRUE(Generator.Run(T0 + 20 * Minute));
        Pings = Store.Pings(-Wide, Wide);
    }
    EXPECT_EQ(Runs[0], Runs[1]);
}
