// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTargetWatch.h"
#include "TTargetsPage.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <memory>

class QTimer;
class TDesktopNotifier;

// The window's watch of the page's list: the targets not stopped, on the event loop,
// each with its last answer, its last ten minutes and a notification of its own per
// outage. What the page and the tray show comes from here, at most every RefreshMs.
class TTargetsWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int RefreshMs = 500;
    static constexpr int64_t TraceSpanMs = 10 * 60 * 1000;
    static constexpr int TracePoints = 120;
    // The tray's images: grey, yellow, red.
    enum TWorst : int { wNone = 0, wSlow = 1, wDown = 2 };

    TTargetsWatcher(TProbePort& APort, const TClock& AClock, QObject* AParent = nullptr);
    ~TTargetsWatcher() override;

    // The page's whole list, stopped targets included: the others are watched.
    void SetTargets(const std::vector<TTarget>& AAll);
    const std::vector<TTarget>& All() const { return FAll; }
    void HoldHistory() { FWatch.HoldHistory(); }
    void SetHistory(THistoryStore* AStore) { FWatch.SetHistory(AStore); }
    // Each target's own notifications; none where it is not set.
    std::function<std::unique_ptr<TDesktopNotifier>()> MakeNotifier;

    // By the page's index.
    TTargetStatus Status(size_t AIndex) const;
    // Every ping of the last ten minutes: wall ms, round trip (< 0 lost); none when stopped.
    std::vector<std::pair<int64_t, double>> Trace(size_t AIndex) const;
    size_t Watched() const { return FWatch.Targets().size(); }
    TWorst Worst() const;
    // The names of the targets down, as the page shows them.
    QStringList Down() const;

signals:
    void Updated();

private:
    struct TSeen {
        std::optional<double> LastMs;
        std::deque<std::pair<int64_t, double>> Trace; // wall ms, round trip (< 0 lost)
    };
    void Step();
    void Counted(const TTargetWatch::TState& AState, const TReplyStatus& AReply);
    void Outage(const TTargetWatch::TState& AState, const TOutageTracker::TEvent& AEvent);
    void Slow(const TTargetWatch::TState& AState, const TSlowTracker::TEvent& AEvent);
    // Tells the target's notifier in ANotifiers of the change of its outage or slow period.
    template <typename TChange>
    void Notify(std::map<uint64_t, std::unique_ptr<TDesktopNotifier>>& ANotifiers,
                const TTargetWatch::TState& AState, TChange AChange, const TOutage& APeriod);
    const TTargetWatch::TState* StateOf(size_t AIndex) const;

    const TClock& FClock;
    TTargetWatch FWatch;
    std::vector<TTarget> FAll;
    std::vector<int> FWatchIndex; // page index to the watch's, -1 when stopped
    std::map<uint64_t, TSeen> FSeen;
    std::map<uint64_t, std::unique_ptr<TDesktopNotifier>> FNotifiers;
    // A slow period has a notification of its own beside the outage's, as on the Ping page.
    std::map<uint64_t, std::unique_ptr<TDesktopNotifier>> FSlowNotifiers;
    QTimer* FStep;
    QTimer* FRefresh;
};
