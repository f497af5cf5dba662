// Offscreen, with real controls, feeding crafted reply records to ICMPReply.
// Runs under LC_ALL=it_IT.UTF-8 (see CMakeLists.txt): day/month/year, decimal comma.
#include "TPingPageFixture.h"

#include "TLocaleFormats.h"

#include <gtest/gtest.h>

namespace {

class TPingMonitorWidget : public ::testing::Test {
protected:
    void SetUp() override {
        TLocaleFormats::SetNowSource(
            [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 3, 27)); });
        F = std::make_unique<TPingPageFixture>();
    }
    void TearDown() override {
        F.reset();
        TLocaleFormats::SetNowSource({});
    }
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
    EXPECT_EQ(n_righe_log, 1);

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
    EXPECT_EQ(n_righe_log, TPingMonitor::PaneLineBound);

    F->Reply(TPingPageFixture::Answer(1, 10001));
    EXPECT_EQ(F->PaneLines(), 0);
    EXPECT_EQ(n_righe_log, 0);
    EXPECT_EQ(F->Agente.MessageCount() - MessagesBefore, TPingMonitor::PaneLineBound + 1);
    EXPECT_NE(F->LogText().find("Ping result: 08/12/2026-14:03:27\\72 bytes from 192.0.2.10: "
                                "icmp_seq=10001 ttl=54 time=1 ms"),
              std::string::npos);
    // The statistics go on after the emptying.
    EXPECT_EQ(n_ping, TPingMonitor::PaneLineBound + 1);
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
    EXPECT_EQ(n_righe_log, 4);
    EXPECT_EQ(n_ping, 0);
    EXPECT_EQ(tot_time, 0.0);
    EXPECT_EQ(n_pacchetti_persi, 0);
    EXPECT_EQ(n_persi_consecutivi, 3);
    for (QLabel* Emptied :
         {F->Page.l_tempi_medi, F->Page.l_n_ping, F->Page.l_tot_time, F->Page.l_n_pacchetti_persi})
        EXPECT_TRUE(Emptied->text().isEmpty());
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "75");
    EXPECT_FALSE(F->Page.l_pacchetti_persi->isHidden());
    EXPECT_EQ(F->Tray->IconIndex(), 2);

    // The run of losses goes on into the new totals.
    F->Reply(TPingPageFixture::Lost());
    EXPECT_EQ(n_persi_consecutivi, 4);
    EXPECT_EQ(F->Page.l_n_ping->text().toStdString(), "1");
    EXPECT_EQ(F->Page.l_perc_persi->text().toStdString(), "100");
    EXPECT_EQ(F->Page.l_tempi_medi->text().toStdString(), " 1000,00") << "the old total is gone";
    EXPECT_EQ(n_righe_log, 5);
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

} // namespace
