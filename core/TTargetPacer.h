// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QTimer;
class TClock;
class TTargetWatch;

// Runs a watch of many targets on the event loop: one precise single-shot timer,
// armed each time for the next thing due, so a thousand targets cost one timer.
class TTargetPacer : public QObject {
    Q_OBJECT

public:
    TTargetPacer(TTargetWatch& Watch, const TClock& Clock, QObject* Parent = nullptr);

    void Start();
    void Stop();
    // Wakes at most every GrainMs (0: to the millisecond): what falls due meanwhile
    // goes out together, as one wake-up per probe costs more than the probes.
    void SetGrainMs(int GrainMs) { FGrainMs = GrainMs; }

private:
    void Step();

    TTargetWatch& FWatch;
    const TClock& FClock;
    QTimer* FTimer;
    int FGrainMs = 0;
};
