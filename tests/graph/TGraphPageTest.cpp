// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphPage.h"
#include "TCsvExport.h"
#include "TGraphHistory.h"
#include "TGraphTargets.h"
#include "THistoryStore.h"
#include "TLatencyView.h"
#include "TOutagePanel.h"
#include "TPlotPoints.h"
#include "TReplyStatus.h"
#include "TSteppingClock.h"

#include <QAbstractSeries>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <set>
#include <optional>
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

    // A ping of an earlier run, stored as the monitor stores it; lost without RoundTripUs.
    static THistoryPing Stored(int64_t UtcMs, std::optional<int64_t> RoundTripUs) {
        THistoryPing p;
        p.UtcMs = UtcMs;
        p.Host = "router.lan";
        p.Address = "192.0.2.10"; // the address pinged, answered or not
        p.Kind = RoundTripUs ? skEchoReply : skTimedOut;
        p.RoundTripUs = RoundTripUs;
        p.Ttl = RoundTripUs ? 64 : 0;
        p.Bytes = RoundTripUs ? 72 : 0;
        return p;
    }
    // A store in the test's folder, monitored throughout the last OpenMs.
    void OpenStore(int64_t RunFromMs) {
        ASSERT_TRUE(Store.Open(Dir.path().toStdString()));
        ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, RunFromMs));
    }
    QPushButton* Button(const char* Name) {
        return Page.findChild<QPushButton*>(QLatin1String(Name));
    }

    // The handling time as the monitor gives it, in Rome's zone.
    QDateTime Now() const {
        return QDateTime::fromMSecsSinceEpoch(FClock.WallMs(), Start.timeZone());
    }

    TSteppingClock FClock{CalendarTime(2026, 12, 9, 2, 0, 0)};
    QTemporaryDir Dir;
    THistoryStore Store; // before the page, which reads it to the end
    TGraphPage Page;
    QStringList Errors;
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
        QStringLiteral("3 ping, min 20,00 ms, media 30,00 ms, max 40,00 ms, persi 1 (33,33%), "
                       "mediana 20,00 ms, 95° percentile 40,00 ms, deviazione standard 10,00 ms"));
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

TEST(GraphSpanTest, ZoomAndPanPinTheSpanAndARangeFollowsNowAgain) {
    constexpr qint64 Now = 1'800'000'000'000;
    constexpr qint64 Hour = 3600 * 1000;
    struct TRow {
        const char* Name;
        std::function<void(TGraphSpan&)> Act; // on "1 ora", live
        qint64 From, To;                      // relative to the live span's end
        bool Live;
    };
    const qint64 End = Now + Hour / 60; // the live end runs a sixtieth ahead
    const TRow Rows[] = {
        {"live hour", [](TGraphSpan&) {}, -Hour, 0, true},
        {"zoom in about the end keeps the end", [&](TGraphSpan& s) { s.Zoom(0.5, End, Now, {}); },
         -Hour / 2, 0, false},
        {"zoom out about the start keeps the start",
         [&](TGraphSpan& s) { s.Zoom(2, End - Hour, Now, {}); }, -Hour, Hour, false},
        {"zoom about the middle keeps the middle",
         [&](TGraphSpan& s) { s.Zoom(0.5, End - Hour / 2, Now, {}); }, -3 * Hour / 4, -Hour / 4,
         false},
        {"no zoom below a minute", [&](TGraphSpan& s) { s.Zoom(1e-6, End, Now, {}); },
         -TGraphSpan::ShortestMs, 0, false},
        {"pan back ten minutes", [&](TGraphSpan& s) { s.Pan(-Hour / 6, Now, {}); },
         -Hour - Hour / 6, -Hour / 6, false},
        {"a pinned span stays as time goes on",
         [&](TGraphSpan& s) {
             s.Pan(0, Now, {});
             s.Shown(Now + Hour, {});
         },
         -Hour, 0, false},
        {"choosing a range follows now again",
         [&](TGraphSpan& s) {
             s.Pan(-Hour, Now, {});
             s.SetRange(TGraphSpan::LastHour);
         },
         -Hour, 0, true},
        {"back to live after a zoom",
         [&](TGraphSpan& s) {
             s.Zoom(0.1, End, Now, {});
             s.GoLive();
         },
         -Hour, 0, true},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TGraphSpan Span;
        Span.SetRange(TGraphSpan::LastHour);
        Span.Shown(Now, {});
        Row.Act(Span);
        EXPECT_EQ(Span.Live(), Row.Live);
        EXPECT_EQ(Span.Shown(Now, {}), std::make_pair(End + Row.From, End + Row.To));
    }
    // "Tutto" reaches back to the oldest data, however old.
    TGraphSpan All;
    All.SetRange(TGraphSpan::Everything);
    EXPECT_EQ(All.Shown(Now, Now - 40 * 24 * Hour).first, Now - 40 * 24 * Hour);
}

