// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <string>

class QTimer;
class TClock;
class THistoryStore;

// Opens the program's history once the window is up, and keeps it within its
// retention in small steps: one bounded step a second while old rows are left,
// then one every few minutes, so no step is ever a long pause.
class THistoryKeeper : public QObject {
    Q_OBJECT

public:
    THistoryKeeper(THistoryStore& Store, const TClock& Clock, QObject* Parent);

    // The store in AFolder, whatever its state: a fault only leaves it unavailable.
    void Open(const std::string& AFolder);
    // The program ends: the period the schedule was in ends now.
    void EndPeriod();

    static constexpr int BusyPruneMs = 1000;
    static constexpr int IdlePruneMs = 10 * 60 * 1000;

signals:
    void Opened();

private:
    void PruneStep();

    THistoryStore& FStore;
    const TClock& FClock;
    QTimer* FPrune;
};
