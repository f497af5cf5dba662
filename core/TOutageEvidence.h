// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"
#include "TTraceHop.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class TContinuousTrace;
class THistoryKeeper;
class THistoryStore;
class TNetContext;
class TPingCore;

// When an outage begins, a short continuous trace to its host in the background,
// kept with the outage in the history, so its record can say where the path
// broke at that moment. The pings go on as they would, window or not.
class TOutageEvidence : public QObject {
    Q_OBJECT

public:
    static constexpr uint32_t Rounds = 10;
    using TMaxHops = std::function<int()>;

    TOutageEvidence(TNetContext& Net, TMaxHops MaxHops, QObject* Parent);

    // Where traces are kept from now on. Current is the monitor's outage then: one
    // that began before the store was open has only now been given its row.
    void SetHistory(THistoryStore* Store, const std::optional<TOutage>& Current);
    void OutageBegan(const TOutage& Outage);
    bool Tracing() const;
    // Traces Core's outages. Core holds what it counts until Keeper has opened Store;
    // then the core and the evidence keep theirs in it.
    void Follow(TPingCore& Core, THistoryKeeper& Keeper, THistoryStore& Store);

    // The trace's hops as the history keeps them: a row per answering address,
    // one without an address for a hop where nothing answered.
    static TOutageTrace TraceOf(const std::vector<TTraceHop>& Hops, const QString& Verdict);

signals:
    // The trace of Outage was kept; Outage.Path holds its verdict.
    void TraceKept(const TOutage& Outage);

private:
    void Keep(const TOutageTrace& Trace);

    THistoryStore* FHistory = nullptr;
    TMaxHops FMaxHops;
    TContinuousTrace* FTrace;
    TOutage FOutage;
};
