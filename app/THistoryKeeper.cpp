// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryKeeper.h"

#include "TClock.h"
#include "THistoryStore.h"

#include <QTimer>

THistoryKeeper::THistoryKeeper(THistoryStore& Store, const TClock& Clock, QObject* Parent)
    : QObject(Parent), FStore(Store), FClock(Clock), FPrune(new QTimer(this)) {
    FPrune->setObjectName(QStringLiteral("HistoryPrune"));
    connect(FPrune, &QTimer::timeout, this, &THistoryKeeper::PruneStep);
}

void THistoryKeeper::Open(const std::string& AFolder) {
    FStore.SetClock(&FClock);
    if (FStore.Open(AFolder)) {
        FPrune->start(BusyPruneMs);
    }
    emit Opened();
}

void THistoryKeeper::EndPeriod() {
    if (FStore.Available()) {
        FStore.EndPeriod(FClock.WallMs());
    }
}

void THistoryKeeper::PruneStep() {
    if (!FStore.Available()) {
        FPrune->stop();
        return;
    }
    const bool More = FStore.PruneStep(FClock.WallMs());
    FPrune->setInterval(More ? BusyPruneMs : IdlePruneMs);
}
