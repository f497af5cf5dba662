// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsWatcher.h"

#include "TClock.h"
#include "TDesktopNotifier.h"
#include "TPingStatistics.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <set>

TTargetsWatcher::TTargetsWatcher(TProbePort& APort, const TClock& AClock, QObject* AParent)
    : QObject(AParent), FClock(AClock), FWatch(APort, AClock, {}), FStep(new QTimer(this)),
      FRefresh(new QTimer(this)) {
    FStep->setSingleShot(true);
    FStep->setTimerType(Qt::PreciseTimer);
    connect(FStep, &QTimer::timeout, this, &TTargetsWatcher::Step);
    // The figures change with every answer; the page and tray are told twice a second.
    FRefresh->setInterval(RefreshMs);
    connect(FRefresh, &QTimer::timeout, this, &TTargetsWatcher::Updated);
    FWatch.OnCounted = [this](const auto& State, const auto& Reply) { Counted(State, Reply); };
    FWatch.OnOutage = [this](const auto& State, const auto& Event) { Outage(State, Event); };
    FWatch.OnSlow = [this](const auto& State, const auto& Event) { Slow(State, Event); };
    FWatch.Start();
}

TTargetsWatcher::~TTargetsWatcher() {
    FWatch.OnCounted = nullptr;
    FWatch.OnOutage = nullptr;
    FWatch.OnSlow = nullptr;
}

void TTargetsWatcher::SetTargets(const std::vector<TTarget>& AAll) {
    FAll = AAll;
    std::vector<TTarget> Watched;
    FWatchIndex.assign(AAll.size(), -1);
    for (size_t I = 0; I < AAll.size(); ++I) {
        if (!AAll[I].Stopped) {
            FWatchIndex[I] = int(Watched.size());
            Watched.push_back(AAll[I]);
        }
    }
    FWatch.SetTargets(std::move(Watched));
    std::set<uint64_t> Kept;
    for (const auto& State : FWatch.Targets()) {
        Kept.insert(State.Id);
    }
    std::erase_if(FSeen, [&](const auto& Each) { return !Kept.count(Each.first); });
    std::erase_if(FNotifiers, [&](const auto& Each) { return !Kept.count(Each.first); });
    std::erase_if(FSlowNotifiers, [&](const auto& Each) { return !Kept.count(Each.first); });
    if (FWatch.Targets().empty()) {
        FRefresh->stop();
    } else if (!FRefresh->isActive()) {
        FRefresh->start();
    }
    Step();
    emit Updated();
}

void TTargetsWatcher::Step() {
    const int64_t Next = FWatch.Step();
    if (Next == INT64_MAX) {
        FStep->stop();
        return;
    }
    FStep->start(int(std::clamp<int64_t>(Next - FClock.SteadyMs(), 0, INT_MAX)));
}

void TTargetsWatcher::Counted(const TTargetWatch::TState& AState, const TReplyStatus& AReply) {
    TSeen& Seen = FSeen[AState.Id];
    const bool Answered = AReply.ReplyBytes > 0;
    Seen.LastMs = Answered ? std::optional<double>(AReply.RoundTripMs) : std::nullopt;
    const int64_t Now = FClock.WallMs();
    Seen.Trace.emplace_back(Now, Answered ? double(AReply.RoundTripMs) : -1.0);
    while (!Seen.Trace.empty() && Seen.Trace.front().first < Now - TraceSpanMs) {
        Seen.Trace.pop_front();
    }
}

void TTargetsWatcher::Outage(const TTargetWatch::TState& AState,
                             const TOutageTracker::TEvent& AEvent) {
    Notify(FNotifiers, AState, AEvent.Change, AEvent.Outage);
}

void TTargetsWatcher::Slow(const TTargetWatch::TState& AState, const TSlowTracker::TEvent& AEvent) {
    Notify(FSlowNotifiers, AState, AEvent.Change, AEvent.Period);
}

