// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TClock.h"

#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QWidget;
class TAgente;
class THistoryStore;
class TNetIcmpClient;
class TTrayIcon;

// The controls and components of the main window that the monitoring handlers
// use. Non-owning: the window owns them all and outlives the handlers. Each
// spinner stands for both its edit (e_...) and its up-down (ud_...).
struct TPingPage {
    QLineEdit* e_host = nullptr;
    QPushButton* btn_ping = nullptr;
    QPushButton* btn_auto = nullptr;
    QPushButton* btn_clear_log = nullptr;
    QSpinBox* ud_minuti = nullptr;
    QSpinBox* ud_ogni = nullptr;
    QSpinBox* ud_limite_media_ms = nullptr;
    QSpinBox* ud_pacchetti_persi = nullptr;
    QLabel* l_tempi_medi = nullptr;
    QLabel* l_n_ping = nullptr;
    QLabel* l_tot_time = nullptr;
    QLabel* l_n_pacchetti_persi = nullptr;
    QLabel* l_perc_persi = nullptr;
    QLabel* l_pacchetti_persi = nullptr;
    QPlainTextEdit* re_ping = nullptr;
    TNetIcmpClient* ICMP = nullptr;
    TAgente* Agente = nullptr;
    // Where every counted ping and the schedule's periods are kept; none keeps nothing.
    THistoryStore* History = nullptr;
    TTrayIcon* TrayIcon = nullptr;
    // Takes the tray image the page's pings call for; unset, TrayIcon shows it as it is.
    std::function<void(int)> TrayImage;
    QTimer* T_Minuti = nullptr;
    QTimer* T_Ogni = nullptr;
    QTimer* Timer = nullptr;
    QWidget* Window = nullptr;
    QString WindowName = QStringLiteral("F_Main");
    // Dates and times of the reply lines.
    const TClock* Clock = &TClock::System();
    // Runs an event handler of the page; the window sends what escapes it to
    // its error box. Unset, handlers run as they are.
    std::function<void(const std::function<void()>&)> RunHandler;
};
