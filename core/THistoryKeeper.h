// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <string>
#include <thread>

class QTimer;
class TClock;
class THistoryStore;

// Opens the program's history on a thread of its own once something needs it and
// the window has been drawn, so neither start-up nor the window waits for a large
// file's check, and a run that neither records nor shows history never loads it. Then
// it keeps the history within its retention in small steps: one bounded step a
// second while old rows are left, then one every few minutes, so no step is ever
// a long pause.
class THistoryKeeper : public QObject {
    Q_OBJECT

public:
    THistoryKeeper(THistoryStore& Store, const TClock& Clock, QObject* Parent);
    ~THistoryKeeper() override;

    // Opens the store in AFolder once it is needed (Need) and AWindow has had its first
    // paint, or LatestOpenMs has passed should it start hidden. A run that records
    // nothing and shows no history never opens it.
    void OpenOnceDrawn(QObject* AWindow, const std::string& AFolder);
    // Something is to be kept or read: the store opens as soon as the window allows.
    void Need();
    // The store in AFolder, whatever its state: a fault only leaves it unavailable.
    // Nothing else may touch the store until Opened.
    void Open(const std::string& AFolder);
    // Opened has been emitted.
    bool Ready() const { return FReady; }
    // The program ends: the store is opened if it was needed and not yet open, so
    // that nothing held for it is lost, then the period the schedule was in ends now.
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
    bool FDrawn = false;  // its window was drawn (or the wait is over)
    bool FNeeded = false;
    bool FAsked = false;
    bool FReady = false;
    std::thread FOpening;
};
