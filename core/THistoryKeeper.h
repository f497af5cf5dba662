// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <string>
#include <thread>

class QTimer;
class TClock;
class THistoryStore;

// Opens the program's history on a thread of its own once the window has been
// drawn, so neither start-up nor the window waits for a large file's check. Then
// it keeps the history within its retention in small steps: one bounded step a
// second while old rows are left, then one every few minutes, so no step is ever
// a long pause.
class THistoryKeeper : public QObject {
    Q_OBJECT

public:
    THistoryKeeper(THistoryStore& Store, const TClock& Clock, QObject* Parent);
    ~THistoryKeeper() override;

    // Opens the store in AFolder after AWindow's first paint, or after LatestOpenMs
    // should it start hidden.
    void OpenOnceDrawn(QObject* AWindow, const std::string& AFolder);
    // The store in AFolder, whatever its state: a fault only leaves it unavailable.
    // Nothing else may touch the store until Opened.
    void Open(const std::string& AFolder);
    // Opened has been emitted.
    bool Ready() const { return FReady; }
    // The program ends: the store is opened if it was not, so that nothing held for
    // it is lost, then the period the schedule was in ends now.
    void EndPeriod();

    static constexpr int LatestOpenMs = 1000;
    static constexpr int OpeningNice = 19;
    static constexpr int BusyPruneMs = 1000;
    static constexpr int IdlePruneMs = 10 * 60 * 1000;

signals:
    // On this object's thread, once the store is open or known unusable.
    void Opened();

private:
    void OpenAsked();
    void Finish();
    void PruneStep();

    THistoryStore& FStore;
    const TClock& FClock;
    QTimer* FPrune;
    std::string FFolder;
    bool FWanted = false; // OpenOnceDrawn was called
    bool FAsked = false;
    bool FReady = false;
    std::thread FOpening;
};
