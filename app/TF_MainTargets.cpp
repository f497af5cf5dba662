// SPDX-License-Identifier: GPL-3.0-or-later
#include "TF_Main.h"

#include "TDesktopNotifier.h"
#include "TFirstPaint.h"
#include "TGraphPage.h"
#include "TGraphTargets.h"
#include "THistoryKeeper.h"
#include "THistoryStore.h"
#include "TTargetsPage.h"
#include "TTargetsStore.h"
#include "TTargetsWatcher.h"
#include "TTrayIcon.h"
#include "TZirkoApplication.h"

#include <QApplication>
#include <QCompleter>
#include <QDBusConnection>
#include <QLineEdit>
#include <QMenu>
#include <QStringListModel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// As the page and the notifications name them.
QStringList NamesOf(const std::vector<TTarget>& ATargets) {
    QStringList Names;
    for (const TTarget& Target : ATargets) {
        const std::string Name = Target.Name();
        Names << QString::fromStdString(Name.empty() ? Target.Host : Name);
    }
    return Names;
}

} // namespace

std::string TF_Main::TargetsFile() const {
    return FServices.TargetsFile.empty() ? TTargetsStore::DefaultPath() : FServices.TargetsFile;
}

void TF_Main::CreateTargetsTab() {
    // The table is made when the page is first shown: most starts never show it.
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    auto* Holder = new QVBoxLayout(TabSheet4);
    Holder->setContentsMargins(0, 0, 0, 0);
    PageControl1->addTab(TabSheet4, tr("Bersagli"));
    // The field itself holds the connection: focus moves while the window is destroyed.
    connect(qApp, &QApplication::focusChanged, e_host, [this, Host = e_host](QWidget*, QWidget* Now) {
        if (Now == Host) {
            OfferHosts();
        }
    });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this, Holder](int Index) {
        if (TargetsPage != nullptr || PageControl1->widget(Index) != TabSheet4) {
            return;
        }
        TargetsPage = new TTargetsPage(TargetsFile());
        Holder->addWidget(TargetsPage);
        if (TargetsWatcher != nullptr) {
            // The page read the file again: the watch follows what it shows.
            TargetsWatcher->SetTargets(TargetsPage->Targets());
            connect(TargetsPage, &TTargetsPage::TargetsChanged, TargetsWatcher,
                    &TTargetsWatcher::SetTargets);
        }
        TabSheet3->SetTargets(NamesOf(TargetsPage->Targets()));
        connect(TargetsPage, &TTargetsPage::TargetsChanged, TabSheet3,
                [this](const std::vector<TTarget>& ATargets) {
                    TabSheet3->SetTargets(NamesOf(ATargets));
                });
        connect(TargetsPage, &TTargetsPage::OpenTarget, TabSheet3, [this](size_t AIndex) {
            PageControl1->setCurrentWidget(TabSheet3);
            TabSheet3->SelectTarget(AIndex);
        });
        ShowTargets();
    });
}

