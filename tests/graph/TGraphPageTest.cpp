// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphPage.h"
#include "TCsvExport.h"
#include "TLatencyView.h"
#include "TPlotPoints.h"
#include "TReplyStatus.h"
#include "TSteppingClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

// 2026-12-09 03:00:00 in Rome (UTC+1).
const QDateTime Start(QDate(2026, 12, 9), QTime(3, 0, 0), QTimeZone("Europe/Rome"));

class GraphPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        FClock.SetWallMs(Start.toMSecsSinceEpoch());
        Page.SetClock(&FClock);
        Page.SetErrorBox([this](const QString& Message) { Errors << Message; });
        Page.resize(780, 500);
        ASSERT_TRUE(Dir.isValid());
    }

    // One reply handled now; then the clock moves on by StepMs.
    void Reply(int32_t Bytes, uint32_t RoundTripMs, uint16_t Sequence, int StepMs = 2000) {
        TReplyStatus Status;
        Status.ReplyBytes = Bytes;
        Status.RoundTripMs = RoundTripMs;
        Status.Sequence = Sequence;
        Status.ReplyTtl = Bytes > 0 ? 64 : 0;
        Status.FromAddress = Bytes > 0 ? "192.0.2.10" : "0.0.0.0";
        Page.AddReply(Status, Now());
        FClock.Advance(StepMs);
    }
    QByteArray Read(const QString& Path) {
        QFile File(Path);
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<unreadable>");
    }

    // The handling time as the monitor gives it, in Rome's zone.
    QDateTime Now() const {
        return QDateTime::fromMSecsSinceEpoch(FClock.WallMs(), Start.timeZone());
    }

    TSteppingClock FClock{CalendarTime(2026, 12, 9, 2, 0, 0)};
    TGraphPage Page;
    QStringList Errors;
    QTemporaryDir Dir;
};

TEST_F(GraphPageTest, CsvHoldsTheShownRangeAndReadsBack) {
    Reply(72, 31, 3489, 2 * 3600 * 1000); // two hours before the others
    Reply(72, 12, 3490);
    Reply(0, 1002, 3491);
    Reply(72, 0, 3492);

    const QString Path = Dir.filePath(QStringLiteral("ora.csv"));
    Page.SetRange(TGraphPage::LastHour);
    ASSERT_TRUE(Page.ExportCsv(Path));
    const QList<QByteArray> Lines = Read(Path).split('\n');
    ASSERT_EQ(Lines.size(), 5) << Read(Path).constData(); // header, three rows, nothing after
    EXPECT_EQ(Lines[0], "time,sequence,bytes,from,ttl,round_trip_ms,lost\r");
    EXPECT_EQ(Lines[1], "2026-12-09T05:00:00.000+01:00,3490,72,192.0.2.10,64,12,0\r");
    EXPECT_EQ(Lines[2], "2026-12-09T05:00:02.000+01:00,3491,0,0.0.0.0,0,1002,1\r");
    EXPECT_EQ(Lines[3], "2026-12-09T05:00:04.000+01:00,3492,72,192.0.2.10,64,0,0\r");
    EXPECT_EQ(Lines[4], "");

    // Every field read back gives the history's sample again.
    Page.SetRange(TGraphPage::Everything);
    ASSERT_TRUE(Page.ExportCsv(Path));
    const QList<QByteArray> All = Read(Path).trimmed().split('\n');
    ASSERT_EQ(All.size(), 1 + int(Page.History().Size()));
    for (std::size_t i = 0; i < Page.History().Size(); ++i) {
        const TPingSample& s = Page.History()[i];
        const QList<QByteArray> f = All[qsizetype(i) + 1].trimmed().split(',');
        ASSERT_EQ(f.size(), 7);
        const QDateTime When = QDateTime::fromString(QString::fromLatin1(f[0]), Qt::ISODateWithMs);
        EXPECT_EQ(When.toMSecsSinceEpoch(), s.WhenMs);
        EXPECT_EQ(When.offsetFromUtc(), s.UtcOffsetSeconds);
        EXPECT_EQ(f[1].toUInt(), s.Sequence);
        EXPECT_EQ(f[2].toInt(), s.ReplyBytes);
        EXPECT_EQ(QString::fromLatin1(f[3]), s.FromAddress);
        EXPECT_EQ(f[4].toUInt(), s.ReplyTtl);
        EXPECT_EQ(f[5].toUInt(), s.RoundTripMs);
        EXPECT_EQ(f[6], s.Lost() ? "1" : "0");
    }
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(u'\n').toStdString();
}

TEST_F(GraphPageTest, IsoTimeCarriesTheOffsetEvenWhenZero) {
    EXPECT_EQ(TCsvExport::IsoTime(0, 0), QStringLiteral("1970-01-01T00:00:00.000+00:00"));
    EXPECT_EQ(TCsvExport::IsoTime(0, -(3 * 3600 + 30 * 60)),
              QStringLiteral("1969-12-31T20:30:00.000-03:30"));
    EXPECT_EQ(TCsvExport::IsoTime(1234, 5 * 3600 + 45 * 60),
              QStringLiteral("1970-01-01T05:45:01.234+05:45"));
}

