// SPDX-License-Identifier: GPL-3.0-or-later
#include "THeadlessTargets.h"

#include "TCoreServices.h"
#include "THistoryKeeper.h"
#include "TMetricsFeed.h"
#include "TOutageEvidence.h"
#include "TTargetPacer.h"
#include "TTargetsChange.h"
#include "TTargetsFile.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

// The textfile at most this often, however many targets answer meanwhile.
constexpr int WriteEveryMs = 1000;

std::vector<TTarget> Current(const TTargetWatch& Watch) {
    std::vector<TTarget> Targets;
    for (const auto& State : Watch.Targets()) {
        Targets.push_back(State.Target);
    }
    return Targets;
}

} // namespace

bool THeadlessTargets::Wanted(const TZirkoOptions& Options) {
    return Options.Config.has_value() || Options.Hosts.size() > 1;
}

std::optional<std::vector<TTarget>> THeadlessTargets::Read(const TZirkoOptions& Options,
                                                           std::ostream& Errors) {
    std::vector<TTarget> Targets;
    if (Options.Config) {
        try {
            Targets = zirko::targets::Read(*Options.Config);
        } catch (const ETargetsFile& E) {
            Errors << "zirko: " << E.what() << "\n";
            return std::nullopt;
        }
        // The desktop keeps the targets its user stopped in the same file: not watched here either.
        std::erase_if(Targets, [](const TTarget& Target) { return Target.Stopped; });
    }
    for (const std::string& Host : Options.Hosts) {
        TTarget Target;
        Target.Host = Host;
        Target.AlarmAfterLost = Options.AlarmAfterOr();
        Target.LatencyLimitMs = Options.LimitMsOr();
        Targets.push_back(std::move(Target));
    }
    return Targets;
}

THeadlessTargets::THeadlessTargets(TCoreServices& Services, TMetricsFeed& Metrics,
                                   TZirkoOptions Options, std::vector<TTarget> Targets,
                                   QObject* Parent)
    : QObject(Parent), FServices(Services), FMetrics(Metrics), FOptions(std::move(Options)),
      FWatch(Services.ProbePort(), Services.Clock(), std::move(Targets)),
      FPacer(new TTargetPacer(FWatch, Services.Clock(), this)), FWrite(new QTimer(this)) {
    FPacer->SetGrainMs(TEngineProbePort::BatchMs);
    FWatch.OnCounted = [this](const auto& State, const auto& Reply) { Counted(State, Reply); };
    FWatch.OnOutage = [this](const auto& State, const auto& Event) { Outage(State, Event); };
    // The address is a label: the series start anew under it.
    FWatch.OnLookedUp = [this](const TTargetWatch::TState& State) { WatchSeries(State); };
    connect(FWrite, &QTimer::timeout, this, &THeadlessTargets::Changed);
    for (const auto& State : FWatch.Targets()) {
        WatchSeries(State);
    }
}

THeadlessTargets::~THeadlessTargets() {
    FWatch.OnCounted = nullptr;
    FWatch.OnOutage = nullptr;
    FWatch.OnLookedUp = nullptr;
}

void THeadlessTargets::Follow(THistoryKeeper& Keeper, TOutageEvidence& Evidence) {
    FEvidence = &Evidence;
    FWatch.HoldHistory();
    connect(&Keeper, &THistoryKeeper::Opened, this, [this, &Evidence] {
        FWatch.SetHistory(&FServices.History);
        Evidence.SetHistory(&FServices.History, std::nullopt);
    });
}

void THeadlessTargets::Start() {
    for (const auto& State : FWatch.Targets()) {
        FMetrics.Registry().SetMonitoringActive(State.Id, true);
    }
    FPacer->Start();
    FWrite->start(WriteEveryMs);
    Changed();
}

void THeadlessTargets::Stop() {
    FPacer->Stop();
    FWrite->stop();
    for (const auto& State : FWatch.Targets()) {
        FMetrics.Registry().SetMonitoringActive(State.Id, false);
    }
    FDirty = true;
    Changed();
}

bool THeadlessTargets::Reload(std::ostream& Errors) {
    const auto Reread = Read(FOptions, Errors);
    if (!Reread) {
        return false;
    }
    const TTargetsChange Change = CompareTargets(Current(FWatch), *Reread);
    FWatch.SetTargets(*Reread);
    std::set<uint64_t> Present;
    for (const auto& State : FWatch.Targets()) {
        Present.insert(State.Id);
        if (!FSeries.contains(State.Id)) {
            WatchSeries(State);
            FMetrics.Registry().SetMonitoringActive(State.Id, true);
        }
    }
    for (auto Key = FSeries.begin(); Key != FSeries.end();) {
        if (Present.contains(*Key)) {
            ++Key;
            continue;
        }
        FMetrics.Registry().Unwatch(*Key);
        Key = FSeries.erase(Key);
    }
    Errors << QCoreApplication::translate("THeadlessTargets",
                                          "zirko: %1 read again: %2 kept, %3 added, %4 removed")
                  .arg(QString::fromStdString(*FOptions.Config))
                  .arg(Change.Kept.size())
                  .arg(Change.Added.size())
                  .arg(Change.Removed.size())
                  .toStdString()
           << "\n";
    FDirty = true;
    Changed();
    return true;
}

void THeadlessTargets::WatchSeries(const TTargetWatch::TState& State) {
    TMetricsRegistry& Registry = FMetrics.Registry();
    const TTarget& Target = State.Target;
    Registry.Watch(State.Id, {Target.Host, State.Address.value_or(""), Target.Source},
                   Target.Labels);
    Registry.SetAlarmThreshold(State.Id, Target.AlarmAfterLost);
    Registry.SetAverageLimitMs(State.Id, Target.LatencyLimitMs);
    FSeries.insert(State.Id);
    FDirty = true;
}

void THeadlessTargets::Counted(const TTargetWatch::TState& State, const TReplyStatus& Reply) {
    TMetricsRegistry& Registry = FMetrics.Registry();
    if (Reply.Status == skError) {
        Registry.AddSendError(State.Id);
    } else {
        Registry.AddReply(State.Id, Reply);
    }
    Registry.SetConsecutiveLost(State.Id, State.Counters.n_persi_consecutivi);
    const auto& Slow = State.Slow.Current();
    Registry.SetSlowActive(State.Id, Slow && Slow->End == TOutageEnd::Open);
    FDirty = true;
}

void THeadlessTargets::Outage(const TTargetWatch::TState& State,
                              const TOutageTracker::TEvent& Event) {
    FMetrics.Registry().SetOutage(State.Id, State.Outages.Current());
    FDirty = true;
    // One trace at a time: an outage of many targets at once is traced to the first.
    if (Event.Change == TOutageTracker::TChange::Began && FEvidence != nullptr &&
        !FEvidence->Tracing()) {
        FEvidence->OutageBegan(Event.Outage);
    }
}

void THeadlessTargets::Changed() {
    if (FDirty) {
        FDirty = false;
        FMetrics.Changed();
    }
}
