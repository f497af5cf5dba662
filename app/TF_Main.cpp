// SPDX-License-Identifier: GPL-3.0-or-later
#include "TF_Main.h"

#include "TControlFactory.h"
#include "TFixedLayout.h"
#include "TValueLabel.h"
#include "TZirkoApplication.h"

#include "LogFolder.h"
#include "TAgente.h"
#include "TDesktopNotifier.h"
#include "TFirstPaint.h"
#include "TGraphPage.h"
#include "THistoryKeeper.h"
#include "THistoryStore.h"
#include "TNetIcmpClient.h"
#include "TNetResponsiveWait.h"
#include "TOutageEvidence.h"
#include "TPingMonitor.h"
#include "TPingPage.h"
#include "TTraceRunner.h"
#include "TTrayIcon.h"
#include "ZirkoImages.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

TF_Main* F_Main = nullptr;

namespace {

constexpr QSize PingButtonSize(75, 17);
constexpr int ValueLabelWidth = 89;

} // namespace

std::string TF_Main::DefaultLogFolder() {
    return LogFolder();
}

TF_Main::TF_Main(const std::string& LogFolder, TZirkoServices Services)
    : QWidget(nullptr), FLogFolder(LogFolder), FServices(Services) {
    F_Main = this;
    setObjectName(QStringLiteral("F_Main"));
    setWindowTitle(QStringLiteral("Zirko"));
    // The application's icon, decoded once; a window made without one decodes its own.
    setWindowIcon(QGuiApplication::windowIcon().isNull() ? ZirkoProgramIcon()
                                                         : QGuiApplication::windowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(
        TControlFactory::WindowFont(QStringLiteral("MS Sans Serif"), QFontDatabase::GeneralFont));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);
    setFixedSize(ClientWidth, ClientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    CreatePageControl();
    CreateComponents();
    ApplyComponentSettings();
    BindEvents();
    SetBuddies();
    SetTabOrder();
    FormCreate();
    StartTargets();
    FHistoryKeeper->OpenOnceDrawn(this, FLogFolder);
    TFirstPaint::Then(this, this, std::chrono::milliseconds(THistoryKeeper::LatestOpenMs),
                      [this] { JoinDesktop(); });
}

TF_Main::~TF_Main() {
    // Handlers go before the components they point at.
    FTraceRunner.reset();
    FPingMonitor.reset();
    Agente->SetFatalReporter(nullptr);
    if (F_Main == this) {
        F_Main = nullptr;
    }
}

void TF_Main::CreatePageControl() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto* client = new QVBoxLayout(this);
    client->setContentsMargins(0, 0, 0, 0);
    client->addWidget(PageControl1);
    CreatePingPage();
    CreateTraceTab();
    TabSheet3 = new TGraphPage;
    PageControl1->addTab(TabSheet3, tr("Grafico"));
    CreateTargetsTab();
}

void TF_Main::CreatePingPage() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(TabSheet1, tr("Ping"));
    CreatePingPanel();

    re_ping = new QPlainTextEdit(TabSheet1);
    re_ping->setObjectName(QStringLiteral("re_ping"));
    re_ping->setAccessibleName(tr("Log ping"));
    re_ping->setFont(
        TControlFactory::WindowFont(QStringLiteral("Courier New"), QFontDatabase::FixedFont));
    re_ping->setReadOnly(false);
    re_ping->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    re_ping->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    re_ping->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    re_ping->setMaximumBlockCount(0);

    auto* page = new QVBoxLayout(TabSheet1);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(P_bottoni);
    page->addWidget(re_ping, 1);
}

