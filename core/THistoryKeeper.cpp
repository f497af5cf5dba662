// SPDX-License-Identifier: GPL-3.0-or-later
#include "THistoryKeeper.h"

#include "TClock.h"
#include "TFirstPaint.h"
#include "THistoryStore.h"

#include <QTimer>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

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

void THistoryKeeper::OpenOnceDrawn(QObject* AWindow, const std::string& AFolder) {
    FFolder = AFolder;
    FWanted = true;
    TFirstPaint::Then(AWindow, this, std::chrono::milliseconds(LatestOpenMs), [this] {
        FDrawn = true;
        OpenAsked();
    });
}

void THistoryKeeper::Need() {
    FNeeded = true;
    OpenAsked();
}

void THistoryKeeper::OpenAsked() {
    // A close during a failing start-up comes before any folder was given.
    if (!FAsked && FWanted && FDrawn && FNeeded) {
        Open(FFolder);
    }
}

void THistoryKeeper::Open(const std::string& AFolder) {
    Finish();
    FAsked = true;
    FStore.SetClock(&FClock);
    FOpening = std::thread([this, AFolder] {
        // The check reads the whole file: the window and the display come first.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), OpeningNice);
        FStore.Open(AFolder);
        QMetaObject::invokeMethod(this, &THistoryKeeper::Finish, Qt::QueuedConnection);
    });
}

void THistoryKeeper::Finish() {
    if (!FOpening.joinable()) {
        return; // finished already, by EndPeriod
    }
    FOpening.join();
    FReady = true;
    if (FStore.Available()) {
        FPrune->start(BusyPruneMs);
    }
    emit Opened();
    // What the check and the start-up freed goes back to the system, rather than
    // staying resident in a program that runs for months.
    ::malloc_trim(0);
}

void THistoryKeeper::EndPeriod() {
    FDrawn = true;
    OpenAsked();
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
