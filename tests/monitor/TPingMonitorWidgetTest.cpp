// SPDX-License-Identifier: GPL-3.0-or-later
// Offscreen, with real controls, feeding crafted reply records to ICMPReply.
// Runs under LC_ALL=it_IT.UTF-8 (see CMakeLists.txt): day/month/year, decimal comma.
#include "TPingPageFixture.h"

#include "TSteppingClock.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

class TPingMonitorWidget : public ::testing::Test {
protected:
    void SetUp() override { F = std::make_unique<TPingPageFixture>(Clock); }
    void TearDown() override { F.reset(); }
    // One instant for every reading.
    TSteppingClock Clock{CalendarTime(2026, 12, 8, 14, 3, 27), ":", 0};
    std::unique_ptr<TPingPageFixture> F;
};

TEST_F(TPingMonitorWidget, FirstAnswerFillsLineLogAndCaptions) {
    F->Reply(TPingPageFixture::Answer(40, 3489));
    const std::string Line =
        "08/12/2026-14:03:27\\72 bytes from 192.0.2.10: icmp_seq=3489 ttl=54 time=40 ms";
    EXPECT_EQ(F->LastPaneLine().toStdString(), Line);
    EXPECT_EQ(F->PaneLines(), 1);
    EXPECT_NE(F->LogText().find("Ping result: " + Line), std::string::npos);
    EXPECT_EQ(F->Page.l_tempi_medi->text().toStdString(), "   40,00");
    EXPECT_EQ(F->Page.l_n_ping->text().toStdString(), "1");
    EXPECT_EQ(F->Page.l_tot_time->text().toStdString(), "00:00:00");
    EXPECT_EQ(F->Page.l_n_pacchetti_persi->text().toStdString(), "0");
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "0");
    EXPECT_EQ(F->Tray->IconIndex(), 0);
    EXPECT_EQ(F->Counters().n_righe_log, 1);

    F->Reply(TPingPageFixture::Answer(0, 3490));
    EXPECT_TRUE(F->LastPaneLine().endsWith(QStringLiteral(": icmp_seq=3490 ttl=54 time<1 ms")));
    F->Reply(TPingPageFixture::Lost(3491));
    EXPECT_EQ(F->LastPaneLine().toStdString(),
              "08/12/2026-14:03:27\\0 bytes from 0.0.0.0: icmp_seq=3491 ttl=0 time=1000 ms");
}

TEST_F(TPingMonitorWidget, TrayImageFollowsLimitAndLosses) {
    struct {
        TReplyStatus Status;
        int Limit;
        int Image;
        const char* Average;
    } const Steps[] = {
        {TPingPageFixture::Answer(40), 250, 0, "   40,00"},
        {TPingPageFixture::Lost(), 1000, 2, "  520,00"}, // a loss is red whatever the average
        {TPingPageFixture::Answer(40), 250, 1, "  360,00"},
        {TPingPageFixture::Answer(360), 360, 0, "  360,00"}, // equal to the limit
        {TPingPageFixture::Answer(361), 360, 1, "  360,20"},
    };
    int Row = 0;
    for (const auto& s : Steps) {
        SCOPED_TRACE(++Row);
        F->Page.ud_limite_media_ms->setValue(s.Limit);
        F->Reply(s.Status);
        EXPECT_EQ(F->Tray->IconIndex(), s.Image);
        EXPECT_EQ(F->Page.l_tempi_medi->text().toStdString(), s.Average);
    }
    EXPECT_EQ(F->Page.l_n_ping->text().toStdString(), "5");
    EXPECT_EQ(F->Page.l_n_pacchetti_persi->text().toStdString(), "1");
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "20");
    EXPECT_EQ(F->Page.l_tot_time->text().toStdString(), "00:00:01");
}

