// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <string>
#include <thread>

class QTimer;
class TClock;
class THistoryStore;

// Opens the program's history on a thread of its own once the window is up, so
// neither start-up nor the window waits for a large file's check. Then it keeps
// the history within its retention in small steps: one bounded step a second
// while old rows are left, then one every few minutes, so no step is ever a long
// pause.
class THistoryKeeper : public QObject {
    Q_OBJECT

public:
    THistoryKeeper(THistoryStore& Store, const TClock& Clock, QObject* Parent);
    ~THistoryKeeper() override;

    // The store in AFolder, whatever its state: a fault only leaves it unavailable.
    // Nothing else may touch the store until Opened.
    void Open(const std::string& AFolder);
    bool Opening() const { return FOpening.joinable(); }
    // The program ends: an opening under way is waited for, then the period the
    // schedule was in ends now.
    void EndPeriod();

    static constexpr int BusyPruneMs = 1000;
    static constexpr int IdlePruneMs = 10 * 60 * 1000;

signals:
    // On this object's thread, once the store is open or known unusable.
    void Opened();

private:
    void Finish();
    void PruneStep();

    THistoryStore& FStore;
    const TClock& FClock;
    QTimer* FPrune;
    std::thread FOpening;
};