void TF_Main::CreatePingPanel() {
    P_bottoni = new QWidget(TabSheet1);
    P_bottoni->setObjectName(QStringLiteral("P_bottoni"));
    P_bottoni->setFixedHeight(113);

    Label1 = TControlFactory::Label(P_bottoni, "Label1", tr("Indirizzo/host:"));
    e_host = new QLineEdit(P_bottoni);
    e_host->setObjectName(QStringLiteral("e_host"));
    e_host->setText(QStringLiteral("www.debian.org"));
    e_host->setAccessibleName(Label1->text());
    btn_ping = TControlFactory::Button(P_bottoni, "btn_ping", tr("5 Ping"), PingButtonSize);
    btn_auto = TControlFactory::Button(P_bottoni, "btn_auto", tr("Auto"), PingButtonSize);
    btn_clear_log =
        TControlFactory::Button(P_bottoni, "btn_clear_log", tr("Clear log"), PingButtonSize);
    // Ranges and starting values are the monitor's (TPingMonitor::SetUpPage).
    const auto spinner = [this](const char* EditName, const char* UpDownName, QLabel* Caption,
                                QLineEdit*& Edit) {
        return TControlFactory::Spinner(P_bottoni, EditName, UpDownName, Caption->text(), Edit);
    };
    Label2 = TControlFactory::Label(P_bottoni, "Label2", tr("Esegui per minuti:"));
    ud_minuti = spinner("e_minuti", "ud_minuti", Label2, e_minuti);
    Label3 = TControlFactory::Label(P_bottoni, "Label3", tr("Ogni minuti:"));
    ud_ogni = spinner("e_ogni", "ud_ogni", Label3, e_ogni);
    Label7 = TControlFactory::Label(P_bottoni, "Label7", tr("Limite ms media:"));
    ud_limite_media_ms =
        spinner("e_limite_media_ms", "ud_limite_media_ms", Label7, e_limite_media_ms);
    Label9 = TControlFactory::Label(P_bottoni, "Label9", tr("Allarme dopo:"));
    ud_pacchetti_persi =
        spinner("e_pacchetti_persi", "ud_pacchetti_persi", Label9, e_pacchetti_persi);
    l_pacchetti_persi = TControlFactory::Label(P_bottoni, "l_pacchetti_persi",
                                               tr("Attenzione parcchetti persi !!!"));
    const auto value = [this](const char* Name, QLabel*& Caption, const char* CaptionName,
                              const QString& Text) {
        Caption = TControlFactory::Label(P_bottoni, CaptionName, Text);
        return TControlFactory::ValueLabel(P_bottoni, Name, Text);
    };
    l_tempi_medi = value("l_tempi_medi", Label4, "Label4", tr("Tempi medi di risposta:"));
    l_n_ping = value("l_n_ping", Label8, "Label8", tr("N. ping:"));
    l_tot_time = value("l_tot_time", Label12, "Label12", tr("Tot. time:"));
    l_n_pacchetti_persi = value("l_n_pacchetti_persi", Label6, "Label6", tr("Pacchetti persi:"));
    l_perc_persi = value("l_perc_persi", Label11, "Label11", tr("% persi:"));
    PlacePingPanel();
}

void TF_Main::PlacePingPanel() {
    // Rows and the columns the controls line up on; an up-down is 17 pixels
    // wide beside its edit, a value sits 2 pixels below its caption's top.
    const int row[] = {8, 34, 60, 86};
    constexpr int left = 8, edit = 120, middle = 200, middleValue = 340, right = 440,
                  rightValue = 505, far = 600, farValue = 665;
    constexpr int upDown = 17, h = TControlFactory::RowHeight, valueW = ValueLabelWidth,
                  valueH = 17;
    const struct {
        QWidget* Control;
        QRect Place;
    } places[] = {
        {Label1, {left, row[0], 110, h}},
        {e_host, {edit, row[0], 201, h}},
        {btn_ping, {{340, row[0] + 2}, PingButtonSize}},
        {btn_auto, {{423, row[0] + 2}, PingButtonSize}},
        {btn_clear_log, {{506, row[0] + 2}, PingButtonSize}},
        {Label2, {left, row[1], 110, h}},
        {ud_minuti, {edit, row[1], 41 + upDown, h}},
        {Label3, {left, row[2], 110, h}},
        {ud_ogni, {edit, row[2], 41 + upDown, h}},
        {Label7, {left, row[3], 110, h}},
        {ud_limite_media_ms, {edit, row[3], 41 + upDown, h}},
        {Label9, {middle, row[3], 130, h}},
        {ud_pacchetti_persi, {middleValue, row[3], 49 + upDown, h}},
        {l_pacchetti_persi, {right, row[3], 300, h}},
        {Label4, {middle, row[1], 135, h}},
        {l_tempi_medi, {middleValue, row[1] + 2, valueW, valueH}},
        {Label8, {right, row[1], 60, h}},
        {l_n_ping, {rightValue, row[1] + 2, valueW, valueH}},
        {Label12, {far, row[1], 60, h}},
        {l_tot_time, {farValue, row[1] + 2, valueW, valueH}},
        {Label6, {middle, row[2], 135, h}},
        {l_n_pacchetti_persi, {middleValue, row[2] + 2, valueW, valueH}},
        // This pair stands a little higher, right under "N. ping:".
        {Label11, {right, row[2] - 4, 60, h}},
        {l_perc_persi, {rightValue, row[2] - 2, valueW, valueH}},
    };
    auto* panel = new TFixedLayout(P_bottoni);
    for (const auto& [control, place] : places) {
        panel->AddWidget(control, place);
    }
}