void TF_Main::StartTargets() {
    // A field that had the focus before the history opened (and the list was read)
    // offers their hosts then; queued, so it comes after the list's start below.
    connect(
        FHistoryKeeper, &THistoryKeeper::Opened, e_host,
        [this] {
            if (e_host->completer() != nullptr) {
                OfferHosts();
            }
        },
        Qt::QueuedConnection);
    // Typing a host is when its completions are wanted.
    connect(e_host, &QLineEdit::textEdited, FHistoryKeeper, &THistoryKeeper::Need);
    if (FServices.Probes == nullptr) {
        return;
    }
    TargetsWatcher = new TTargetsWatcher(*FServices.Probes, FServices.Clock(), this);
    if (FServices.Notifier != nullptr) {
        const TClock& Clock = FServices.Clock();
        TargetsWatcher->MakeNotifier = [this, &Clock] {
            auto Notifier = std::make_unique<TDesktopNotifier>(QDBusConnection::sessionBus(), Clock);
            Notifier->SetUpdateGap(FServices.Notifier->UpdateGap());
            connect(Notifier.get(), &TDesktopNotifier::ShowRequested, this,
                    TZirkoApplication::Guarded([this] { pum_trayicon_RipristinaClick(); }));
            return Notifier;
        };
    }
    // A list the user opens before the history does keeps its pings for it.
    TargetsWatcher->HoldHistory();
    connect(TargetsWatcher, &TTargetsWatcher::Updated, this, &TF_Main::ShowTargets);
    TabSheet3->Targets().SetSource([this](size_t AIndex) { return TargetsWatcher->Trace(AIndex); });
    connect(TargetsWatcher, &TTargetsWatcher::Updated, TabSheet3, &TGraphPage::TargetsUpdated);
    // Read and watched once the window is drawn: a long list holds up no start. A file
    // that cannot be read watches none. Targets watched need the history.
    TFirstPaint::Then(this, TargetsWatcher, std::chrono::milliseconds(THistoryKeeper::LatestOpenMs),
                      [this] {
                          TargetsWatcher->SetTargets(TargetsPage != nullptr
                                                         ? TargetsPage->Targets()
                                                         : TTargetsStore(TargetsFile()).Load());
                          TabSheet3->SetTargets(NamesOf(TargetsWatcher->All()));
                      });
    connect(TargetsWatcher, &TTargetsWatcher::Updated, FHistoryKeeper, [this] {
        if (TargetsWatcher->Watched() > 0) {
            FHistoryKeeper->Need();
        }
    });
    connect(FHistoryKeeper, &THistoryKeeper::Opened, TargetsWatcher,
            [this] { TargetsWatcher->SetHistory(&FServices.History); });
}

void TF_Main::ShowTargets() {
    if (TargetsWatcher == nullptr) {
        return;
    }
    if (TargetsPage != nullptr && TargetsPage->isVisible()) {
        const int64_t Now = FServices.Clock().WallMs();
        for (size_t I = 0; I < TargetsPage->Targets().size(); ++I) {
            TargetsPage->ShowStatus(I, TargetsWatcher->Status(I), Now);
        }
    }
    ShowTrayState();
}

void TF_Main::JoinDesktop() {
    // The session bus, which connecting may have to start, and the tray, which docking
    // asks: neither is needed to draw the window.
    for (TDesktopNotifier* Notifier : {FServices.Notifier, FServices.SlowNotifier}) {
        if (Notifier != nullptr) {
            Notifier->Attach(QDBusConnection::sessionBus());
        }
    }
    TrayIcon->ReleaseDock();
}

void TF_Main::ShowTrayState() {
    int Worst = FPingImage;
    QString Hint;
    if (TargetsWatcher != nullptr && TargetsWatcher->Watched() > 0) {
        Worst = std::max(Worst, int(TargetsWatcher->Worst()));
        const QStringList Down = TargetsWatcher->Down();
        if (!Down.isEmpty()) {
            Hint = tr("Giù: %1").arg(Down.join(QStringLiteral(", ")));
        }
    }
    if (Worst != TrayIcon->IconIndex()) {
        TrayIcon->SetIconIndex(Worst);
    }
    if (Hint != TrayIcon->Hint()) {
        TrayIcon->SetHint(Hint);
    }
}

void TF_Main::OfferHosts() {
    // Read as the field gets the focus: the history and the list change in between,
    // and a start that never edits the host reads nothing.
    QStringList Hosts;
    // Not while the store is being opened on its thread: until then it is not ours.
    if (FHistoryKeeper->Ready()) {
        for (const std::string& Host : FServices.History.Hosts()) {
            Hosts << QString::fromStdString(Host);
        }
    }
    if (TargetsWatcher != nullptr) {
        for (const TTarget& Target : TargetsWatcher->All()) {
            Hosts << QString::fromStdString(Target.Host);
        }
    }
    Hosts.sort(Qt::CaseInsensitive);
    Hosts.removeDuplicates();
    if (e_host->completer() == nullptr) {
        auto* Completer = new QCompleter(e_host);
        Completer->setCaseSensitivity(Qt::CaseInsensitive);
        Completer->setModel(new QStringListModel(Completer));
        e_host->setCompleter(Completer);
    }
    static_cast<QStringListModel*>(e_host->completer()->model())->setStringList(Hosts);
}
