// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPlotPoints.h"
#include "ModuleSymbol.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

void Add(TPingHistory& History, qint64 WhenMs, int RoundTripMs) {
    TPingSample s;
    s.WhenMs = WhenMs;
    s.ReplyBytes = RoundTripMs < 0 ? 0 : 72;
    s.RoundTripMs = RoundTripMs < 0 ? 1000 : uint32_t(RoundTripMs);
    History.Add(s);
}

TEST(PlotPointsTest, LossesCutTheLineOneByOneAndThinned) {
    struct TRow {
        const char* Name;
        int Count;     // pings, one every 2 s
        int LostEvery; // every n-th is lost (0: none)
        int Columns;
        std::size_t Segments;
        std::size_t Losses;
    };
    const TRow Rows[] = {
        {"no loss: one line", 10, 0, 100, 1, 0},
        {"every third lost: a gap each", 9, 3, 100, 3, 3},
        {"thinned, no loss", 10000, 0, 100, 1, 0},
        // Columns of 50 s, whose last ping is lost: one mark and one gap per column.
        {"thinned, a loss closing every column", 2500, 25, 100, 100, 100},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TPingHistory History;
        for (int i = 0; i < Row.Count; ++i) {
            const bool Lost = Row.LostEvery > 0 && i % Row.LostEvery == Row.LostEvery - 1;
            Add(History, i * 2000, Lost ? -1 : 20 + i % 7);
        }
        const TPlotPoints Points =
            TPlotBuilder::Build(History, 0, History.Size(), 0, Row.Count * 2000, Row.Columns);
        EXPECT_EQ(Points.Segments.size(), Row.Segments);
        EXPECT_EQ(Points.LossTimes.size(), Row.Losses);
        EXPECT_LE(Points.PointCount(), std::max<std::size_t>(Row.Count, 2 * Row.Columns));
    }
}

TEST(PlotPointsTest, ThinningKeepsTheSpikeAndTheFastestAnswer) {
    TPingHistory History;
    for (int i = 0; i < 43200; ++i) {
        Add(History, i * 2000LL, i == 20000 ? 900 : (i == 30000 ? 1 : 30));
    }
    const TPlotPoints Points = TPlotBuilder::Build(History, 0, History.Size(), 0, 86400000, 700);
    double Highest = 0;
    double Lowest = 1e9;
    for (const auto& Segment : Points.Segments) {
        for (const QPointF& p : Segment) {
            Highest = std::max(Highest, p.y());
            Lowest = std::min(Lowest, p.y());
            EXPECT_GE(p.x(), 0);
            EXPECT_LE(p.x(), 86400000);
        }
    }
    EXPECT_EQ(Highest, 900);
    EXPECT_EQ(Lowest, 1);
    EXPECT_LE(Points.PointCount(), 1400u);
}

// The search the plot and the endpoint share: this program links the chart module, has
// no module by the second name, and beside it a file that is no module (itself).
TEST(PlotModuleTest, FoundWhereLinkedElseOneLineSayingWhyNot) {
    const std::string Self =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    struct TRow {
        std::string File;
        const char* Symbol;
        bool Found;
        std::string ReasonHas;
    };
    const TRow Rows[] = {
        {"libzirko_chart.so", "ZirkoMakePlotView", true, ""},
        {"libzirko_absent.so", "ZirkoMakeAbsent", false, "not found"},
        {Self, "ZirkoMakeAbsent", false, "/" + Self + ": "},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.File);
        const TModuleSymbol Got = FindModuleSymbol(Row.File.c_str(), Row.Symbol);
        EXPECT_EQ(Got.Address != nullptr, Row.Found);
        EXPECT_EQ(Got.Reason.empty(), Row.Found);
        EXPECT_NE(Got.Reason.find(Row.ReasonHas), std::string::npos) << Got.Reason;
        EXPECT_EQ(Got.Reason.find('\n'), std::string::npos);
    }
}

} // namespace