TEST_F(TPingMonitorWidget, PaneIsEmptiedByTheLineThatPassesTheBound) {
    const int32_t MessagesBefore = F->Agente.MessageCount();
    for (int i = 1; i <= TPingMonitor::PaneLineBound; ++i)
        F->Reply(TPingPageFixture::Answer(1, static_cast<uint16_t>(i)));
    EXPECT_EQ(F->PaneLines(), TPingMonitor::PaneLineBound);
    EXPECT_EQ(F->Counters().n_righe_log, TPingMonitor::PaneLineBound);

    F->Reply(TPingPageFixture::Answer(1, 10001));
    EXPECT_EQ(F->PaneLines(), 0);
    EXPECT_EQ(F->Counters().n_righe_log, 0);
    EXPECT_EQ(F->Agente.MessageCount() - MessagesBefore, TPingMonitor::PaneLineBound + 1);
    EXPECT_NE(F->LogText().find("Ping result: 08/12/2026-14:03:27\\72 bytes from 192.0.2.10: "
                                "icmp_seq=10001 ttl=54 time=1 ms"),
              std::string::npos);
    // The statistics go on after the emptying.
    EXPECT_EQ(F->Counters().n_ping, TPingMonitor::PaneLineBound + 1);
    F->Reply(TPingPageFixture::Answer(1, 10002));
    EXPECT_EQ(F->PaneLines(), 1);
}

TEST_F(TPingMonitorWidget, ClearLogResetsCountsButKeepsTheRest) {
    F->Page.ud_pacchetti_persi->setValue(2);
    F->Reply(TPingPageFixture::Answer(40));
    for (int i = 0; i < 3; ++i)
        F->Reply(TPingPageFixture::Lost());
    ASSERT_FALSE(F->Page.l_pacchetti_persi->isHidden());

    F->Monitor->btn_clear_logClick();
    EXPECT_EQ(F->PaneLines(), 0);
    EXPECT_EQ(F->Counters().n_righe_log, 4);
    EXPECT_EQ(F->Counters().n_ping, 0);
    EXPECT_EQ(F->Counters().tot_time, 0.0);
    EXPECT_EQ(F->Counters().n_pacchetti_persi, 0);
    EXPECT_EQ(F->Counters().n_persi_consecutivi, 3);
    for (QLabel* Emptied :
         {F->Page.l_tempi_medi, F->Page.l_n_ping, F->Page.l_tot_time, F->Page.l_n_pacchetti_persi})
        EXPECT_TRUE(Emptied->text().isEmpty());
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "75");
    EXPECT_FALSE(F->Page.l_pacchetti_persi->isHidden());
    EXPECT_EQ(F->Tray->IconIndex(), 2);

    // The run of losses goes on into the new totals.
    F->Reply(TPingPageFixture::Lost());
    EXPECT_EQ(F->Counters().n_persi_consecutivi, 4);
    EXPECT_EQ(F->Page.l_n_ping->text().toStdString(), "1");
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "100");
    EXPECT_EQ(F->Page.l_tempi_medi->text().toStdString(), " 1000,00") << "the old total is gone";
    EXPECT_EQ(F->Counters().n_righe_log, 5);
    EXPECT_EQ(F->PaneLines(), 1);
}

TEST_F(TPingMonitorWidget, AlarmRaisesTheWindowAboveItsSiblings) {
    // Stacking order among siblings shows whether raise() reached the window.
    QWidget Desk;
    auto* Target = new QWidget(&Desk);
    auto* Other = new QWidget(&Desk);
    TPingPage Page = F->Page;
    Page.Window = Target;
    TPingMonitor Monitor(Page);
    Page.ud_pacchetti_persi->setValue(1);

    Monitor.ICMPReply(F->Icmp, TPingPageFixture::Lost());
    EXPECT_EQ(Desk.children().constLast(), Other);
    Monitor.ICMPReply(F->Icmp, TPingPageFixture::Lost());
    EXPECT_EQ(Desk.children().constLast(), Target);
    EXPECT_FALSE(Page.l_pacchetti_persi->isHidden());
}

TEST_F(TPingMonitorWidget, HiddenWindowStaysHiddenOnAlarm) {
    F->Window->hide();
    F->Page.ud_pacchetti_persi->setValue(1);
    F->Reply(TPingPageFixture::Lost());
    F->Reply(TPingPageFixture::Lost());
    EXPECT_TRUE(F->Window->isHidden());
    EXPECT_FALSE(F->Page.l_pacchetti_persi->isHidden());
}

TEST(TPingMonitorPage, MissingControlIsRefused) {
    TPingPage Empty;
    EXPECT_THROW(TPingMonitor{Empty}, std::invalid_argument);
}

