// SPDX-License-Identifier: GPL-3.0-or-later
// The automatic monitoring schedule driven through its handlers, offscreen.
#include "TPingPageFixture.h"

#include "TFakeStack.h"
#include "TNetStackLinux.h"
#include "TTimerSwitch.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>
#include <thread>

namespace {

enum class TState { Off, Running, Pausing };

struct TExpected {
    bool Auto, Timer, Minuti, Ogni, PingEnabled;
    const char* Caption;
};

TExpected Expect(TState S) {
    switch (S) {
    case TState::Off:
        return {false, false, false, false, true, "Auto"};
    case TState::Running:
        return {true, true, true, false, false, "Ferma auto"};
    case TState::Pausing:
        return {true, false, false, true, false, "Ferma auto"};
    }
    return {};
}

void ExpectState(const TPingPageFixture& F, TState S) {
    const TPingPage& P = F.Page;
    const TExpected E = Expect(S);
    EXPECT_EQ(F.Counters().auto_attivo, E.Auto);
    EXPECT_EQ(P.Timer->isActive(), E.Timer);
    EXPECT_EQ(P.T_Minuti->isActive(), E.Minuti);
    EXPECT_EQ(P.T_Ogni->isActive(), E.Ogni);
    EXPECT_EQ(P.btn_ping->isEnabled(), E.PingEnabled);
    EXPECT_EQ(P.btn_auto->text().toStdString(), E.Caption);
}

enum class TEvent { Click, MinutiFires, OgniFires };

TEST(TPingSchedule, StateTable) {
    TPingPageFixture F;
    ExpectState(F, TState::Off);
    struct {
        TEvent Event;
        TState To;
    } const Steps[] = {
        {TEvent::Click, TState::Running},     {TEvent::MinutiFires, TState::Pausing},
        {TEvent::OgniFires, TState::Running}, {TEvent::MinutiFires, TState::Pausing},
        {TEvent::Click, TState::Off}, // stopping during a pause
        {TEvent::Click, TState::Running},     {TEvent::Click, TState::Off}, // stopping during a run
        {TEvent::Click, TState::Running},
    };
    int Row = 0;
    for (const auto& s : Steps) {
        SCOPED_TRACE(++Row);
        switch (s.Event) {
        case TEvent::Click:
            F.Monitor->btn_autoClick();
            break;
        case TEvent::MinutiFires:
            F.Monitor->T_MinutiTimer();
            break;
        case TEvent::OgniFires:
            F.Monitor->T_OgniTimer();
            break;
        }
        ExpectState(F, s.To);
    }
    F.Monitor->btn_autoClick();
}

TEST(TPingSchedule, LengthsAreReadAtEachStart) {
    TPingPageFixture F;
    F.Page.ud_minuti->setValue(3);
    F.Page.ud_ogni->setValue(60);
    F.Monitor->btn_autoClick();
    EXPECT_EQ(F.Page.T_Minuti->interval(), 3 * 60 * 1000);
    EXPECT_EQ(F.Page.T_Ogni->interval(), 60 * 60 * 1000);
    EXPECT_EQ(F.Page.Timer->interval(), 2000);
    F.Page.ud_minuti->setValue(7); // no effect until the next start
    F.Monitor->T_MinutiTimer();
    F.Monitor->T_OgniTimer();
    EXPECT_EQ(F.Page.T_Minuti->interval(), 3 * 60 * 1000);
    F.Monitor->btn_autoClick();
    F.Monitor->btn_autoClick();
    EXPECT_EQ(F.Page.T_Minuti->interval(), 7 * 60 * 1000);
    F.Monitor->btn_autoClick();
}

TEST(TPingSchedule, StopResetsTheLineCountButNotThePaneOrStatistics) {
    TPingPageFixture F;
    F.Monitor->btn_autoClick();
    for (int i = 0; i < 3; ++i)
        F.Reply(TPingPageFixture::Answer(10));
    F.Monitor->btn_autoClick();
    EXPECT_EQ(F.Counters().n_righe_log, 0);
    EXPECT_EQ(F.PaneLines(), 3);
    EXPECT_EQ(F.Counters().n_ping, 3);
    // Starting again does not reset anything either.
    F.Monitor->btn_autoClick();
    EXPECT_EQ(F.Counters().n_ping, 3);
    F.Monitor->btn_autoClick();
}

TEST(TTimerSwitch, EnablingAnEnabledTimerDoesNotRestartIt) {
    QTimer T;
    T.setInterval(1000);
    TTimerSwitch::SetEnabled(T, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const int Before = T.remainingTime();
    EXPECT_LT(Before, 1000);
    TTimerSwitch::SetEnabled(T, true);
    EXPECT_TRUE(T.isActive());
    EXPECT_LE(T.remainingTime(), Before);
    TTimerSwitch::SetInterval(T, 1000); // the same interval: no restart either
    EXPECT_LE(T.remainingTime(), Before);
    TTimerSwitch::SetEnabled(T, false);
    TTimerSwitch::SetEnabled(T, false);
    EXPECT_FALSE(T.isActive());
    // Enabling a disabled timer starts a full interval.
    TTimerSwitch::SetEnabled(T, true);
    EXPECT_GT(T.remainingTime(), Before);
    TTimerSwitch::SetInterval(T, 400);
    EXPECT_EQ(T.interval(), 400);
}

TEST(TPingSchedule, UnresolvableHostWritesOneWarningPerTickAndNoLine) {
    TPingPageFixture F;
    const QString Host =
        QStringLiteral("zirko-monitor-%1.invalid").arg(QCoreApplication::applicationPid());
    F.Page.e_host->setText(Host);
    F.Monitor->btn_autoClick();
    const int32_t Before = F.Agente.WarningCount();
    F.Monitor->TimerTimer();
    F.Monitor->TimerTimer();
    EXPECT_EQ(F.Agente.WarningCount() - Before, 2);
    EXPECT_EQ(F.PaneLines(), 0);
    EXPECT_EQ(F.Counters().n_ping, 0);
    EXPECT_EQ(F.Counters().n_righe_log, 0);
    const std::string Warning = "F_Main\\Timer: errore durante ping su " + Host.toStdString();
    const std::string Log = F.LogText();
    const auto First = Log.find(Warning);
    ASSERT_NE(First, std::string::npos);
    EXPECT_NE(Log.find(Warning, First + 1), std::string::npos);
    // The schedule is untouched by the failure.
    ExpectState(F, TState::Running);
    F.Monitor->btn_autoClick();
}

TEST(TPingSchedule, BlankHostAtATickBecomesLocalHost) {
    TPingPageFixture F;
    F.Page.e_host->setText(QStringLiteral(" \t "));
    F.Monitor->TimerTimer(); // answered as root; a warning otherwise, either way the field changes
    EXPECT_EQ(F.Page.e_host->text().toStdString(), "127.0.0.1");
    EXPECT_EQ(F.Icmp.ReceiveTimeout(), 1000);
}

// Over a scripted stack, so odd host texts never reach a real resolver.
class TPingScriptedStack : public ::testing::Test {
protected:
    void SetUp() override {
        F.emplace(TClock::System(), &Fake.Net);
        F->Monitor->SetBurstPause(std::chrono::milliseconds(0));
    }
    TFakeStack::TScript& S() { return Fake.Script; }
    static uint16_t SentSequence(const std::vector<uint8_t>& Request) {
        return static_cast<uint16_t>(Request[6] | (Request[7] << 8));
    }
    TFakeNet Fake;
    std::optional<TPingPageFixture> F;
};

TEST_F(TPingScriptedStack, HostTextReachesTheClientWithItsBlanks) {
    struct TRow {
        const char* Text;
        bool Burst; // else one timer tick
    };
    const TRow Rows[] = {
        {"  gateway  ", true},  {"\tgate way ", true}, {" 10.0.0.9", true},
        {"  gateway  ", false}, {"gate way ", false},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(std::string("\"") + R.Text + "\"" + (R.Burst ? " burst" : " tick"));
        S().Hosts = {{R.Text, "10.0.0.9"}};
        S().SentTo.clear();
        F->Page.e_host->setText(QString::fromUtf8(R.Text));
        if (R.Burst)
            F->Monitor->btn_pingClick();
        else
            F->Monitor->TimerTimer();
        EXPECT_EQ(F->Icmp.Host(), R.Text);
        EXPECT_EQ(F->Page.e_host->text().toStdString(), R.Text);
        EXPECT_EQ(S().SentTo,
                  std::vector<std::string>(R.Burst ? TPingMonitor::BurstPings : 1, "10.0.0.9"));
    }
}

TEST_F(TPingScriptedStack, SequencesGoOnAcrossBurstsAndMonitoring) {
    F->Page.e_host->setText(QStringLiteral("10.0.0.9"));
    F->Monitor->btn_pingClick();
    F->Monitor->btn_autoClick();
    F->Monitor->TimerTimer();
    F->Monitor->TimerTimer();
    F->Monitor->btn_autoClick();
    F->Monitor->btn_pingClick();
    const auto& Sent = S().Sent;
    ASSERT_EQ(Sent.size(), 2u * TPingMonitor::BurstPings + 2);
    for (size_t i = 1; i < Sent.size(); ++i)
        EXPECT_EQ(SentSequence(Sent[i]), static_cast<uint16_t>(SentSequence(Sent[i - 1]) + 1))
            << "request " << i;
    EXPECT_EQ(F->Counters().n_ping, static_cast<int32_t>(Sent.size()));
    EXPECT_EQ(F->PaneLines(), static_cast<int>(Sent.size()));
}

} // namespace
