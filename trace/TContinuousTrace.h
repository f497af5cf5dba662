// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TLookupThread.h"
#include "TNetProbeEngine.h"
#include "TNetTraceRounds.h"
#include "TRouteWatch.h"
#include "TTraceStatistics.h"
#include "TTraceVerdict.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
class TNetContext;

// A continuous trace run by Qt's event loop: the host is looked up on a thread of its own, the
// probe engine's descriptor is watched for input and a single-shot timer wakes it when a
// round or an expiry is due, so the thread that runs it never waits. It keeps the per-hop
// table, the addresses answering at each hop now, and the names of the addresses (looked up
// off the thread too, where a name lookup is set). QtCore only.
class TContinuousTrace : public QObject {
    Q_OBJECT

public:
    // Both run on the lookup thread.
    using TAddressLookup = std::function<TLookupThread::TResult(const std::string& AHost)>;
    using TNameLookup = std::function<QString(const QString& AAddress)>;

    explicit TContinuousTrace(TNetContext& AContext, QObject* AParent = nullptr);
    ~TContinuousTrace() override;

    // Drops the last trace's figures and traces AHost: every hop up to AMaxHops, one round an
    // interval, until Stop, or for ARounds rounds when that is not 0. Signals come only from
    // the event loop, never from inside Start.
    void Start(const QString& AHost, int AMaxHops, uint32_t ARounds = 0);
    // The figures stay.
    void Stop();
    // From Start until Stop, the end of a bounded trace, or a failure.
    bool Running() const { return FState != TState::Idle; }

    // One second and one second by default.
    void SetTiming(int64_t AIntervalNs, int32_t ATimeoutMs);
    // The system resolver by default.
    void SetAddressLookup(TAddressLookup ALookup) { FAddressLookup = std::move(ALookup); }
    // None by default: the names of the hops are looked up only where one is set.
    void SetNameLookup(TNameLookup ALookup) { FNameLookup = std::move(ALookup); }

    const QString& Host() const { return FHost; }
    // The address traced, empty until the host is looked up.
    const QString& Address() const { return FAddress; }
    uint32_t Rounds() const { return FRounds.Rounds(); }
    // In hop order, up to the hop where the destination answered or was reported unreachable.
    std::vector<TTraceHop> Hops() const;
    TTraceVerdict Verdict() const;
    // Empty while not looked up, or when the address has no name.
    QString NameOf(const QString& AAddress) const { return FNames.value(AAddress); }
    QStringList CurrentAddresses(int AHop) const { return FRoutes.Current(AHop); }
    const TNetProbeEngine& Engine() const { return FEngine; }

signals:
    void Started(const QString& AAddress);
    // The figures of a hop changed; once per hop for all that one turn of the loop read.
    void HopChanged(int AHop);
    // The set of addresses answering at a hop changed.
    void RouteChanged(int AHop, const QStringList& ABefore, const QStringList& AAfter);
    void NameFound(const QString& AAddress, const QString& AName);
    // Every round of a bounded trace ended.
    void Finished();
    // The host was not found or the probes could not be sent; the trace is over.
    void Failed(const QString& AMessage);

private:
    enum class TState { Idle, LookingUp, Tracing };
    struct TTurn; // what one turn of the loop read

    void Begin(uint64_t ARun, const TLookupThread::TResult& AResult);
    void Work();
    void Take(const TNetProbeResult& AResult, TTurn& ATurn);
    bool Announce(uint64_t ARun, const TTurn& ATurn);
    void Arm();
    void Halt();
    void Fail(const QString& AMessage);
    void LookUpName(const QString& AAddress);
    // Where the trace ends, as Hops(); 0 while it is not known.
    int LastHop() const;

    TNetContext& FContext;
    TNetProbeEngine FEngine;
    TNetTraceRounds FRounds;
    TNetTraceRounds::TSettings FSettings;
    TTraceStatistics FStatistics;
    TRouteWatch FRoutes;
    TAddressLookup FAddressLookup;
    TNameLookup FNameLookup;
    QHash<QString, QString> FNames;
    QSet<QString> FAsked;
    QString FHost;
    QString FAddress;
    TState FState = TState::Idle;
    uint64_t FRun = 0; // which Start a late lookup or a queued turn belongs to
    std::unique_ptr<QSocketNotifier> FNotifier;
    QTimer* FTimer;
    // Last, so it goes first: no result of it reaches a half-destroyed trace.
    TLookupThread FLookups;
};
