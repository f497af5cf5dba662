// SPDX-License-Identifier: GPL-3.0-or-later
#include "TF_Main.h"

#include "TControlFactory.h"
#include "TFixedLayout.h"
#include "TZirkoApplication.h"

#include "TContinuousTraceView.h"
#include "TNetIcmpClient.h"
#include "TTracePage.h"
#include "TTraceRunner.h"
#include "TWatchRules.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

void TF_Main::CreateTraceTab() {
    // The page's controls are made when it is first shown: most starts never show it.
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, tr("Traceroute"));
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int Index) {
        if (Panel4 == nullptr && PageControl1->widget(Index) == TabSheet2) {
            CreateTracePage();
        }
    });
}

int TF_Main::MaxHops() const {
    return seMaxHops != nullptr ? seMaxHops->value() : TWatchRules::MaxHops;
}

void TF_Main::CreateTracePage() {
    CreateTracePanel();
    CreateTraceLists();
    // The one-pass lists above, the continuous trace's table and verdict under them.
    TraceContinuous = new TContinuousTraceView(FServices.Net);
    Splitter2 = new QSplitter(Qt::Vertical, TabSheet2);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(3);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->addWidget(Splitter1);
    Splitter2->addWidget(TraceContinuous);
    Splitter2->setSizes({150, 330});
    auto* page = new QVBoxLayout(TabSheet2);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(Panel4);
    page->addWidget(Splitter2, 1);
    // The tab shows already: a layout would show them once queued events run, too late
    // for a focus or a click that follows at once.
    Panel4->show();
    Splitter2->show();

    Label5->setBuddy(seMaxHops);
    QWidget::setTabOrder(seMaxHops, btn_execute);
    QWidget::setTabOrder(btn_execute, lvTrace);
    QWidget::setTabOrder(lvTrace, lbLog);
    QWidget::setTabOrder(lbLog, btn_continuo);
    QWidget::setTabOrder(btn_continuo, btn_esporta_traccia);
    QWidget::setTabOrder(btn_esporta_traccia, TraceContinuous->Table());
    BindTracePage();
}

void TF_Main::CreateTracePanel() {
    constexpr int RowHeight = TControlFactory::RowHeight;
    Panel4 = new QWidget(TabSheet2);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFixedHeight(41);
    auto* panel = new TFixedLayout(Panel4);
    Label5 = TControlFactory::Label(Panel4, "Label5", tr("Max number of hops:"));
    panel->AddWidget(Label5, {4 + 4, 4 + 6, 120, RowHeight});
    seMaxHops = new QSpinBox(Panel4);
    seMaxHops->setObjectName(QStringLiteral("seMaxHops"));
    seMaxHops->setRange(1, 255);
    seMaxHops->setSingleStep(1);
    seMaxHops->setValue(TWatchRules::MaxHops);
    seMaxHops->setAccessibleName(Label5->text());
    panel->AddWidget(seMaxHops, {4 + 128, 4 + 6, 41, RowHeight});
    btn_execute = TControlFactory::Button(Panel4, "btn_execute", tr("Esegui"), {75, 25});
    panel->AddWidget(btn_execute, {4 + 184, 4 + 4, 75, 25});
    btn_continuo = TControlFactory::Button(Panel4, "btn_continuo", tr("Continuo"), {75, 25});
    panel->AddWidget(btn_continuo, {4 + 264, 4 + 4, 75, 25});
    btn_esporta_traccia =
        TControlFactory::Button(Panel4, "btn_esporta_traccia", tr("Esporta CSV…"), {95, 25});
    btn_esporta_traccia->setAccessibleName(tr("Esporta CSV della traccia"));
    panel->AddWidget(btn_esporta_traccia, {4 + 344, 4 + 4, 95, 25});
}

void TF_Main::CreateTraceLists() {
    lvTrace = new QTreeWidget;
    lvTrace->setObjectName(QStringLiteral("lvTrace"));
    lvTrace->setAccessibleName(tr("Traceroute hops"));
    lvTrace->setRootIsDecorated(false);
    lvTrace->setItemsExpandable(false);
    lvTrace->setAllColumnsShowFocus(true);
    lvTrace->setSortingEnabled(false);
    lvTrace->setColumnCount(3);
    lvTrace->setHeaderLabels({tr("Hop #"), tr("IP"), tr("Note")});
    lvTrace->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lvTrace->header()->setStretchLastSection(false);
    lvTrace->setColumnWidth(0, 50);
    lvTrace->setColumnWidth(1, 100);
    lvTrace->setColumnWidth(2, 150);

    lbLog = new QListWidget;
    lbLog->setObjectName(QStringLiteral("lbLog"));
    lbLog->setAccessibleName(tr("Traceroute log"));
    lbLog->setUniformItemSizes(true);
    TControlFactory::SetItemHeight(lbLog, 13);

    Splitter1 = new QSplitter(Qt::Horizontal, TabSheet2);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(lvTrace);
    Splitter1->addWidget(lbLog);
    Splitter1->setSizes({465, 310});
}

void TF_Main::BindTracePage() {
    TTracePage trace;
    trace.e_host = e_host;
    trace.seMaxHops = seMaxHops;
    trace.btn_execute = btn_execute;
    trace.lvTrace = lvTrace;
    trace.NetIcmpClient = NetIcmpClient.get();
    trace.Clock = &FServices.Clock();
    FTraceRunner = std::make_unique<TTraceRunner>(trace);
    TraceContinuous->Attach(
        {e_host, seMaxHops, btn_continuo, btn_esporta_traccia, lbLog, &FServices.Clock()});
    TraceContinuous->SetErrorBox(&TZirkoApplication::ShowError);
    connect(btn_execute, &QPushButton::clicked, this,
            TZirkoApplication::Guarded([this] { btn_executeClick(); }));
}

void TF_Main::btn_executeClick() {
    if (FTraceRunner == nullptr) {
        CreateTracePage(); // called before its tab was ever shown
    }
    FTraceRunner->btn_executeClick();
}