template <typename TChange>
void TTargetsWatcher::Notify(std::map<uint64_t, std::unique_ptr<TDesktopNotifier>>& ANotifiers,
                             const TTargetWatch::TState& AState, TChange AChange,
                             const TOutage& APeriod) {
    if (!MakeNotifier) {
        return;
    }
    auto& Notifier = ANotifiers[AState.Id];
    if (!Notifier) {
        Notifier = MakeNotifier();
    }
    // The notification names the target as the page does.
    TOutage Named = APeriod;
    const std::string Name = AState.Target.Name();
    Named.Host = Name.empty() ? AState.Target.Host : Name + " (" + AState.Target.Host + ")";
    if (AChange == TChange::Began) {
        Notifier->OutageBegan(Named);
    } else if (AChange == TChange::Lasts) {
        Notifier->OutageLasts(Named);
    } else if (AChange == TChange::Ended) {
        Notifier->OutageEnded(Named);
    }
}

const TTargetWatch::TState* TTargetsWatcher::StateOf(size_t AIndex) const {
    if (AIndex >= FWatchIndex.size() || FWatchIndex[AIndex] < 0) {
        return nullptr;
    }
    return &FWatch.Targets()[size_t(FWatchIndex[AIndex])];
}

TTargetStatus TTargetsWatcher::Status(size_t AIndex) const {
    TTargetStatus Status;
    const TTargetWatch::TState* State = StateOf(AIndex);
    if (State == nullptr) {
        return Status;
    }
    const TPingCounters& C = State->Counters;
    const auto Seen = FSeen.find(State->Id);
    if (C.n_ping > 0) {
        // The Ping page's average; none while nothing answered, where it would read 0.
        const double Average = TPingStatistics::Average(C);
        if (C.n_pacchetti_persi < C.n_ping) {
            Status.AverageMs = Average;
        }
        Status.LossPercent = 100.0 * C.n_pacchetti_persi / C.n_ping;
        Status.Mark = Average > State->Target.LatencyLimitMs ? TTargetStatus::TMark::Slow
                                                              : TTargetStatus::TMark::Up;
    }
    if (const auto& Open = State->Outages.Current(); Open && Open->End == TOutageEnd::Open) {
        Status.Mark = TTargetStatus::TMark::Down;
        Status.DownSinceMs = Open->StartToMs;
    }
    if (Seen != FSeen.end()) {
        Status.LastMs = Seen->second.LastMs;
        const auto& Trace = Seen->second.Trace;
        const size_t Step = std::max<size_t>(1, (Trace.size() + TracePoints - 1) / TracePoints);
        for (size_t I = 0; I < Trace.size(); I += Step) {
            // A lost ping within a stretch shows as the stretch's point.
            double Point = Trace[I].second;
            for (size_t J = I; J < std::min(Trace.size(), I + Step); ++J) {
                Point = Trace[J].second < 0 ? -1.0 : Point;
            }
            Status.TraceMs.push_back(Point);
        }
    }
    return Status;
}

std::vector<std::pair<int64_t, double>> TTargetsWatcher::Trace(size_t AIndex) const {
    const TTargetWatch::TState* State = StateOf(AIndex);
    const auto Seen = State != nullptr ? FSeen.find(State->Id) : FSeen.end();
    if (Seen == FSeen.end()) {
        return {};
    }
    return {Seen->second.Trace.begin(), Seen->second.Trace.end()};
}

TTargetsWatcher::TWorst TTargetsWatcher::Worst() const {
    TWorst Worst = wNone;
    for (size_t I = 0; I < FWatchIndex.size(); ++I) {
        const TTargetStatus::TMark Mark = Status(I).Mark;
        if (Mark == TTargetStatus::TMark::Down) {
            return wDown;
        }
        if (Mark == TTargetStatus::TMark::Slow) {
            Worst = wSlow;
        }
    }
    return Worst;
}

QStringList TTargetsWatcher::Down() const {
    QStringList Names;
    for (const auto& State : FWatch.Targets()) {
        const auto& Open = State.Outages.Current();
        if (Open && Open->End == TOutageEnd::Open) {
            const std::string Name = State.Target.Name();
            Names << QString::fromStdString(Name.empty() ? State.Target.Host : Name);
        }
    }
    return Names;
}