TEST_F(GraphPageTest, WheelDragAndDoubleClickDriveTheLiveButton) {
    Page.SetRange(TGraphPage::LastHour);
    EXPECT_EQ(Button("btn_dal_vivo"), nullptr); // the bar waits for the page to be shown
    Page.show();
    const auto* Box = Page.findChild<QComboBox*>(QStringLiteral("cb_intervallo"));
    ASSERT_NE(Box, nullptr);
    EXPECT_EQ(Box->currentIndex(), TGraphPage::LastHour); // as chosen before
    QPushButton* Live = Button("btn_dal_vivo");
    ASSERT_NE(Live, nullptr);
    EXPECT_TRUE(Live->isChecked());
    TLatencyView& View = *Page.View();
    const auto Before = Page.ShownSpan();
    // Three notches at once make one redraw, a span 0.8^3 as long.
    const QPointF At = View.PlotArea().center();
    for (int i = 0; i < 3; ++i) {
        QWheelEvent Wheel(At, View.mapToGlobal(At), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(View.viewport(), &Wheel);
    }
    EXPECT_FALSE(Live->isChecked());
    QCoreApplication::processEvents();
    const auto Zoomed = Page.ShownSpan();
    EXPECT_NEAR(double(Zoomed.second - Zoomed.first), 0.512 * double(Before.second - Before.first),
                1000);
    EXPECT_EQ(std::make_pair(View.FromMs(), View.ToMs()), Zoomed);
    // Dragging to the right by half the plot shows the half span before.
    const QPoint Left = View.PlotArea().topLeft().toPoint() + QPoint(1, 10);
    const QPoint Middle = Left + QPoint(int(View.PlotArea().width() / 2), 0);
    // Events sent straight to the plot: the cursor stays where it is.
    const auto Mouse = [&](QEvent::Type Type, const QPoint& Where, Qt::MouseButtons Held) {
        QMouseEvent Event(Type, Where, View.viewport()->mapToGlobal(Where), Qt::LeftButton, Held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(View.viewport(), &Event);
    };
    Mouse(QEvent::MouseButtonPress, Left, Qt::LeftButton);
    Mouse(QEvent::MouseMove, Middle, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, Middle, Qt::NoButton);
    QCoreApplication::processEvents();
    EXPECT_NEAR(double(Page.ShownSpan().first),
                double(Zoomed.first) - double(Zoomed.second - Zoomed.first) / 2, 20000);
    FClock.Advance(5 * 60 * 1000);
    Page.SetLimit(300); // time moved on: a pinned span does not
    Mouse(QEvent::MouseButtonDblClick, Middle, Qt::LeftButton);
    EXPECT_TRUE(Live->isChecked());
    EXPECT_GE(Page.ShownSpan().second, FClock.WallMs());
    EXPECT_EQ(Page.ShownSpan().second - Page.ShownSpan().first, 3600 * 1000);
}

TEST_F(GraphPageTest, EarlierRunsShowAtOnceAndAFailingStoreFallsBackToThisRun) {
    const int64_t Now = FClock.WallMs();
    OpenStore(Now - 20 * 3600 * 1000);
    for (int i = 0; i < 600; ++i) { // the earlier run: ten hours ago, every minute
        ASSERT_TRUE(Store.AddPing(Stored(Now - 10 * 3600 * 1000 + i * 60000,
                                         i % 100 == 7 ? std::nullopt : std::optional(20'000 + i))));
    }
    Page.SetRange(TGraphPage::Last24Hours);
    Page.show();
    EXPECT_EQ(Page.Summary().Pings, 0);
    EXPECT_EQ(Page.HistoryNote(), QString()); // the store is still being opened
    Page.SetHistory(&Store);
    EXPECT_TRUE(Page.ReadsHistory());
    EXPECT_EQ(Page.Summary().Pings, 600);
    EXPECT_EQ(Page.Summary().Lost, 6);
    EXPECT_DOUBLE_EQ(Page.Summary().MinMs, 20.0);
    EXPECT_DOUBLE_EQ(Page.Summary().MedianMs, 20.299);
    const TPlotPoints& Drawn = Page.View()->Points();
    EXPECT_FALSE(Drawn.Bands.empty());
    EXPECT_LE(Drawn.Bands.size(), std::size_t(Page.View()->width()));
    EXPECT_EQ(Drawn.LossTimes.size(), 6u);
    EXPECT_TRUE(Button("btn_cancella_cronologia")->isEnabled());

    // The disk fills while running: the next ping shows this run alone, and why.
    ASSERT_TRUE(Store.AddPing(Stored(Now, 15'000)));
    Reply(72, 15, 1);
    EXPECT_EQ(Page.Summary().Pings, 601);
    Store.Close();
    Reply(72, 17, 2);
    EXPECT_FALSE(Page.ReadsHistory());
    EXPECT_EQ(Page.Summary().Pings, 2);
    EXPECT_EQ(Page.HistoryNote(), QStringLiteral("Cronologia non salvata: il file non è aperto. "
                                                 "Si vedono solo i ping di questa sessione."));
    EXPECT_FALSE(Button("btn_cancella_cronologia")->isEnabled());
    Page.SetHistory(nullptr);
    EXPECT_EQ(Page.HistoryNote(), TGraphHistory::StatusText(THistoryStatus::Closed));
    for (const THistoryStatus Status :
         {THistoryStatus::Held, THistoryStatus::ReadOnly, THistoryStatus::DiskFull,
          THistoryStatus::Corrupt, THistoryStatus::NewerSchema, THistoryStatus::IoError}) {
        EXPECT_TRUE(TGraphHistory::StatusText(Status).startsWith("Cronologia non salvata: "));
    }
}

TEST_F(GraphPageTest, UnmonitoredStretchesAreShadedAndCountNeither) {
    const int64_t Now = FClock.WallMs();
    constexpr int64_t Minute = 60000;
    ASSERT_TRUE(Store.Open(Dir.path().toStdString()));
    // Runs from -50 to -30 min, a rest to -10, then a run still going.
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, Now - 50 * Minute));
    for (int64_t t = Now - 50 * Minute; t < Now - 30 * Minute; t += 2000) {
        ASSERT_TRUE(Store.AddPing(Stored(t, 30'000)));
    }
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Rest, Now - 30 * Minute));
    ASSERT_TRUE(Store.BeginPeriod(THistoryPeriodKind::Run, Now - 10 * Minute));
    ASSERT_TRUE(Store.AddPing(Stored(Now - 5 * Minute, std::nullopt)));
    Page.SetRange(TGraphPage::LastHour);
    Page.show();
    Page.SetHistory(&Store);
    const auto [From, To] = Page.ShownSpan();
    using TStretch = std::pair<qreal, qreal>;
    EXPECT_EQ(Page.View()->Points().Unmonitored,
              (std::vector<TStretch>{{qreal(From), qreal(Now - 50 * Minute)},
                                     {qreal(Now - 30 * Minute), qreal(Now - 10 * Minute)}}));
    EXPECT_EQ(Page.Summary().Pings, 601);
    EXPECT_EQ(Page.Summary().Lost, 1);
    EXPECT_EQ(To, Now + Minute);
}

TEST_F(GraphPageTest, ClearingTheHistoryAsksFirst) {
    const int64_t Now = FClock.WallMs();
    OpenStore(Now - 60000);
    ASSERT_TRUE(Store.AddPing(Stored(Now - 30000, 12'000)));
    Page.SetHistory(&Store);
    Page.show();
    for (const bool Yes : {false, true}) {
        SCOPED_TRACE(Yes);
        QStringList Asked;
        Page.SetQuestionBox([&](const QString& Question) {
            Asked << Question;
            return Yes;
        });
        Button("btn_cancella_cronologia")->click();
        EXPECT_EQ(Asked.size(), 1);
        EXPECT_EQ(Store.Pings(0, Now + 1).size(), Yes ? 0u : 1u);
        EXPECT_EQ(Page.Summary().Pings, Yes ? 0 : 1);
        EXPECT_TRUE(Page.ReadsHistory());
    }
}

TEST_F(GraphPageTest, CsvFromTheHistoryLeadsWithTheMinutesNoLongerKept) {
    const int64_t Now = FClock.WallMs();
    OpenStore(Now - 40LL * 24 * 3600 * 1000);
    ASSERT_TRUE(Store.AddPing(Stored(Now - 40LL * 24 * 3600 * 1000, 31'000)));
    ASSERT_TRUE(Store.AddPing(Stored(Now - 40LL * 24 * 3600 * 1000 + 2000, std::nullopt)));
    ASSERT_TRUE(Store.AddPing(Stored(Now - 2000, 12'345)));
    ASSERT_TRUE(Store.AddPing(Stored(Now, std::nullopt)));
    while (Store.PruneStep(Now)) {
    }
    Page.SetHistory(&Store);
    Page.SetRange(TGraphPage::Everything);
    const QString Path = Dir.filePath(QStringLiteral("tutto.csv"));
    ASSERT_TRUE(Page.ExportCsv(Path));
    EXPECT_EQ(Read(Path).split('\n'),
              QByteArray("# minute aggregates: the single pings of these minutes are no longer "
                         "kept\r\n"
                         "minute,from,count,lost,min_ms,mean_ms,max_ms\r\n"
                         "2026-10-30T03:00:00.000+01:00,192.0.2.10,2,1,31.000,31.000,31.000\r\n"
                         "\r\n"
                         "time,sequence,bytes,from,ttl,round_trip_ms,lost\r\n"
                         "2026-12-09T02:59:58.000+01:00,,72,192.0.2.10,64,12.345,0\r\n"
                         "2026-12-09T03:00:00.000+01:00,,0,192.0.2.10,0,,1\r\n")
                  .split('\n'));
}

} // namespace

TEST_F(GraphPageTest, OutagesAreListedMarkedCountedAndExported) {
    const int64_t Now = FClock.WallMs();
    constexpr int64_t Minute = 60000;
    OpenStore(Now - 50 * Minute);
    TOutage Past{0,
                 "router.lan",
                 Now - 40 * Minute,
                 Now - 40 * Minute + 2000,
                 Now - 37 * Minute,
                 Now - 37 * Minute + 2000,
                 TOutageEnd::Recovered,
                 90,
                 180'000,
                 2000,
                 ""};
    TOutage Open{0,  "router.lan",     std::nullopt, Now - 5 * Minute, Now - Minute,
                 {}, TOutageEnd::Open, 120,          4 * Minute,       1000,
                 ""};
    ASSERT_TRUE(Store.AddOutage(Past));
    ASSERT_TRUE(Store.AddOutage(Open));
    ASSERT_TRUE(Store.SetOutageTrace(Past.Id, {"La perdita inizia al salto 2, o quasi", {}}));
    Page.SetRange(TGraphPage::LastHour);
    Page.show();
    Page.SetHistory(&Store);

    auto* List = Page.findChild<QTreeWidget*>(QStringLiteral("lv_interruzioni"));
    ASSERT_NE(List, nullptr);
    ASSERT_EQ(List->topLevelItemCount(), 2);
    const QStringList Newest{List->topLevelItem(0)->text(1), List->topLevelItem(0)->text(2),
                             List->topLevelItem(0)->text(3)};
    EXPECT_EQ(Newest, (QStringList{"in corso", "almeno 4 min 0 s ± 1 s", "120"}));
    EXPECT_EQ(List->topLevelItem(1)->text(2), "3 min 0 s ± 2 s");
    EXPECT_EQ(List->topLevelItem(1)->text(4), "La perdita inizia al salto 2, o quasi");
    EXPECT_EQ(List->topLevelItem(0)->text(4), "…") << "its trace has not ended";
    // A lost ping of the open one updates its row, and the other keeps its path.
    Open.Lost = 130;
    Page.OutageLasts(Open);
    Page.OutageLasts(Past);
    QCoreApplication::processEvents();
    EXPECT_EQ(List->topLevelItem(0)->text(3), "130");
    EXPECT_EQ(List->topLevelItem(1)->text(4), "La perdita inizia al salto 2, o quasi");
    EXPECT_EQ(Page.View()->Points().Outages.size(), 2u);
    EXPECT_TRUE(Page.View()->accessibleDescription().endsWith(", interruzioni 2"));

    // A click shows that outage with a margin either side, and stays there.
    emit List->itemClicked(List->topLevelItem(1), 0);
    const qint64 Margin = (182'000 / 3);
    EXPECT_FALSE(Page.Live());
    EXPECT_EQ(Page.ShownSpan(),
              std::make_pair(qint64(*Past.StartFromMs - Margin), qint64(*Past.EndToMs + Margin)));

    const QString Path = Dir.filePath(QStringLiteral("interruzioni.csv"));
    ASSERT_TRUE(Page.Outages()->ExportCsv(Path));
    const QList<QByteArray> Lines = Read(Path).split('\n');
    ASSERT_EQ(Lines.size(), 4); // a header, two rows, and the last line's end
    EXPECT_TRUE(Lines[1].contains(",router.lan,," + QByteArray::number(Open.StartToMs)));
    EXPECT_TRUE(Lines[1].contains(",open,240.000,1.000,130,\r"));
    EXPECT_TRUE(Lines[2].contains(",recovered,180.000,2.000,90,\"La perdita inizia al salto 2, "
                                  "o quasi\"\r"));

    // Without a history the page lists this run's outages as they change.
    TGraphPage Alone;
    Open.Lost = 121;
    for (int Change = 0; Change < 2; ++Change) {
        Alone.OutageChanged(Open);
    }
    ASSERT_EQ(Alone.Outages()->Outages().size(), 1u);
    EXPECT_EQ(Alone.Outages()->Outages()[0].Lost, 121);
}

TEST_F(GraphPageTest, ChosenAndOverlaidTargetsFollowTheList) {
    struct TCase {
        const char* Name;
        std::optional<size_t> Chosen; // none: the Ping page's host
        std::vector<size_t> Ticked;
        QStringList ListAfter; // empty: unchanged
        int SummaryPings;
        QStringList Overlays;
    };
    const TCase Cases[] = {
        {"the Ping page's host is the default", {}, {1}, {}, 1, {"beta"}},
        {"a chosen target replaces it, not drawn twice", 0, {0, 1}, {}, 3, {"beta"}},
        {"choice and ticks follow names when the list moves", 0, {1}, {"beta", "alfa"}, 3,
         {"beta"}},
        {"a removed choice gives the Ping page's host back", 0, {1}, {"beta"}, 1, {"beta"}},
        {"several overlays", {}, {0, 1}, {}, 1, {"alfa", "beta"}},
    };
    const int64_t Now = FClock.WallMs();
    std::map<QString, TGraphTargets::TTrace> Traces{
        {"alfa", {{Now - 3000, 10.0}, {Now - 2000, -1.0}, {Now - 1000, 30.0}}},
        {"beta", {{Now - 2000, 100.0}, {Now - 1000, 200.0}}}};
    Reply(72, 20, 1, 0);
    Page.show();
    for (const TCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        TGraphTargets& Targets = Page.Targets();
        Targets.SetSource([&](size_t I) { return Traces[Targets.Names()[qsizetype(I)]]; });
        Page.SetTargets({});
        Page.SetTargets({"alfa", "beta"});
        ASSERT_FALSE(Targets.Selected()); // a new list starts on the Ping page's host
        if (c.Chosen) {
            Page.SelectTarget(*c.Chosen);
        }
        for (const size_t Index : c.Ticked) {
            Targets.SetOverlaid(Index, true);
        }
        if (!c.ListAfter.isEmpty()) {
            Page.SetTargets(c.ListAfter);
        }
        QCoreApplication::processEvents(); // the coalesced redraw
        EXPECT_EQ(Page.Summary().Pings, c.SummaryPings);
        QStringList Drawn;
        std::set<QRgb> Colours;
        for (const TPlotOverlay& Overlay : Page.View()->Overlays()) {
            Drawn << Overlay.Name;
            Colours.insert(Overlay.Colour.rgb());
            EXPECT_FALSE(Overlay.Points.Segments.empty());
        }
        EXPECT_EQ(Drawn, c.Overlays);
        EXPECT_EQ(Colours.size(), size_t(Drawn.size()));
        QStringList Legend; // the chart's own three entries, then one per overlay
        for (const QAbstractSeries* Series : Page.View()->chart()->series()) {
            Legend << Series->name();
        }
        EXPECT_EQ(Legend.mid(3), c.Overlays);
        // Each overlay is drawn on the plot, not only named.
        const QImage Plot = Page.View()->grab().toImage();
        for (const QRgb Colour : Colours) {
            int Pixels = 0;
            for (int Y = 0; Y < Plot.height(); ++Y) {
                for (int X = 0; X < Plot.width(); ++X) {
                    Pixels += Plot.pixel(X, Y) == Colour ? 1 : 0;
                }
            }
            EXPECT_GT(Pixels, 20) << QColor(Colour).name().toStdString();
        }
        // The targets' new pings move the overlays on, and the top edge with them.
        Traces["beta"].push_back({Now - 500, 1000.0});
        Page.TargetsUpdated();
        QCoreApplication::processEvents();
        EXPECT_GE(Page.View()->TopMs(), 1000);
        Traces["beta"].pop_back();
        // A chosen target's lost ping is a mark, not a zero on its line.
        EXPECT_EQ(Page.View()->Points().LossTimes.size(), c.Chosen && c.SummaryPings == 3 ? 1u : 0u);
        EXPECT_GE(Page.View()->TopMs(), 200); // the axis reaches the overlays' slowest
    }
    // The chosen target's pings go to the CSV: a header and its three rows.
    Page.SetTargets({"alfa", "beta"});
    Page.SelectTarget(0);
    const QString Csv = Dir.filePath(QStringLiteral("alfa.csv"));
    ASSERT_TRUE(Page.ExportCsv(Csv));
    EXPECT_EQ(Read(Csv).count('\n'), 4);
}
