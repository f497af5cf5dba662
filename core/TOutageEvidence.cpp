// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOutageEvidence.h"

#include "TContinuousTrace.h"
#include "THistoryKeeper.h"
#include "THistoryStore.h"
#include "TPingCore.h"

#include <cmath>

TOutageEvidence::TOutageEvidence(TNetContext& Net, TMaxHops MaxHops, QObject* Parent)
    : QObject(Parent), FMaxHops(std::move(MaxHops)), FTrace(new TContinuousTrace(Net, this)) {
    connect(FTrace, &TContinuousTrace::Finished, this,
            [this] { Keep(TraceOf(FTrace->Hops(), FTrace->Verdict().Sentence)); });
    // A host that no longer resolves, or probes that cannot be sent, say so instead.
    connect(FTrace, &TContinuousTrace::Failed, this,
            [this](const QString& Message) { Keep(TraceOf({}, Message)); });
}

void TOutageEvidence::SetHistory(THistoryStore* Store, const std::optional<TOutage>& Current) {
    FHistory = Store;
    if (FOutage.Id == 0 && Current && Current->StartToMs == FOutage.StartToMs) {
        FOutage.Id = Current->Id;
    }
}

void TOutageEvidence::Follow(TPingCore& Core, THistoryKeeper& Keeper, THistoryStore& Store) {
    connect(&Core, &TPingCore::OutageBegan, this, &TOutageEvidence::OutageBegan);
    Core.HoldHistory([&Keeper] { Keeper.Need(); });
    connect(&Keeper, &THistoryKeeper::Opened, this, [this, &Core, &Store] {
        Core.SetHistory(&Store);
        SetHistory(&Store, Core.Outage());
    });
}

bool TOutageEvidence::Tracing() const {
    return FTrace->Running();
}

void TOutageEvidence::OutageBegan(const TOutage& Outage) {
    // A new outage's path is what counts now; an older trace unfinished is dropped.
    FTrace->Stop();
    FOutage = Outage;
    FTrace->Start(QString::fromStdString(Outage.Host), FMaxHops(), Rounds);
}

void TOutageEvidence::Keep(const TOutageTrace& Trace) {
    FOutage.Path = Trace.Verdict;
    if (FHistory != nullptr && FHistory->Available() && FOutage.Id != 0) {
        FHistory->SetOutageTrace(FOutage.Id, Trace);
    }
    emit TraceKept(FOutage);
}

TOutageTrace TOutageEvidence::TraceOf(const std::vector<TTraceHop>& Hops, const QString& Verdict) {
    TOutageTrace Trace;
    Trace.Verdict = Verdict.toStdString();
    const auto Us = [](double Ms) { return std::optional<int64_t>(std::llround(Ms * 1000)); };
    for (const TTraceHop& Hop : Hops) {
        if (Hop.Addresses().empty()) {
            Trace.Hops.push_back({Hop.Hop(), "", Hop.Sent(), 0, std::nullopt, std::nullopt});
        }
        for (const TTraceAddress& Address : Hop.Addresses()) {
            Trace.Hops.push_back({Hop.Hop(), Address.Address.toStdString(), Hop.Sent(),
                                  Address.Received, Us(Address.Rtt.Mean()),
                                  Us(Address.Rtt.Worst())});
        }
    }
    return Trace;
}
