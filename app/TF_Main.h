// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TFatalMessageBox.h"
#include "TZirkoServices.h"

#include <QWidget>

#include <memory>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QTimer;
class QTreeWidget;
class TAgente;
class TContinuousTraceView;
class TGraphPage;
class THistoryKeeper;
class TImageList;
class TNetIcmpClient;
class TNetResponsiveWait;
class TPingMonitor;
struct TPingPage;
class TTraceRunner;
class TTargetsPage;
class TTargetsWatcher;
class TTrayIcon;
class TValueLabel;

// The program's one window. Every control and component carries the name the
// other subsystems use, as a member and as its objectName. Each edit with an
// up-down spinner is one QSpinBox: ud_... is the spinner, e_... its own edit.
class TF_Main : public QWidget {
    Q_OBJECT

public:
    // Client area at 96 dpi; Qt multiplies it by the screen's devicePixelRatio.
    static constexpr int ClientWidth = 786;
    static constexpr int ClientHeight = 549;

    // LogFolder is where the log agent keeps its file; the executable's folder
    // (the user's state folder for an installed copy) unless a test points it elsewhere.
    // The services must outlive the window.
    TF_Main(const std::string& LogFolder, TZirkoServices Services);
    ~TF_Main() override;
    TF_Main(const TF_Main&) = delete;
    TF_Main& operator=(const TF_Main&) = delete;

    static std::string DefaultLogFolder();

    // Page control and pages.
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet2;
    TGraphPage* TabSheet3;
    // "Bersagli": TargetsPage is made inside TabSheet4 when the tab is first shown.
    QWidget* TabSheet4;
    TTargetsPage* TargetsPage = nullptr;
    // The watch of the page's list; null without a probe port (tests that need none).
    TTargetsWatcher* TargetsWatcher = nullptr;

    // "Ping" page.
    QWidget* P_bottoni;
    QLabel* Label1;
    QLineEdit* e_host;
    QPushButton* btn_ping;
    QPushButton* btn_auto;
    QPushButton* btn_clear_log;
    QLabel* Label2;
    QSpinBox* ud_minuti;
    QLineEdit* e_minuti;
    QLabel* Label3;
    QSpinBox* ud_ogni;
    QLineEdit* e_ogni;
    QLabel* Label7;
    QSpinBox* ud_limite_media_ms;
    QLineEdit* e_limite_media_ms;
    QLabel* Label9;
    QSpinBox* ud_pacchetti_persi;
    QLineEdit* e_pacchetti_persi;
    QLabel* Label4;
    TValueLabel* l_tempi_medi;
    QLabel* Label8;
    TValueLabel* l_n_ping;
    QLabel* Label12;
    TValueLabel* l_tot_time;
    QLabel* Label6;
    TValueLabel* l_n_pacchetti_persi;
    QLabel* Label11;
    TValueLabel* l_perc_persi;
    QLabel* l_pacchetti_persi;
    QPlainTextEdit* re_ping;

    // "Traceroute" page, made inside TabSheet2 when the tab is first shown; null before.
    QWidget* Panel4 = nullptr;
    QLabel* Label5 = nullptr;
    QSpinBox* seMaxHops = nullptr;
    QPushButton* btn_execute = nullptr;
    QPushButton* btn_continuo = nullptr;
    QPushButton* btn_esporta_traccia = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* lvTrace = nullptr;
    QListWidget* lbLog = nullptr;
    // The continuous trace's table and verdict, under Splitter1 in Splitter2.
    QSplitter* Splitter2 = nullptr;
    TContinuousTraceView* TraceContinuous = nullptr;

    // Non-visual components, in creation order.
    std::unique_ptr<TNetResponsiveWait> NetResponsiveWait;
    std::unique_ptr<TNetIcmpClient> ICMP;
    TAgente* Agente; // the program's, handed in
    QTimer* T_Minuti;
    QTimer* T_Ogni;
    QTimer* Timer;
    std::unique_ptr<TNetIcmpClient> NetIcmpClient;
    TTrayIcon* TrayIcon;
    QMenu* pum_trayicon;
    QAction* pum_trayicon_Nascondi;
    QAction* pum_trayicon_Ripristina;
    QAction* N1;
    QAction* pum_trayicon_Chiudi;
    TImageList* il_radar;

    // Handlers bound by the window; the Ping page binds its own.
    void FormCreate();
    void FormClose();
    void btn_executeClick();
    void pum_trayicon_NascondiClick();
    void pum_trayicon_RipristinaClick();
    void pum_trayicon_ChiudiClick();
    void TrayIconClick();

    // The Ping page's behaviour and counters; it binds the page's events itself.
    TPingMonitor& PingMonitor() { return *FPingMonitor; }
    const TPingMonitor& PingMonitor() const { return *FPingMonitor; }

    // The tray's shared receiver the window's icon was made with.
    TTrayIconHandler& TrayHandler() const { return FServices.Tray; }

    // How many times the close handler has run (it runs once).
    int FormCloseCount() const { return FFormCloseCount; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void CreatePageControl();
    void CreatePingPage();
    // "Bersagli" and the watch of its list (TF_MainTargets.cpp).
    void CreateTargetsTab();
    void StartTargets();
    void ShowTargets();
    // The tray's image and tooltip: the worst of the Ping page's host and the targets.
    void ShowTrayState();
    void JoinDesktop();
    // The host field's completions: the history's hosts and the targets'.
    void OfferHosts();
    std::string TargetsFile() const;
    void CreatePingPanel();
    void PlacePingPanel();
    // "Traceroute" and what only its page needs (TF_MainTrace.cpp).
    void CreateTraceTab();
    void CreateTracePage();
    void CreateTracePanel();
    // The hop list and the trace's log, side by side in Splitter1.
    void CreateTraceLists();
    void BindTracePage();
    // What "Max number of hops:" reads, or its default before the page is made.
    int MaxHops() const;
    void CreateComponents();
    void ApplyComponentSettings();
    void BindEvents();
    // The monitor's outages to the desktop's notifications, and their "Mostra" back.
    void ConnectHistory();
    void ConnectNotifier();
    // The Ping page's controls as the monitor takes them.
    TPingPage PingPage();
    void SetBuddies();
    void SetTabOrder();
    // Connects a signal to a handler through the central error box.
    template <typename TSender, typename TSignal>
    void Bind(TSender* Sender, TSignal Signal, void (TF_Main::*Handler)());

    std::string FLogFolder;
    TZirkoServices FServices;
    THistoryKeeper* FHistoryKeeper = nullptr;
    TFatalMessageBox FFatalBox;
    std::unique_ptr<TPingMonitor> FPingMonitor;
    std::unique_ptr<TTraceRunner> FTraceRunner; // made with the Traceroute page
    int FFormCloseCount = 0;
    int FPingImage = 0; // the tray image the Ping page's pings last called for
};

// The one main window, reachable by every subsystem; null before it is
// created and after it is destroyed.
extern TF_Main* F_Main;