TEST_F(TPingMonitorWidget, ObserversSeeEachReplyOnceThroughTheClientsCallback) {
    std::vector<TReplyStatus> Seen;
    std::vector<QDateTime> When;
    QObject::connect(F->Monitor.get(), &TPingMonitor::ReplyHandled,
                     [&](const TReplyStatus& Reply, const QDateTime& At) {
                         Seen.push_back(Reply);
                         When.push_back(At);
                         // Emitted after the page shows the reply.
                         EXPECT_EQ(F->Page.l_n_ping->text().toInt(), int(Seen.size()));
                     });
    Clock.SetWallMs(1796738607000); // 2026-12-08 14:03:27 UTC
    ASSERT_TRUE(static_cast<bool>(F->Icmp.OnReply)) << "the monitor binds the client itself";
    const TReplyStatus Replies[] = {TPingPageFixture::Answer(40, 7), TPingPageFixture::Lost(8)};
    for (const TReplyStatus& R : Replies)
        F->Icmp.OnReply(F->Icmp, R);
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_EQ(Seen[0], Replies[0]);
    EXPECT_EQ(Seen[1], Replies[1]);
    for (const QDateTime& At : When) {
        EXPECT_EQ(At.toMSecsSinceEpoch(), 1796738607000) << "stamped by the page's clock";
    }
    EXPECT_EQ(F->Counters().n_ping, 2);
    EXPECT_EQ(F->Counters().n_pacchetti_persi, 1);
}

TEST_F(TPingMonitorWidget, ClearLogButtonRestartsTheStatisticsAndSaysSo) {
    QSignalSpy Cleared(F->Monitor.get(), &TPingMonitor::StatisticsCleared);
    F->Reply(TPingPageFixture::Answer(40));
    EXPECT_EQ(Cleared.count(), 0);
    F->Page.btn_clear_log->click();
    EXPECT_EQ(Cleared.count(), 1);
    EXPECT_EQ(F->Counters().n_ping, 0);
    EXPECT_EQ(F->PaneLines(), 0);
}

TEST_F(TPingMonitorWidget, ButtonsAndTimersReachTheMonitor) {
    F->Monitor->SetMinuteLength(std::chrono::milliseconds(20));
    F->Page.btn_auto->click();
    EXPECT_TRUE(F->Counters().auto_attivo);
    EXPECT_FALSE(F->Page.btn_ping->isEnabled());
    // The run of "one minute" ends on its own timer and the pause begins.
    QElapsedTimer Waited;
    Waited.start();
    while (!F->Page.T_Ogni->isActive() && Waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(F->Page.T_Ogni->isActive());
    EXPECT_FALSE(F->Page.T_Minuti->isActive());
    EXPECT_FALSE(F->Page.Timer->isActive());
    F->Page.btn_auto->click();
    EXPECT_FALSE(F->Counters().auto_attivo);
    EXPECT_FALSE(F->Page.T_Ogni->isActive());
}

TEST_F(TPingMonitorWidget, HandlersRunThroughThePagesRunnerAndTheClientIsLetGo) {
    F->Monitor.reset();
    EXPECT_FALSE(static_cast<bool>(F->Icmp.OnReply)) << "no reply may reach a gone monitor";

    TPingPage Page = F->Page;
    int Runs = 0;
    std::vector<std::string> Errors;
    Page.RunHandler = [&](const std::function<void()>& Handler) {
        ++Runs;
        try {
            Handler();
        } catch (const std::exception& E) {
            Errors.emplace_back(E.what());
        }
    };
    F->Monitor = std::make_unique<TPingMonitor>(Page);
    F->Page.btn_clear_log->click();
    EXPECT_EQ(Runs, 1);
    EXPECT_TRUE(Errors.empty());
    // A handler that fails: the runner sees the error, the caller does not.
    F->Page.ICMP->OnReply = [](TNetIcmpClient&, const TReplyStatus&) {};
    F->Monitor->SetBurstPause(std::chrono::milliseconds(0));
    F->Page.e_host->setText(
        QStringLiteral("zirko-runner-%1.invalid").arg(QCoreApplication::applicationPid()));
    F->Page.btn_ping->click();
    EXPECT_EQ(Runs, 2);
    EXPECT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(F->Page.btn_ping->isEnabled());
}

} // namespace
