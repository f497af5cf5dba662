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

THistoryKeeper::~THistoryKeeper() {
    // Before QObject's destructor, which drops the thread's posted Finish.
    if (FOpening.joinable()) {
        FOpening.join();
    }
}

void THistoryKeeper::Open(const std::string& AFolder) {
    Finish();
    FStore.SetClock(&FClock);
    FOpening = std::thread([this, AFolder] {
        FStore.Open(AFolder);
        QMetaObject::invokeMethod(this, &THistoryKeeper::Finish, Qt::QueuedConnection);
    });
}

void THistoryKeeper::Finish() {
    if (!FOpening.joinable()) {
        return; // finished already, by EndPeriod
    }
    FOpening.join();
    if (FStore.Available()) {
        FPrune->start(BusyPruneMs);
    }
    emit Opened();
}

void THistoryKeeper::EndPeriod() {
    Finish();
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
