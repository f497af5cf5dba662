// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPingStatistics.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TPingStatisticsTest : public ::testing::Test {
protected:
    // The statistics part of one reply: the ping counted, then the loss decision.
    TPingStatistics::TLossOutcome Reply(int32_t Bytes, uint32_t Ms, int Threshold) {
        C = TPingStatistics::CountPing(C, Ms);
        const auto Step = TPingStatistics::CountLoss(C, Bytes, Threshold);
        C = Step.Counters;
        return Step.Outcome;
    }
    void CountPing(uint32_t Ms) { C = TPingStatistics::CountPing(C, Ms); }
    double Average() const { return TPingStatistics::Average(C); }

    TPingCounters C;
};

TEST(TPingStatisticsFormat, AverageUnderTwoDecimalSeparators) {
    struct {
        double Average;
        QChar Separator;
        const char* Expected;
    } const Cases[] = {
        {40.0, u'.', "   40.00"},   {40.0, u',', "   40,00"},   {520.0, u',', "  520,00"},
        {0.0, u'.', "    0.00"},    {1.005, u'.', "    1.00"},  {2.675, u',', "    2,67"},
        {99.999, u',', "  100,00"}, {1234.5, u',', " 1234,50"}, {12345678.9, u'.', "12345678.90"},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(TPingStatistics::FormatAverage(c.Average, c.Separator).toStdString(), c.Expected);
    }
}

TEST(TPingStatisticsFormat, TotalTimeAsTimeOfDay) {
    struct {
        double TotalMs;
        const char* Separator;
        const char* Expected;
    } const Cases[] = {
        {0, ":", "00:00:00"},
        {40, ":", "00:00:00"},
        {61500, ":", "00:01:01"},
        {999.6, ":", "00:00:01"}, // rounded to whole milliseconds first
        {86399999, ":", "23:59:59"},
        {86399999.6, ":", "00:00:00"},
        {86400000, ":", "00:00:00"},
        {90061000, ":", "01:01:01"}, // 25 h 1 min 1 s: only the hours past the full day
        {3 * 86400000.0 + 7322000, ".", "02.02.02"},
        {61500, ".", "00.01.01"},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(
            TPingStatistics::FormatTotTime(c.TotalMs, QString::fromUtf8(c.Separator)).toStdString(),
            c.Expected);
    }
}

TEST_F(TPingStatisticsTest, LimitEqualToAverageIsWithinAndOneHundredthAboveIsNot) {
    for (int i = 0; i < 100; ++i)
        CountPing(250);
    EXPECT_EQ(TPingStatistics::ImageForAverage(Average(), 250), TPingStatistics::ImageWithinLimit);
    CountPing(251); // 25251 / 101 = 250.0099...
    EXPECT_EQ(TPingStatistics::ImageForAverage(Average(), 250), TPingStatistics::ImageAboveLimit);

    C = {};
    for (int i = 0; i < 99; ++i)
        CountPing(250);
    CountPing(251); // exactly 250.01
    EXPECT_DOUBLE_EQ(Average(), 250.01);
    EXPECT_EQ(TPingStatistics::ImageForAverage(Average(), 250), TPingStatistics::ImageAboveLimit);
    EXPECT_EQ(TPingStatistics::ImageForAverage(249.99, 250), TPingStatistics::ImageWithinLimit);
}

TEST_F(TPingStatisticsTest, LostPingsCountInTheAverage) {
    Reply(72, 40, 10);
    Reply(0, 1000, 10);
    EXPECT_DOUBLE_EQ(Average(), 520.0);
    EXPECT_EQ(C.n_ping, 2);
    EXPECT_EQ(C.n_pacchetti_persi, 1);
}