void TF_Main::SetBuddies() {
    // Assistive technology relates each caption to the control it names.
    const std::pair<QLabel*, QWidget*> pairs[] = {
        {Label1, e_host},
        {Label2, ud_minuti},
        {Label3, ud_ogni},
        {Label7, ud_limite_media_ms},
        {Label9, ud_pacchetti_persi},
        {Label4, l_tempi_medi},
        {Label8, l_n_ping},
        {Label12, l_tot_time},
        {Label6, l_n_pacchetti_persi},
        {Label11, l_perc_persi},
    };
    for (const auto& [caption, control] : pairs) {
        caption->setBuddy(control);
    }
}

void TF_Main::SetTabOrder() {
    QWidget::setTabOrder(e_host, btn_ping);
    QWidget::setTabOrder(btn_ping, ud_minuti);
    QWidget::setTabOrder(ud_minuti, ud_ogni);
    QWidget::setTabOrder(ud_ogni, btn_auto);
    QWidget::setTabOrder(btn_auto, ud_limite_media_ms);
    QWidget::setTabOrder(ud_limite_media_ms, btn_clear_log);
    QWidget::setTabOrder(btn_clear_log, ud_pacchetti_persi);
    QWidget::setTabOrder(ud_pacchetti_persi, re_ping);
}

void TF_Main::CreateComponents() {
    NetResponsiveWait = std::make_unique<TNetResponsiveWait>(FServices.Net);
    ICMP = std::make_unique<TNetIcmpClient>(FServices.Net);
    Agente = &FServices.Agente;
    T_Minuti = new QTimer(this);
    T_Minuti->setObjectName(QStringLiteral("T_Minuti"));
    T_Ogni = new QTimer(this);
    T_Ogni->setObjectName(QStringLiteral("T_Ogni"));
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    NetIcmpClient = std::make_unique<TNetIcmpClient>(FServices.Net);
    TrayIcon = new TTrayIcon(FServices.Tray, this);
    TrayIcon->setObjectName(QStringLiteral("TrayIcon"));
    pum_trayicon = new QMenu(this);
    pum_trayicon->setObjectName(QStringLiteral("pum_trayicon"));
    pum_trayicon_Nascondi = pum_trayicon->addAction(tr("Nascondi"));
    pum_trayicon_Nascondi->setObjectName(QStringLiteral("pum_trayicon_Nascondi"));
    pum_trayicon_Ripristina = pum_trayicon->addAction(tr("Ripristina"));
    pum_trayicon_Ripristina->setObjectName(QStringLiteral("pum_trayicon_Ripristina"));
    N1 = pum_trayicon->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    pum_trayicon_Chiudi = pum_trayicon->addAction(tr("Chiudi"));
    pum_trayicon_Chiudi->setObjectName(QStringLiteral("pum_trayicon_Chiudi"));
    il_radar = new TImageList(this);
    il_radar->setObjectName(QStringLiteral("il_radar"));
    ZirkoAddRadarImages(*il_radar);
}

void TF_Main::ApplyComponentSettings() {
    Agente->SetName("Agente");
    Agente->SetApplicationName("Zirko");
    Agente->SetFileName("Zirko");
    Agente->SetActiveLog(true);
    Agente->SetBackupLog(true);
    NetIcmpClient->SetReceiveTimeout(0);
    TrayIcon->SetCycleInterval(0);
    TrayIcon->SetIcon(ZirkoRadarImage(0));
    TrayIcon->HoldDock();
    TrayIcon->SetIconVisible(true);
    TrayIcon->SetIconIndex(0);
    // References between components resolve once all of them exist.
    TrayIcon->SetIconList(il_radar);
    TrayIcon->SetPopupMenu(pum_trayicon);
    TrayIcon->Loaded();
}

