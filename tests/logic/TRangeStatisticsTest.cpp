// SPDX-License-Identifier: GPL-3.0-or-later
#include "TRangeStatistics.h"
#include "TPingHistory.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// A round trip in ms, or a lost ping.
using TPing = std::optional<uint32_t>;
constexpr TPing Lost = std::nullopt;

std::vector<TPingSample> Samples(const std::vector<TPing>& Pings) {
    std::vector<TPingSample> Out;
    qint64 When = 1'700'000'000'000;
    for (const TPing& p : Pings) {
        TPingSample s;
        s.WhenMs = When += 2000;
        s.ReplyBytes = p ? 72 : 0;
        s.RoundTripMs = p ? *p : 1003;
        s.FromAddress = p ? QStringLiteral("192.0.2.10") : QStringLiteral("0.0.0.0");
        Out.push_back(s);
    }
    return Out;
}

struct TRangeRow {
    const char* Name;
    std::vector<TPing> Pings;
    QChar Separator;
    const char* Min;
    const char* Mean;
    const char* Max;
    const char* Jitter;
    const char* LostText;
    const char* Median; // by nearest rank, as the history reads it
    const char* P95;
    const char* StdDev;
    const char* Description;
};

const TRangeRow Rows[] = {
    {"empty range", {}, u',', "", "", "", "", "", "", "", "", ""},
    {"one answer has no jitter",
     {40},
     u',',
     "40,00",
     "40,00",
     "40,00",
     "",
     "0 (0,00%)",
     "40,00",
     "40,00",
     "0,00",
     "1 ping, min 40,00 ms, media 40,00 ms, max 40,00 ms, persi 0 (0,00%), mediana 40,00 ms, "
     "95° percentile 40,00 ms, deviazione standard 0,00 ms"},
    {"jitter is the mean step between answers",
     {10, 20, 15},
     u',',
     "10,00",
     "15,00",
     "20,00",
     "7,50",
     "0 (0,00%)",
     "15,00",
     "20,00",
     "4,08",
     "3 ping, min 10,00 ms, media 15,00 ms, max 20,00 ms, persi 0 (0,00%), mediana 15,00 ms, "
     "95° percentile 20,00 ms, deviazione standard 4,08 ms"},
    {"a loss neither counts in the times nor breaks the pair",
     {10, Lost, 30},
     u'.',
     "10.00",
     "20.00",
     "30.00",
     "20.00",
     "1 (33.33%)",
     "10.00",
     "30.00",
     "10.00",
     "3 ping, min 10.00 ms, media 20.00 ms, max 30.00 ms, persi 1 (33.33%), mediana 10.00 ms, "
     "95° percentile 30.00 ms, deviazione standard 10.00 ms"},
    {"only losses",
     {Lost, Lost, Lost},
     u',',
     "",
     "",
     "",
     "",
     "3 (100,00%)",
     "",
     "",
     "",
     "3 ping, min n.d., media n.d., max n.d., persi 3 (100,00%), mediana n.d., "
     "95° percentile n.d., deviazione standard n.d."},
    {"zero round trips are answers",
     {0, 0, Lost, 1},
     u',',
     "0,00",
     "0,33",
     "1,00",
     "0,50",
     "1 (25,00%)",
     "0,00",
     "1,00",
     "0,47",
     "4 ping, min 0,00 ms, media 0,33 ms, max 1,00 ms, persi 1 (25,00%), mediana 0,00 ms, "
     "95° percentile 1,00 ms, deviazione standard 0,47 ms"},
    {"a timed-out wait is not the slowest answer",
     {5, Lost, 7},
     u',',
     "5,00",
     "6,00",
     "7,00",
     "2,00",
     "1 (33,33%)",
     "5,00",
     "7,00",
     "1,00",
     "3 ping, min 5,00 ms, media 6,00 ms, max 7,00 ms, persi 1 (33,33%), mediana 5,00 ms, "
     "95° percentile 7,00 ms, deviazione standard 1,00 ms"},
};

TEST(RangeStatisticsTest, SummaryCaptionsAndDescription) {
    for (const TRangeRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        const std::vector<TPingSample> s = Samples(Row.Pings);
        const TRangeSummary Summary = TRangeStatistics::Summarize(s.begin(), s.end());
        EXPECT_EQ(Summary.Pings, int(Row.Pings.size()));
        EXPECT_EQ(TRangeStatistics::MinCaption(Summary, Row.Separator), QString(Row.Min));
        EXPECT_EQ(TRangeStatistics::MeanCaption(Summary, Row.Separator), QString(Row.Mean));
        EXPECT_EQ(TRangeStatistics::MaxCaption(Summary, Row.Separator), QString(Row.Max));
        EXPECT_EQ(TRangeStatistics::JitterCaption(Summary, Row.Separator), QString(Row.Jitter));
        EXPECT_EQ(TRangeStatistics::LostCaption(Summary, Row.Separator), QString(Row.LostText));
        EXPECT_EQ(TRangeStatistics::MedianCaption(Summary, Row.Separator), QString(Row.Median));
        EXPECT_EQ(TRangeStatistics::P95Caption(Summary, Row.Separator), QString(Row.P95));
        EXPECT_EQ(TRangeStatistics::StdDevCaption(Summary, Row.Separator), QString(Row.StdDev));
        EXPECT_EQ(TRangeStatistics::Description(Summary, Row.Separator), QString(Row.Description));
    }
}

TEST(PingHistoryTest, KeepsTheLastHundredThousandAndSharesAddresses) {
    TPingHistory History;
    ASSERT_EQ(History.Capacity(), 100000u);
    constexpr int Extra = 5;
    for (int i = 0; i < 100000 + Extra; ++i) {
        TPingSample s;
        s.WhenMs = 1000 + i;
        s.Sequence = static_cast<uint16_t>(i);
        s.ReplyBytes = 72;
        // A fresh string each time, as the window hands them over.
        s.FromAddress = QString::fromLatin1("192.0.2.10");
        History.Add(s);
    }
    ASSERT_EQ(History.Size(), 100000u);
    EXPECT_EQ(History[0].WhenMs, 1000 + Extra);
    EXPECT_EQ(History.Last().WhenMs, 1000 + 100000 + Extra - 1);
    EXPECT_EQ(History[0].FromAddress.constData(), History.Last().FromAddress.constData());

    // Inclusive at both ends; spans beside the history are empty.
    EXPECT_EQ(History.Range(1010, 1019), (std::pair<std::size_t, std::size_t>{5, 15}));
    EXPECT_EQ(History.Range(0, 1004), (std::pair<std::size_t, std::size_t>{0, 0}));
    EXPECT_EQ(History.Range(200000, 300000), (std::pair<std::size_t, std::size_t>{100000, 100000}));

    History.Clear();
    EXPECT_TRUE(History.Empty());
    EXPECT_EQ(History.Range(0, 300000), (std::pair<std::size_t, std::size_t>{0, 0}));
}

} // namespace
