// SPDX-License-Identifier: GPL-3.0-or-later
// Pushes 20,000 crafted replies through TPingMonitor::ICMPReply on a shown
// window (offscreen platform unless QT_QPA_PLATFORM says otherwise), one reply
// per event-loop turn so the pane repaints and lays out as it does in use.
// Prints the median cost of appends 1-100 and 9,901-10,000 of each pane
// period, the total time and the resident memory afterwards.
#include "TPingMonitor.h"
#include "TPingPage.h"

#include "TAgente.h"
#include "TImageList.h"
#include "TNetIcmpClient.h"
#include "TReplyStatus.h"
#include "TTrayIcon.h"
#include "ZirkoImages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu> // TTrayIcon.h holds a QPointer<QMenu>, which needs the full type
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int Replies = 20000;

double MedianUs(std::vector<double> V) {
    std::sort(V.begin(), V.end());
    const size_t n = V.size();
    return n % 2 ? V[n / 2] : (V[n / 2 - 1] + V[n / 2]) / 2;
}

std::string StatusField(const char* Name) {
    std::ifstream In("/proc/self/status");
    std::string Line;
    while (std::getline(In, Line))
        if (Line.rfind(Name, 0) == 0)
            return Line.substr(Line.find_first_not_of(" \t", std::string(Name).size()));
    return "?";
}

QSpinBox* Spinner(QWidget* Parent, int Min, int Max, int Value) {
    auto* S = new QSpinBox(Parent);
    S->setRange(Min, Max);
    S->setValue(Value);
    return S;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(argc, argv);
    QTemporaryDir LogDir;

    QWidget Window;
    Window.resize(786, 549);
    auto* Layout = new QVBoxLayout(&Window);
    TPingPage P;
    P.e_host = new QLineEdit(QStringLiteral("127.0.0.1"), &Window);
    P.btn_ping = new QPushButton(QStringLiteral("5 Ping"), &Window);
    P.btn_auto = new QPushButton(QStringLiteral("Auto"), &Window);
    P.btn_clear_log = new QPushButton(QStringLiteral("Clear log"), &Window);
    P.ud_minuti = Spinner(&Window, 1, 60, 1);
    P.ud_ogni = Spinner(&Window, 1, 60, 5);
    P.ud_limite_media_ms = Spinner(&Window, 10, 10000, 250);
    P.ud_pacchetti_persi = Spinner(&Window, 1, 1000, 10);
    P.l_tempi_medi = new QLabel(&Window);
    P.l_n_ping = new QLabel(&Window);
    P.l_tot_time = new QLabel(&Window);
    P.l_n_pacchetti_persi = new QLabel(&Window);
    P.l_perc_persi = new QLabel(&Window);
    P.l_pacchetti_persi = new QLabel(QStringLiteral("Attenzione parcchetti persi !!!"), &Window);
    P.l_pacchetti_persi->hide();
    P.re_ping = new QPlainTextEdit(&Window);
    P.re_ping->setUndoRedoEnabled(false);
    P.re_ping->setFont(QFont(QStringLiteral("Courier New"), 8));
    for (QWidget* W : std::initializer_list<QWidget*>{P.e_host, P.l_tempi_medi, P.l_n_ping,
                                                      P.l_tot_time, P.l_perc_persi, P.re_ping})
        Layout->addWidget(W);
    P.T_Minuti = new QTimer(&Window);
    P.T_Ogni = new QTimer(&Window);
    P.Timer = new QTimer(&Window);
    TNetContext Sockets;
    TNetIcmpClient Icmp(Sockets);
    P.ICMP = &Icmp;
    TAgente Agente;
    Agente.SetPath_Agente(LogDir.path().toStdString() + "/");
    Agente.SetApplicationName("Zirko");
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();
    P.Agente = &Agente;
    auto* Images = new TImageList(&Window);
    ZirkoAddRadarImages(*Images);
    TTrayIconHandler TrayHandler;
    TTrayIcon Tray(TrayHandler, &Window);
    Tray.SetIconList(Images);
    P.TrayIcon = &Tray;
    P.Window = &Window;
    TPingMonitor Monitor(P);
    Window.show();

    std::vector<double> CostUs;
    CostUs.reserve(Replies);
    int Sent = 0;
    const auto Start = std::chrono::steady_clock::now();
    QTimer Pump;
    Pump.setInterval(0);
    QObject::connect(&Pump, &QTimer::timeout, [&] {
        const bool Lost = Sent % 97 == 96;
        const TReplyStatus Status{Lost ? 0 : 72,
                                  Lost ? "0.0.0.0" : "192.0.2.10",
                                  0,
                                  static_cast<uint16_t>(3489 + Sent),
                                  Lost ? 1000u : static_cast<uint32_t>(1 + Sent % 50),
                                  static_cast<uint8_t>(Lost ? 0 : 54),
                                  Lost ? skTimedOut : skEchoReply};
        const auto T0 = std::chrono::steady_clock::now();
        Monitor.ICMPReply(Icmp, Status);
        CostUs.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - T0)
                .count());
        if (++Sent == Replies)
            App.quit();
    });
    Pump.start();
    App.exec();
    const double TotalS =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Agente.ShutDown();

    const auto Slice = [&](int From, int To) {
        return MedianUs(std::vector<double>(CostUs.begin() + From - 1, CostUs.begin() + To));
    };
    const double First = Slice(1, 100), Last = Slice(9901, 10000);
    const double First2 = Slice(10002, 10101), Last2 = Slice(19902, 20000) /* 9,901-9,999 */;
    std::printf("replies                         %d\n", Replies);
    std::printf("median append 1-100             %.1f us\n", First);
    std::printf("median append 9,901-10,000      %.1f us  (ratio %.2f)\n", Last, Last / First);
    std::printf("second period: 1-100 / 9,901-9,999 %.1f us / %.1f us (ratio %.2f)\n", First2,
                Last2, Last2 / First2);
    std::printf("total time                      %.2f s  (%.1f us per reply)\n", TotalS,
                TotalS * 1e6 / Replies);
    std::printf("resident memory after the run   %s (peak %s)\n", StatusField("VmRSS:").c_str(),
                StatusField("VmHWM:").c_str());
    std::printf("pane lines at the end           %d, n_righe_log %d\n", P.re_ping->blockCount(),
                Monitor.Counters().n_righe_log);
    return 0;
}