template <typename TSender, typename TSignal>
void TF_Main::Bind(TSender* Sender, TSignal Signal, void (TF_Main::*Handler)()) {
    connect(Sender, Signal, this,
            TZirkoApplication::Guarded([this, Handler] { (this->*Handler)(); }));
}

TPingPage TF_Main::PingPage() {
    TPingPage ping;
    ping.e_host = e_host;
    ping.btn_ping = btn_ping;
    ping.btn_auto = btn_auto;
    ping.btn_clear_log = btn_clear_log;
    ping.ud_minuti = ud_minuti;
    ping.ud_ogni = ud_ogni;
    ping.ud_limite_media_ms = ud_limite_media_ms;
    ping.ud_pacchetti_persi = ud_pacchetti_persi;
    ping.l_tempi_medi = l_tempi_medi;
    ping.l_n_ping = l_n_ping;
    ping.l_tot_time = l_tot_time;
    ping.l_n_pacchetti_persi = l_n_pacchetti_persi;
    ping.l_perc_persi = l_perc_persi;
    ping.l_pacchetti_persi = l_pacchetti_persi;
    ping.re_ping = re_ping;
    ping.ICMP = ICMP.get();
    ping.Agente = Agente;
    ping.Clock = &FServices.Clock();
    ping.TrayIcon = TrayIcon;
    // The tray shows the worse of the Ping page's image and the targets'.
    ping.TrayImage = [this](int Image) {
        FPingImage = Image;
        ShowTrayState();
    };
    ping.T_Minuti = T_Minuti;
    ping.T_Ogni = T_Ogni;
    ping.Timer = Timer;
    ping.Window = this;
    ping.WindowName = objectName();
    ping.RunHandler = [](const std::function<void()>& Handler) {
        TZirkoApplication::Guarded(Handler)();
    };
    return ping;
}

void TF_Main::BindEvents() {
    const TPingPage ping = PingPage();
    TPingMonitor::SetUpPage(ping);
    FPingMonitor = std::make_unique<TPingMonitor>(ping);

    TabSheet3->SetClock(&FServices.Clock());
    TabSheet3->SetErrorBox(&TZirkoApplication::ShowError);
    // The graph plots the same pings the statistics count, and restarts with them.
    connect(FPingMonitor.get(), &TPingMonitor::ReplyHandled, TabSheet3, &TGraphPage::AddReply);
    connect(FPingMonitor.get(), &TPingMonitor::StatisticsCleared, TabSheet3, &TGraphPage::Clear);
    TabSheet3->SetLimit(FPingMonitor->LimitMs());
    connect(FPingMonitor.get(), &TPingMonitor::LimitChanged, TabSheet3, &TGraphPage::SetLimit);
    connect(FPingMonitor.get(), &TPingMonitor::OutageBegan, TabSheet3, &TGraphPage::OutageChanged);
    connect(FPingMonitor.get(), &TPingMonitor::OutageLasts, TabSheet3, &TGraphPage::OutageLasts);
    connect(FPingMonitor.get(), &TPingMonitor::OutageEnded, TabSheet3, &TGraphPage::OutageChanged);
    connect(FPingMonitor.get(), &TPingMonitor::SlowBegan, TabSheet3, &TGraphPage::OutageChanged);
    connect(FPingMonitor.get(), &TPingMonitor::SlowEnded, TabSheet3, &TGraphPage::OutageChanged);
    ConnectHistory();

    Bind(pum_trayicon_Nascondi, &QAction::triggered, &TF_Main::pum_trayicon_NascondiClick);
    Bind(pum_trayicon_Ripristina, &QAction::triggered, &TF_Main::pum_trayicon_RipristinaClick);
    Bind(pum_trayicon_Chiudi, &QAction::triggered, &TF_Main::pum_trayicon_ChiudiClick);
    TrayIcon->OnClick =
        [click = TZirkoApplication::Guarded([this] { TrayIconClick(); })](TTrayIcon&) { click(); };
    ConnectNotifier();
}