TEST_F(TPingStatisticsTest, AlarmAfterThresholdRepeatsAndClearsOnAnswer) {
    // Threshold 10: the 11th loss in a row raises it, the 12th again, an answer withdraws it.
    for (int i = 1; i <= 10; ++i) {
        const auto Outcome = Reply(0, 1000, 10);
        EXPECT_TRUE(Outcome.Lost);
        EXPECT_FALSE(Outcome.Alarm) << "loss " << i;
    }
    EXPECT_TRUE(Reply(0, 1000, 10).Alarm);
    EXPECT_TRUE(Reply(0, 1000, 10).Alarm);
    EXPECT_EQ(C.n_persi_consecutivi, 12);
    const auto Answer = Reply(72, 5, 10);
    EXPECT_FALSE(Answer.Lost);
    EXPECT_FALSE(Answer.Alarm);
    EXPECT_EQ(C.n_persi_consecutivi, 0);
    EXPECT_EQ(C.n_pacchetti_persi, 12);
    // A new run starts from one again.
    EXPECT_FALSE(Reply(0, 1000, 1).Alarm);
    EXPECT_TRUE(Reply(0, 1000, 1).Alarm);
}

TEST_F(TPingStatisticsTest, ThresholdIsReadAtEveryReply) {
    for (int i = 0; i < 3; ++i)
        Reply(0, 1000, 10);
    EXPECT_TRUE(Reply(0, 1000, 3).Alarm);
    EXPECT_FALSE(Reply(0, 1000, 5).Alarm);
}

TEST_F(TPingStatisticsTest, ClearInTheMiddleOfARunOfLosses) {
    for (int i = 0; i < 3; ++i)
        Reply(0, 1000, 3);
    Reply(72, 20, 3);
    for (int i = 0; i < 3; ++i)
        Reply(0, 1000, 3);
    C = TPingStatistics::Clear(C);
    EXPECT_EQ(C.n_ping, 0);
    EXPECT_EQ(C.tot_time, 0.0);
    EXPECT_EQ(C.n_pacchetti_persi, 0);
    EXPECT_EQ(C.n_persi_consecutivi, 3);
    // The run goes on: the next loss is the fourth in a row and raises the alarm at once.
    const auto Outcome = Reply(0, 1000, 3);
    EXPECT_TRUE(Outcome.Alarm);
    EXPECT_EQ(C.n_ping, 1);
    EXPECT_EQ(C.n_pacchetti_persi, 1);
    EXPECT_EQ(TPingStatistics::LostPercentage(C.n_pacchetti_persi, C.n_ping), 100);
}

TEST(TPingStatisticsPercentage, TruncatesTowardZero) {
    struct {
        int32_t Lost, Pings, Expected;
    } const Cases[] = {
        {1, 3, 33},
        {2, 3, 66},
        {0, 0, 0},
        {0, 5, 0},
        {5, 5, 100},
        {1, 200, 0},
        {199, 200, 99},
        {1, 7, 14},
        // 32-bit product of the count and 100 would wrap negative here.
        {30000000, 30000000, 100},
        {2000000000, 2100000000, 95},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(testing::Message() << c.Lost << " of " << c.Pings);
        EXPECT_EQ(TPingStatistics::LostPercentage(c.Lost, c.Pings), c.Expected);
    }
}

TEST(TPingStatisticsPane, EmptiedOnlyOncePastTheBound) {
    struct {
        int32_t Lines;
        int Bound;
        int32_t LinesAfter;
        bool Empty;
    } const Cases[] = {
        {0, 3, 1, false},        {2, 3, 3, false}, {3, 3, 0, true}, {9999, 10000, 10000, false},
        {10000, 10000, 0, true},
    };
    for (const auto& c : Cases) {
        SCOPED_TRACE(testing::Message() << c.Lines << " of " << c.Bound);
        TPingCounters Before;
        Before.n_righe_log = c.Lines;
        Before.n_ping = 7;
        const auto Step = TPingStatistics::CountPaneLine(Before, c.Bound);
        EXPECT_EQ(Step.Counters.n_righe_log, c.LinesAfter);
        EXPECT_EQ(Step.EmptyPane, c.Empty);
        EXPECT_EQ(Step.Counters.n_ping, 7) << "the pane bound leaves the statistics";
    }
}

TEST(TPingStatisticsClear, LeavesThePaneTheRunAndTheSchedule) {
    const TPingCounters Before{12, 40, 5150.0, 9, 4, true};
    const TPingCounters After = TPingStatistics::Clear(Before);
    EXPECT_EQ(After, (TPingCounters{12, 0, 0.0, 0, 4, true}));
}

} // namespace
