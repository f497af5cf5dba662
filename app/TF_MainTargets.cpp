// SPDX-License-Identifier: GPL-3.0-or-later
#include "TF_Main.h"

#include "TDesktopNotifier.h"
#include "THistoryKeeper.h"
#include "TTargetsPage.h"
#include "TTargetsStore.h"
#include "TTargetsWatcher.h"
#include "TTrayIcon.h"
#include "TZirkoApplication.h"

#include <QDBusConnection>
#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

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
        ShowTargets();
    });
}

void TF_Main::StartTargets() {
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
    TargetsWatcher->HoldHistory();
    connect(FHistoryKeeper, &THistoryKeeper::Opened, TargetsWatcher,
            [this] { TargetsWatcher->SetHistory(&FServices.History); });
    connect(TargetsWatcher, &TTargetsWatcher::Updated, this, &TF_Main::ShowTargets);
    // Watched from the start, unless stopped; a file that cannot be read watches none.
    TTargetsStore Store(TargetsFile());
    TargetsWatcher->SetTargets(Store.Load());
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
    if (TargetsWatcher->Watched() == 0) {
        return; // the tray stays the Ping page's
    }
    // Set when it changes only: between the targets' changes the Ping page's own image shows.
    const int Worst = TargetsWatcher->Worst();
    if (Worst != FTargetsWorst) {
        FTargetsWorst = Worst;
        TrayIcon->SetIconIndex(Worst);
    }
    const QStringList Down = TargetsWatcher->Down();
    TrayIcon->SetHint(Down.isEmpty() ? QString()
                                     : tr("Giù: %1").arg(Down.join(QStringLiteral(", "))));
}