void TF_Main::ConnectHistory() {
    // Where the path broke when an outage began, kept with it and shown in its list.
    auto* Evidence = new TOutageEvidence(
        FServices.Net, [this] { return MaxHops(); }, this);
    connect(Evidence, &TOutageEvidence::TraceKept, TabSheet3, &TGraphPage::OutageChanged);
    // Made before the log starts: a failing start-up shows its box, and a close while it
    // shows runs the close handler, which ends the history's period. The store opens
    // on a thread of its own; until it has, what the monitor counts waits for it.
    FHistoryKeeper = new THistoryKeeper(FServices.History, FServices.Clock(), this);
    Evidence->Follow(FPingMonitor->Core(), *FHistoryKeeper, FServices.History);
    connect(FHistoryKeeper, &THistoryKeeper::Opened, this,
            [this] { TabSheet3->SetHistory(&FServices.History); });
    // "Grafico" shows the history: it is needed once the page is.
    connect(PageControl1, &QTabWidget::currentChanged, FHistoryKeeper, [this](int Index) {
        if (PageControl1->widget(Index) == TabSheet3) {
            FHistoryKeeper->Need();
        }
    });
}

void TF_Main::ConnectNotifier() {
    TDesktopNotifier* Notifier = FServices.Notifier;
    if (Notifier == nullptr) {
        return;
    }
    const auto Monitor = FPingMonitor.get();
    connect(Monitor, &TPingMonitor::OutageBegan, Notifier, &TDesktopNotifier::OutageBegan);
    connect(Monitor, &TPingMonitor::OutageLasts, Notifier, &TDesktopNotifier::OutageLasts);
    connect(Monitor, &TPingMonitor::OutageEnded, Notifier, &TDesktopNotifier::OutageEnded);
    if (TDesktopNotifier* Slow = FServices.SlowNotifier; Slow != nullptr) {
        connect(Monitor, &TPingMonitor::SlowBegan, Slow, &TDesktopNotifier::OutageBegan);
        connect(Monitor, &TPingMonitor::SlowLasts, Slow, &TDesktopNotifier::OutageLasts);
        connect(Monitor, &TPingMonitor::SlowEnded, Slow, &TDesktopNotifier::OutageEnded);
        Bind(Slow, &TDesktopNotifier::ShowRequested, &TF_Main::pum_trayicon_RipristinaClick);
    }
    // "Mostra" on a notification brings the window back as the tray's "Ripristina" does.
    Bind(Notifier, &TDesktopNotifier::ShowRequested, &TF_Main::pum_trayicon_RipristinaClick);
}

void TF_Main::FormCreate() {
    re_ping->clear();
    // The box comes first: a failing start-up ends the program from inside StartUp.
    Agente->SetFatalReporter(&FFatalBox);
    Agente->SetPath_Agente(FLogFolder);
    Agente->SetFileName("ZIRKO");
    Agente->SetActiveLog(true);
    Agente->StartUp();
    PageControl1->setCurrentIndex(0);
}

void TF_Main::FormClose() {
    FPingMonitor->StopWatching();
    FHistoryKeeper->EndPeriod();
    Agente->ShutDown();
}

void TF_Main::closeEvent(QCloseEvent* Event) {
    if (FFormCloseCount == 0) {
        ++FFormCloseCount;
        FormClose();
    }
    Event->accept();
    // Closing the main window ends the program, whichever window is left.
    QCoreApplication::quit();
}

void TF_Main::changeEvent(QEvent* Event) {
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::WindowStateChange && isMinimized()) {
        // Queued, so that the whole minimize (showMinimized shows the window
        // again after the state change) is over before the window goes.
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Without a tray to come back from, it stays on the taskbar.
                if (isMinimized()) {
                    TrayIcon->HideIntoTray();
                }
            },
            Qt::QueuedConnection);
    }
}

void TF_Main::pum_trayicon_NascondiClick() {
    TrayIcon->HideMainWindow();
}

void TF_Main::pum_trayicon_RipristinaClick() {
    TrayIcon->RestoreMainWindow();
}

void TF_Main::pum_trayicon_ChiudiClick() {
    close();
}

void TF_Main::TrayIconClick() {
    TrayIcon->RestoreMainWindow();
}
