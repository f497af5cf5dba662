// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPingMonitor.h"

#include "TLocaleFormats.h"
#include "TPingStatistics.h"

#include "TAgente.h"
#include "TNetIcmpClient.h"
#include "TReplyStatus.h"
#include "TTrayIcon.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu> // TTrayIcon.h holds a QPointer<QMenu>, which needs the full type
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <stdexcept>
#include <thread>
#include <utility>

namespace {

// Runs its clean-up however the scope is left, exceptions included.
template <typename F> class TFinally {
public:
    explicit TFinally(F Action) : FAction(std::move(Action)) {}
    ~TFinally() { FAction(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F FAction;
};

void RequireControls(const TPingPage& P) {
    const void* Required[] = {P.e_host,
                              P.btn_ping,
                              P.btn_auto,
                              P.btn_clear_log,
                              P.ud_minuti,
                              P.ud_ogni,
                              P.ud_limite_media_ms,
                              P.ud_pacchetti_persi,
                              P.l_tempi_medi,
                              P.l_n_ping,
                              P.l_tot_time,
                              P.l_n_pacchetti_persi,
                              P.l_perc_persi,
                              P.l_pacchetti_persi,
                              P.re_ping,
                              P.ICMP,
                              P.Agente,
                              P.TrayIcon,
                              P.T_Minuti,
                              P.T_Ogni,
                              P.Timer,
                              P.Window,
                              P.Clock};
    for (const void* Control : Required)
        if (Control == nullptr)
            throw std::invalid_argument("TPingMonitor: the Ping page is missing a control");
}

} // namespace

TPingMonitor::TPingMonitor(const TPingPage& Page, QObject* parent)
    : QObject(parent), FPage((RequireControls(Page), Page)), FCore(*FPage.Agente, *FPage.Clock),
      FSchedule(FCore, {FPage.T_Minuti, FPage.T_Ogni, FPage.Timer}) {
    FCore.SetHistory(FPage.History);
    connect(&FCore, &TPingCore::OutageBegan, this, &TPingMonitor::OutageBegan);
    connect(&FCore, &TPingCore::OutageLasts, this, &TPingMonitor::OutageLasts);
    connect(&FCore, &TPingCore::OutageEnded, this, &TPingMonitor::OutageEnded);
    connect(&FCore, &TPingCore::SlowBegan, this, &TPingMonitor::SlowBegan);
    connect(&FCore, &TPingCore::SlowLasts, this, &TPingMonitor::SlowLasts);
    connect(&FCore, &TPingCore::SlowEnded, this, &TPingMonitor::SlowEnded);
    FCore.SetSlowLimitMs(LimitMs());
    connect(this, &TPingMonitor::LimitChanged, this,
            [this](int Limit) { FCore.SetSlowLimitMs(Limit); });
    Connect();
}

TPingMonitor::~TPingMonitor() {
    // The client outlives the monitor; its reply must not reach a dead one.
    FPage.ICMP->OnReply = nullptr;
}

void TPingMonitor::SetUpPage(const TPingPage& P) {
    struct TSpinnerSetting {
        QSpinBox* Spinner;
        TWatchRules::TRange Range;
    };
    const TSpinnerSetting Spinners[] = {
        {P.ud_minuti, TWatchRules::RunMinutes},
        {P.ud_ogni, TWatchRules::EveryMinutes},
        {P.ud_limite_media_ms, TWatchRules::LimitMs},
        {P.ud_pacchetti_persi, TWatchRules::AlarmAfter},
    };
    for (const auto& S : Spinners) {
        S.Spinner->setRange(S.Range.Minimum, S.Range.Maximum);
        S.Spinner->setSingleStep(S.Range.Step);
        S.Spinner->setValue(S.Range.Default);
    }
    P.l_pacchetti_persi->setVisible(false);
    P.re_ping->setUndoRedoEnabled(false);
    P.ICMP->SetReceiveTimeout(ReceiveTimeoutMs);
    // Disabled; the two minute timers hold 1000 ms until the schedule sets them.
    P.T_Minuti->setInterval(1000);
    P.T_Ogni->setInterval(1000);
    P.Timer->setInterval(TWatchRules::PingIntervalMs);
}

void TPingMonitor::Connect() {
    const auto Bind = [this](auto* Sender, auto Signal, void (TPingMonitor::*Handler)()) {
        connect(Sender, Signal, this, [this, Handler] {
            if (FPage.RunHandler)
                FPage.RunHandler([this, Handler] { (this->*Handler)(); });
            else
                (this->*Handler)();
        });
    };
    Bind(FPage.btn_ping, &QPushButton::clicked, &TPingMonitor::btn_pingClick);
    Bind(FPage.btn_auto, &QPushButton::clicked, &TPingMonitor::btn_autoClick);
    Bind(FPage.btn_clear_log, &QPushButton::clicked, &TPingMonitor::btn_clear_logClick);
    Bind(FPage.T_Minuti, &QTimer::timeout, &TPingMonitor::T_MinutiTimer);
    Bind(FPage.T_Ogni, &QTimer::timeout, &TPingMonitor::T_OgniTimer);
    Bind(FPage.Timer, &QTimer::timeout, &TPingMonitor::TimerTimer);
    connect(FPage.ud_limite_media_ms, &QSpinBox::valueChanged, this, &TPingMonitor::LimitChanged);
    // Called inside ICMP.Ping: its failure belongs to the handler that pinged.
    FPage.ICMP->OnReply = [this](TNetIcmpClient& ASender, const TReplyStatus& AReplyStatus) {
        ICMPReply(ASender, AReplyStatus);
    };
}

int TPingMonitor::LimitMs() const {
    return FPage.ud_limite_media_ms->value();
}

void TPingMonitor::PrepareTarget() {
    if (TWatchRules::IsBlankHost(FPage.e_host->text().toStdString()))
        FPage.e_host->setText(QString::fromLatin1(TWatchRules::DefaultHost));
    FPage.ICMP->SetReceiveTimeout(ReceiveTimeoutMs);
}

void TPingMonitor::SetTargetHost() {
    // Read again and handed over as typed, blanks included: only a wholly blank
    // host is replaced, and that was done before.
    FPage.ICMP->SetHost(FPage.e_host->text().toStdString());
}

void TPingMonitor::btn_pingClick() {
    PrepareTarget();
    FPage.btn_ping->setEnabled(false);
    FPage.btn_auto->setEnabled(false);
    FCore.Begin(THistoryPeriodKind::Burst);
    const TFinally Enable([this] {
        FCore.End();
        FPage.btn_ping->setEnabled(true);
        FPage.btn_auto->setEnabled(true);
    });
    SetTargetHost();
    for (int i = 0; i < BurstPings; ++i) {
        FPage.ICMP->Ping();
        QCoreApplication::processEvents();
        // The pause deliberately handles no events: input waits for the next ping's turn.
        std::this_thread::sleep_for(FBurstPause);
    }
}

void TPingMonitor::ICMPReply(TNetIcmpClient& /*ASender*/, const TReplyStatus& AReplyStatus) {
    const TPingCore::TCounted Counted =
        FCore.Count(FCounters, FPage.ICMP->Host(), FPage.ICMP->Address(), AReplyStatus,
                    FPage.ud_pacchetti_persi->value());
    FPage.l_tot_time->setText(TPingStatistics::FormatTotTime(
        FCounters.tot_time, TLocaleFormats::TimeSeparator(*FPage.Clock)));
    AppendToPane(Counted.Line);
    ShowAverageAndLimit();
    ShowLossAndAlarm(Counted);
    ShowCounters();
    emit ReplyHandled(AReplyStatus, QDateTime::fromMSecsSinceEpoch(Counted.WhenMs));
}

void TPingMonitor::StopWatching() {
    FCore.Unmonitored();
}

void TPingMonitor::AppendToPane(const QString& Line) {
    FPage.re_ping->appendPlainText(Line);
    const auto Step = TPingStatistics::CountPaneLine(FCounters, PaneLineBound);
    FCounters = Step.Counters;
    // The agent has recorded the line already.
    if (Step.EmptyPane)
        FPage.re_ping->clear();
}

void TPingMonitor::ShowAverageAndLimit() {
    const double Average = TPingStatistics::Average(FCounters);
    FPage.l_tempi_medi->setText(
        TPingStatistics::FormatAverage(Average, TLocaleFormats::DecimalSeparator()));
    SetTrayImage(TPingStatistics::ImageForAverage(Average, FPage.ud_limite_media_ms->value()));
}

void TPingMonitor::ShowLossAndAlarm(const TPingCore::TCounted& Counted) {
    if (Counted.Lost)
        SetTrayImage(TPingStatistics::ImageLost);
    if (Counted.Alarm)
        RaiseAlarm();
    else
        FPage.l_pacchetti_persi->setVisible(false);
}

void TPingMonitor::RaiseAlarm() {
    // raise() keeps a window hidden to the tray hidden, as it should.
    FPage.Window->raise();
    FPage.l_pacchetti_persi->setVisible(true);
    QApplication::beep();
}

void TPingMonitor::ShowCounters() {
    FPage.l_n_pacchetti_persi->setText(QString::number(FCounters.n_pacchetti_persi));
    FPage.l_n_ping->setText(QString::number(FCounters.n_ping));
    FPage.l_perc_persi->setText(QString::number(
        TPingStatistics::LostPercentage(FCounters.n_pacchetti_persi, FCounters.n_ping)));
}

void TPingMonitor::SetTrayImage(int Index) {
    if (FPage.TrayImage) {
        FPage.TrayImage(Index);
        return;
    }
    FPage.TrayIcon->SetIconIndex(Index);
}

void TPingMonitor::btn_clear_logClick() {
    FPage.re_ping->clear();
    FCounters = TPingStatistics::Clear(FCounters);
    FPage.l_tempi_medi->clear();
    FPage.l_n_ping->clear();
    FPage.l_tot_time->clear();
    FPage.l_n_pacchetti_persi->clear();
    emit StatisticsCleared();
}

void TPingMonitor::btn_autoClick() {
    if (!FCounters.auto_attivo) {
        FPage.btn_ping->setEnabled(false);
        FCounters.auto_attivo = true;
        FPage.btn_auto->setText(tr("Ferma auto"));
        FSchedule.Start(FPage.ud_minuti->value(), FPage.ud_ogni->value());
    } else {
        FSchedule.Stop();
        FPage.btn_ping->setEnabled(true);
        FCounters.auto_attivo = false;
        FCounters.n_righe_log = 0;
        FPage.btn_auto->setText(tr("Auto"));
    }
}

void TPingMonitor::T_MinutiTimer() {
    FSchedule.RunEnds();
}

void TPingMonitor::T_OgniTimer() {
    FSchedule.RestEnds();
}

void TPingMonitor::TimerTimer() {
    // A tick that came due while a ping blocked would otherwise nest one level
    // deeper per ping; the timer's own pace already keeps the next one coming.
    if (FInTimerTimer)
        return;
    FInTimerTimer = true;
    const TFinally Leave([this] { FInTimerTimer = false; });

    PrepareTarget();
    // Handed over as typed, blanks included: only a wholly blank host was replaced.
    FCore.PingOfRun(*FPage.ICMP, FPage.e_host->text().toStdString(), FPage.WindowName.toStdString(),
                    [] { QCoreApplication::processEvents(); });
}
