// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingMonitor.h"
#include "TPingPage.h"

#include "TAgente.h"
#include "THistoryStore.h"
#include "TImageList.h"
#include "TNetIcmpClient.h"
#include "TReplyStatus.h"
#include "TTrayIcon.h"
#include "ZirkoImages.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu> // TTrayIcon.h holds a QPointer<QMenu>, which needs the full type
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

// A Ping page built from real controls and components, as the main window
// holds them, with its log agent writing into a private folder. Its client
// sends over ANet, or over a context of its own on the system's sockets.
class TPingPageFixture {
public:
    explicit TPingPageFixture(const TClock& Clock = TClock::System(), TNetContext* ANet = nullptr)
        : Icmp(ANet != nullptr ? *ANet : OwnNet) {
        Window = std::make_unique<QWidget>();
        Window->setObjectName(QStringLiteral("F_Main"));
        auto* W = Window.get();
        Page.e_host = new QLineEdit(W);
        Page.btn_ping = new QPushButton(QStringLiteral("5 Ping"), W);
        Page.btn_auto = new QPushButton(QStringLiteral("Auto"), W);
        Page.btn_clear_log = new QPushButton(QStringLiteral("Clear log"), W);
        Page.ud_minuti = new QSpinBox(W);
        Page.ud_ogni = new QSpinBox(W);
        Page.ud_limite_media_ms = new QSpinBox(W);
        Page.ud_pacchetti_persi = new QSpinBox(W);
        Page.l_tempi_medi = new QLabel(W);
        Page.l_n_ping = new QLabel(W);
        Page.l_tot_time = new QLabel(W);
        Page.l_n_pacchetti_persi = new QLabel(W);
        Page.l_perc_persi = new QLabel(W);
        Page.l_pacchetti_persi = new QLabel(QStringLiteral("Attenzione parcchetti persi !!!"), W);
        Page.re_ping = new QPlainTextEdit(W);
        Page.T_Minuti = new QTimer(W);
        Page.T_Ogni = new QTimer(W);
        Page.Timer = new QTimer(W);
        Page.ICMP = &Icmp;
        Page.Agente = &Agente;
        Page.History = &History; // closed, so it keeps nothing, until a test opens it
        auto* Images = new TImageList(W);
        ZirkoAddRadarImages(*Images);
        Tray = std::make_unique<TTrayIcon>(TrayHandler, W);
        Tray->SetIconList(Images);
        Page.TrayIcon = Tray.get();
        Page.Window = W;
        Page.WindowName = QStringLiteral("F_Main");
        Page.Clock = &Clock;
        // The window's own set-up, so the tests cannot pass on a page it would not build.
        TPingMonitor::SetUpPage(Page);

        Agente.SetPath_Agente(LogDir.path().toStdString() + "/");
        Agente.SetApplicationName("Zirko");
        Agente.SetFileName("ZIRKO");
        Agente.SetActiveLog(true);
        Agente.StartUp();

        Monitor = std::make_unique<TPingMonitor>(Page);
    }

    ~TPingPageFixture() {
        Agente.ShutDown();
        Monitor.reset();
        Tray.reset();
        Window.reset();
    }

    static TReplyStatus Answer(uint32_t Ms, uint16_t Sequence = 1) {
        return {72, "192.0.2.10", 0, Sequence, Ms, 54, skEchoReply};
    }
    static TReplyStatus Lost(uint16_t Sequence = 1) {
        return {0, "0.0.0.0", 0, Sequence, 1000, 0, skTimedOut};
    }
    void Reply(const TReplyStatus& Status) { Monitor->ICMPReply(Icmp, Status); }
    const TPingCounters& Counters() const { return Monitor->Counters(); }
    // A fresh monitor on the same page, its counters as at program start; the
    // client's reply goes to it, and it keeps the shortened pause and minute.
    void RestartMonitor() {
        const auto Pause = Monitor->BurstPause();
        const auto Minute = Monitor->MinuteLength();
        Monitor.reset();
        Monitor = std::make_unique<TPingMonitor>(Page);
        Monitor->SetBurstPause(Pause);
        Monitor->SetMinuteLength(Minute);
    }

    int PaneLines() const {
        return Page.re_ping->toPlainText().isEmpty() ? 0 : Page.re_ping->blockCount();
    }
    QString LastPaneLine() const { return Page.re_ping->document()->lastBlock().text(); }
    std::string LogText() const {
        std::ifstream In(Agente.LogFileName(), std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }

    QTemporaryDir LogDir;
    std::unique_ptr<QWidget> Window;
    TNetContext OwnNet;
    TNetIcmpClient Icmp;
    TAgente Agente;
    THistoryStore History;
    TTrayIconHandler TrayHandler; // outlives the icon
    std::unique_ptr<TTrayIcon> Tray;
    TPingPage Page;
    std::unique_ptr<TPingMonitor> Monitor;
};
