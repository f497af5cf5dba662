// SPDX-License-Identifier: GPL-3.0-or-later
#include "TContinuousTrace.h"

#include "TNetContext.h"
#include "TSystemLookups.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <exception>

struct TContinuousTrace::TTurn {
    std::vector<int> Hops;
    std::vector<TRouteWatch::TChange> Changes;
};

namespace {

bool Answered(TReplyStatusKind AKind) {
    return AKind == skEchoReply || AKind == skTtlExceeded || AKind == skUnreachable;
}

} // namespace

TContinuousTrace::TContinuousTrace(TNetContext& AContext, QObject* AParent)
    : QObject(AParent), FContext(AContext), FEngine(AContext), FRounds(FEngine),
      FAddressLookup(&TSystemLookups::Address), FTimer(new QTimer(this)) {
    FTimer->setSingleShot(true);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, &TContinuousTrace::Work);
}

TContinuousTrace::~TContinuousTrace() {
    Halt();
}

void TContinuousTrace::SetTiming(int64_t AIntervalNs, int32_t ATimeoutMs) {
    FSettings.IntervalNs = AIntervalNs;
    FSettings.TimeoutMs = ATimeoutMs;
}

int TContinuousTrace::LastHop() const {
    // The hops past an unreachable report were probed once, before the trace knew it ended
    // there: the same router's reports, or nothing where it held them back.
    for (const TTraceHop& H : FStatistics.Rows()) {
        if (H.Destination() || H.Unreachable()) {
            return H.Hop();
        }
    }
    return 0;
}

std::vector<TTraceHop> TContinuousTrace::Hops() const {
    std::vector<TTraceHop> Rows = FStatistics.Rows();
    if (const int Last = LastHop(); Last != 0) {
        std::erase_if(Rows, [Last](const TTraceHop& H) { return H.Hop() > Last; });
    }
    return Rows;
}

TTraceVerdict TContinuousTrace::Verdict() const {
    std::vector<THopFigures> Figures;
    for (const TTraceHop& H : Hops()) {
        Figures.push_back({H.Hop(), H.Sent(), H.Received(), H.Destination(), H.Unreachable()});
    }
    return TTraceVerdict::Of(Figures);
}

void TContinuousTrace::Start(const QString& AHost, int AMaxHops, uint32_t ARounds) {
    Halt();
    const uint64_t Run = ++FRun;
    FStatistics.Clear();
    FRoutes.Clear();
    FNames.clear();
    FAsked.clear();
    FHost = AHost;
    FAddress.clear();
    FSettings.MaxHops = AMaxHops;
    FSettings.Rounds = ARounds;
    FState = TState::LookingUp;
    FLookups.Run([Lookup = FAddressLookup, Host = AHost.toStdString()] { return Lookup(Host); },
                 [this, Run](const TLookupThread::TResult& R) { Begin(Run, R); });
}

void TContinuousTrace::Stop() {
    ++FRun; // a lookup still under way finds its trace gone
    Halt();
}

void TContinuousTrace::Halt() {
    FNotifier.reset(); // before the engine closes the descriptor it watches
    FTimer->stop();
    FRounds.Stop();
    FState = TState::Idle;
}

void TContinuousTrace::Fail(const QString& AMessage) {
    Halt();
    emit Failed(AMessage);
}

void TContinuousTrace::Begin(uint64_t ARun, const TLookupThread::TResult& AResult) {
    if (ARun != FRun) {
        return;
    }
    if (!AResult.Found) {
        Fail(AResult.Text);
        return;
    }
    try {
        FRounds.Start(AResult.Text.toStdString(), FSettings);
    } catch (const std::exception& E) {
        Fail(QString::fromUtf8(E.what()));
        return;
    }
    FAddress = AResult.Text;
    FState = TState::Tracing;
    FNotifier = std::make_unique<QSocketNotifier>(FEngine.Descriptor(), QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TContinuousTrace::Work);
    Arm();
    const QPointer<TContinuousTrace> Self(this);
    emit Started(FAddress);
}

void TContinuousTrace::Arm() {
    const auto Due = FRounds.NextDueNs();
    if (!Due) {
        FTimer->stop();
        return;
    }
    const int64_t Left = *Due - FContext.Clock().SteadyNs();
    FTimer->start(Left <= 0 ? 0 : static_cast<int>((Left + TClock::NsPerMs - 1) / TClock::NsPerMs));
}

void TContinuousTrace::Work() {
    if (FState != TState::Tracing) {
        return;
    }
    const uint64_t Run = FRun;
    std::vector<TNetProbeResult> Results;
    try {
        Results = FRounds.Process();
    } catch (const std::exception& E) {
        Fail(QString::fromUtf8(E.what()));
        return;
    }
    TTurn Turn;
    for (const TNetProbeResult& R : Results) {
        Take(R, Turn);
    }
    const bool Done = FRounds.Done();
    if (Done) {
        Halt();
    } else {
        Arm();
    }
    if (Announce(Run, Turn) && Done) {
        emit Finished();
    }
}

void TContinuousTrace::Take(const TNetProbeResult& AResult, TTurn& ATurn) {
    const QString From = QString::fromStdString(AResult.From);
    FStatistics.Add(AResult.Ttl, AResult.Kind, From,
                    static_cast<double>(AResult.RoundTripNs) / 1e6);
    const int Last = LastHop();
    if (Last != 0 && AResult.Ttl > Last) {
        return; // sent past the destination before the trace knew where it ends
    }
    if (Answered(AResult.Kind)) {
        if (auto Change = FRoutes.Add(AResult.Ttl, AResult.Round, From)) {
            ATurn.Changes.push_back(std::move(*Change));
        }
        LookUpName(From);
    }
    if (std::find(ATurn.Hops.begin(), ATurn.Hops.end(), AResult.Ttl) == ATurn.Hops.end()) {
        ATurn.Hops.push_back(AResult.Ttl);
    }
}

bool TContinuousTrace::Announce(uint64_t ARun, const TTurn& ATurn) {
    // A receiver may stop the trace, start another one or delete this object.
    const QPointer<TContinuousTrace> Self(this);
    const auto Same = [&] { return !Self.isNull() && FRun == ARun; };
    for (const int Hop : ATurn.Hops) {
        emit HopChanged(Hop);
        if (!Same()) {
            return false;
        }
    }
    for (const TRouteWatch::TChange& C : ATurn.Changes) {
        emit RouteChanged(C.Hop, C.Before, C.After);
        if (!Same()) {
            return false;
        }
    }
    return true;
}

void TContinuousTrace::LookUpName(const QString& AAddress) {
    if (!FNameLookup || AAddress.isEmpty() || FAsked.contains(AAddress)) {
        return;
    }
    FAsked.insert(AAddress);
    FLookups.Run(
        [Lookup = FNameLookup, AAddress] {
            const QString Name = Lookup(AAddress);
            return TLookupThread::TResult{!Name.isEmpty(), Name};
        },
        [this, AAddress](const TLookupThread::TResult& R) {
            if (R.Found && FAsked.contains(AAddress)) {
                FNames.insert(AAddress, R.Text);
                emit NameFound(AAddress, R.Text);
            }
        });
}
