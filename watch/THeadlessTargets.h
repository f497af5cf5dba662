// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTarget.h"
#include "TTargetWatch.h"
#include "TZirkoOptions.h"

#include <QObject>

#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

class QTimer;
class TCoreServices;
class THistoryKeeper;
class TMetricsFeed;
class TOutageEvidence;
class TTargetPacer;

// Headless watching of many targets: each continuously at its own interval through
// the core's watch on the shared probe port, each with its metrics series (from the
// start, under host, ip, source and its group's labels), its history rows, outages and
// the trace of an outage's path. The file of targets is read again on demand.
class THeadlessTargets : public QObject {
    Q_OBJECT

public:
    // What the command line asks to watch: the file's targets, then each --host. A file
    // that cannot be used is one line on Errors, and nothing.
    static std::optional<std::vector<TTarget>> Read(const TZirkoOptions& Options,
                                                    std::ostream& Errors);
    // Many targets are watched when a file is given or more than one --host.
    static bool Wanted(const TZirkoOptions& Options);

    THeadlessTargets(TCoreServices& Services, TMetricsFeed& Metrics, TZirkoOptions Options,
                     std::vector<TTarget> Targets, QObject* Parent = nullptr);
    ~THeadlessTargets() override;
    THeadlessTargets(const THeadlessTargets&) = delete;
    THeadlessTargets& operator=(const THeadlessTargets&) = delete;

    // Histories are held until Keeper opened the store; an outage's path is traced by Evidence.
    void Follow(THistoryKeeper& Keeper, TOutageEvidence& Evidence);
    void Start();
    void Stop();
    // Reads the file again: kept targets go on with their counters, added ones start,
    // removed ones stop and their series go. A file that cannot be used changes nothing:
    // false, with one line on Errors.
    bool Reload(std::ostream& Errors);

    const TTargetWatch& Watch() const { return FWatch; }

private:
    void WatchSeries(const TTargetWatch::TState& State);
    void Counted(const TTargetWatch::TState& State, const TReplyStatus& Reply);
    void Outage(const TTargetWatch::TState& State, const TOutageTracker::TEvent& Event);
    void Changed();

    TCoreServices& FServices;
    TMetricsFeed& FMetrics;
    TZirkoOptions FOptions;
    TTargetWatch FWatch;
    TTargetPacer* FPacer;
    QTimer* FWrite;
    TOutageEvidence* FEvidence = nullptr;
    std::set<uint64_t> FSeries; // the targets whose series are shown
    bool FDirty = false;
};
