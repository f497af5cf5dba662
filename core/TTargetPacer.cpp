// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetPacer.h"

#include "TClock.h"
#include "TTargetWatch.h"

#include <QTimer>

#include <algorithm>
#include <cstdint>

TTargetPacer::TTargetPacer(TTargetWatch& Watch, const TClock& Clock, QObject* Parent)
    : QObject(Parent), FWatch(Watch), FClock(Clock), FTimer(new QTimer(this)) {
    FTimer->setSingleShot(true);
    // Sends spread a millisecond apart need a timer that keeps to the millisecond.
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, &TTargetPacer::Step);
}

void TTargetPacer::Start() {
    FWatch.Start();
    Step();
}

void TTargetPacer::Stop() {
    FTimer->stop();
    FWatch.Stop();
}

void TTargetPacer::Step() {
    const int64_t Next = FWatch.Step();
    if (Next == INT64_MAX) {
        return; // nothing to watch
    }
    // Whole milliseconds; a target due now waits for the next turn of the loop.
    int64_t Wait = std::clamp<int64_t>(Next - FClock.SteadyMs(), 0, INT32_MAX);
    if (FGrainMs > 0) {
        const int64_t Grains = std::max<int64_t>(1, (Wait + FGrainMs - 1) / FGrainMs);
        Wait = std::min<int64_t>(Grains * FGrainMs, INT32_MAX);
    }
    FTimer->start(int(Wait));
}