TEST_F(GraphPageTest, FailedExportShowsTheBoxAndLeavesNoPartialFile) {
    for (int i = 0; i < 400; ++i) {
        Reply(72, 20, uint16_t(i));
    }
    // A folder that does not exist.
    EXPECT_FALSE(Page.ExportCsv(Dir.filePath(QStringLiteral("manca/grafico.csv"))));
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].startsWith(QStringLiteral("Impossibile esportare il CSV")))
        << Errors[0].toStdString();

    // A write that fails half way (the file size limit stands in for a full
    // disk): the older file keeps its content and nothing lies beside it.
    const QString Path = Dir.filePath(QStringLiteral("grafico.csv"));
    {
        QFile Old(Path);
        ASSERT_TRUE(Old.open(QIODevice::WriteOnly));
        Old.write("vecchio\n");
    }
    rlimit Saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Saved), 0);
    const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Saved;
    Small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
    const bool Written = Page.ExportCsv(Path);
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, OldHandler);

    EXPECT_FALSE(Written);
    EXPECT_EQ(Errors.size(), 2);
    EXPECT_EQ(Read(Path), "vecchio\n");
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("grafico.csv")});
}

TEST_F(GraphPageTest, ShownPageFollowsRepliesLimitAndClear) {
    Page.SetRange(TGraphPage::Last10Minutes);
    Reply(72, 20, 1);
    EXPECT_EQ(Page.View(), nullptr); // nothing drawn before the page is shown
    Page.show();
    ASSERT_NE(Page.View(), nullptr);
    Reply(0, 1000, 2);
    Reply(72, 40, 3);
    const TLatencyView& View = *Page.View();
    EXPECT_EQ(View.Points().Segments.size(), 2u);
    EXPECT_EQ(View.Points().LossTimes.size(), 1u);
    EXPECT_EQ(
        View.accessibleDescription(),
        QStringLiteral("3 ping, min 20,00 ms, media 30,00 ms, max 40,00 ms, persi 1 (33,33%)"));
    EXPECT_GE(View.TopMs(), 250); // the limit line stays inside the plot
    Page.SetLimit(1000);
    EXPECT_GE(View.TopMs(), 1000);

    Page.Clear();
    EXPECT_EQ(Page.History().Size(), 0u);
    EXPECT_TRUE(View.Points().Segments.empty());
    EXPECT_EQ(View.accessibleDescription(), QString());

    // Pings older than the range leave the view as time goes on.
    Reply(72, 20, 4, 11 * 60 * 1000);
    Reply(72, 20, 5);
    EXPECT_EQ(Page.Summary().Pings, 1);

    const QString Png = Dir.filePath(QStringLiteral("grafico.png"));
    ASSERT_TRUE(Page.SaveImage(Png));
    EXPECT_TRUE(Read(Png).startsWith("\x89PNG"));
}

TEST_F(GraphPageTest, AStepOfTheWallClockKeepsTheRangesWhole) {
    Page.show();
    // The wall clock set by StepMs after the third of six pings; 50 ms is no step.
    for (const qint64 StepMs : {-3600 * 1000, 3600 * 1000, 50}) {
        SCOPED_TRACE(StepMs);
        Page.Clear();
        Page.SetRange(TGraphPage::Last10Minutes);
        for (uint16_t Seq = 1; Seq <= 6; ++Seq) {
            Reply(72, 20 + Seq, Seq);
            FClock.StepWall(Seq == 3 ? StepMs : 0);
        }
        // All six came within the last 12 s; each stands where its age puts it.
        EXPECT_EQ(Page.Summary().Pings, 6);
        const auto& Lines = Page.View()->Points().Segments;
        ASSERT_EQ(Lines.size(), 1u);
        for (std::size_t I = 0; I < Lines[0].size(); ++I) {
            EXPECT_NEAR(Lines[0][I].x(), double(FClock.WallMs() - qint64(6 - I) * 2000), 100.0);
        }
    }
}

TEST_F(GraphPageTest, PingByPingGivesWhatTheWholeRangeGives) {
    // Pings added one at a time to a shown page must leave the same summary
    // and points as computing the shown range afresh, across the step from
    // every sample to thinned columns and across the end of the span moving on.
    Page.SetRange(TGraphPage::LastHour);
    Page.show();
    for (int i = 0; i < 2000; ++i) {
        const bool Lost = i % 37 == 5 || (i / 100) % 7 == 3;
        Reply(Lost ? 0 : 72, Lost ? 1000 : uint32_t(20 + (i * 7919) % 90), uint16_t(i));
        if (i % 97 != 0 && i != 1999) {
            continue;
        }
        SCOPED_TRACE(i);
        const TLatencyView& View = *Page.View();
        const auto [First, Last] = Page.History().Range(View.FromMs(), View.ToMs());
        const TRangeSummary Whole = TRangeStatistics::Summarize(Page.History().begin() + First,
                                                                Page.History().begin() + Last);
        EXPECT_EQ(Page.Summary().Pings, Whole.Pings);
        EXPECT_EQ(Page.Summary().Lost, Whole.Lost);
        EXPECT_DOUBLE_EQ(Page.Summary().MeanMs, Whole.MeanMs);
        EXPECT_DOUBLE_EQ(Page.Summary().JitterMs, Whole.JitterMs);
        const TPlotPoints Fresh = TPlotBuilder::Build(Page.History(), First, Last, View.FromMs(),
                                                      View.ToMs(), std::max(View.width(), 100));
        EXPECT_EQ(View.Points().Segments, Fresh.Segments);
        EXPECT_EQ(View.Points().LossTimes, Fresh.LossTimes);
    }
}

} // namespace
