// SPDX-License-Identifier: GPL-3.0-or-later
#include "TEngineProbePort.h"

#include "TClock.h"
#include "TIcmpWire.h"
#include "TNetContext.h"
#include "TNetStack.h"

#include <QSocketNotifier>
#include <QTimer>

#include <exception>

namespace {

TReplyStatus ReplyOf(const TNetProbeResult& Result) {
    TReplyStatus Reply;
    Reply.Status = Result.Kind;
    if (Result.Kind != skEchoReply) {
        return Reply; // lost: no bytes, no round trip
    }
    Reply.ReplyBytes = Result.Bytes;
    Reply.FromAddress = Result.From;
    Reply.ReplyTtl = Result.ReplyTtl;
    Reply.RoundTripUs = Result.RoundTripNs / 1000;
    Reply.RoundTripMs = uint32_t(Result.RoundTripNs / TClock::NsPerMs);
    return Reply;
}

// On the lookup thread: a stack of its own, as the context's belongs to the loop's thread.
std::optional<std::string> Lookup(const std::string& Host, TTargetNetwork Network) {
    const auto Stack = TNetContext::SystemStack()();
    const auto Try = [&](TIPVersion Version) -> std::optional<std::string> {
        try {
            return Stack->ResolveAddress(Host, Version);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    };
    if (Network == TTargetNetwork::Ip6) {
        return Try(Id_IPv6);
    }
    auto Found = Try(Id_IPv4);
    if (!Found && Network == TTargetNetwork::Any) {
        Found = Try(Id_IPv6);
    }
    return Found;
}

} // namespace

TEngineProbePort::TEngineProbePort(TNetContext& Context, QObject* Parent)
    : QObject(Parent), FContext(Context), FEngine(Context), FLookups(new TLookupThread(this)),
      FTimer(new QTimer(this)) {
    FTimer->setSingleShot(true);
    connect(FTimer, &QTimer::timeout, this, &TEngineProbePort::Work);
}

TEngineProbePort::~TEngineProbePort() = default;

void TEngineProbePort::Send(const std::string& Address, TToken Token, int TimeoutMs) {
    SendAs(Address, Token, TimeoutMs, 0, {});
}

void TEngineProbePort::SendAs(const std::string& Address, TToken Token, int TimeoutMs, int Size,
                              const std::string& Source) {
    const uint32_t Round = ++FRound;
    FTokens[Round] = Token;
    FEngine.Queue(Address, HopLimit, Round, TimeoutMs, Size, Source);
    // What else is due within the batch leaves with this one.
    Batch();
}

void TEngineProbePort::Batch() {
    if (!FBatchArmed) {
        FBatchArmed = true;
        FTimer->start(BatchMs);
    }
}

void TEngineProbePort::Resolve(const std::string& Host, TToken Token) {
    ResolveIn(Host, TTargetNetwork::Any, Token);
}

std::optional<std::optional<std::string>> TEngineProbePort::Literal(const std::string& Host,
                                                                    TTargetNetwork Network) {
    if (TNetStack::IsDottedQuad(Host)) {
        return Network == TTargetNetwork::Ip6 ? std::optional<std::string>() : Host;
    }
    if (const auto Six = TNetStack::IPv6Literal(Host)) {
        return Network == TTargetNetwork::Ip4 ? std::optional<std::string>() : *Six;
    }
    return std::nullopt;
}

void TEngineProbePort::ResolveIn(const std::string& Host, TTargetNetwork Network, TToken Token) {
    if (const auto Address = Literal(Host, Network)) {
        if (OnResolved) {
            OnResolved(Token, *Address);
        }
        return;
    }
    FLookups->Run(
        [Host, Network] {
            const auto Found = Lookup(Host, Network);
            return TLookupThread::TResult{Found.has_value(),
                                          QString::fromStdString(Found.value_or(""))};
        },
        [this, Token](const TLookupThread::TResult& Result) {
            if (OnResolved) {
                OnResolved(Token,
                           Result.Found ? std::optional(Result.Text.toStdString()) : std::nullopt);
            }
        });
}

void TEngineProbePort::Work() {
    FBatchArmed = false;
    const std::vector<TNetProbeResult> Results = FEngine.Process();
    for (auto& [Descriptor, Notifier] : FNotifiers) {
        Notifier->setEnabled(true);
    }
    // A family's socket opens with its first probe: watch it from then on.
    WatchDescriptors();
    for (const TNetProbeResult& Result : Results) {
        const auto Found = FTokens.find(Result.Round);
        if (Found == FTokens.end()) {
            continue;
        }
        const TToken Token = Found->second;
        FTokens.erase(Found);
        if (OnAnswer) {
            OnAnswer({Result.Address, Token, ReplyOf(Result)});
        }
    }
    Arm();
}

void TEngineProbePort::Arm() {
    if (FBatchArmed) {
        return; // the batch's turn comes first
    }
    const auto Due = FEngine.NextDueNs();
    if (!Due) {
        FTimer->stop();
        return;
    }
    const int64_t Left = *Due - FContext.Clock().SteadyNs();
    // Expiries are late by at most a batch; they count as timed out either way.
    const int64_t Ms = Left <= 0 ? 0 : (Left + TClock::NsPerMs - 1) / TClock::NsPerMs;
    FTimer->start(int(std::max<int64_t>(Ms, Left <= 0 ? 0 : BatchMs)));
}

void TEngineProbePort::WatchDescriptors() {
    for (const int Descriptor : FEngine.Descriptors()) {
        if (FNotifiers.contains(Descriptor)) {
            continue;
        }
        auto Notifier = std::make_unique<QSocketNotifier>(Descriptor, QSocketNotifier::Read);
        // Answers are read with the next batch, not one wake-up each: their round trips
        // end at the kernel's stamp anyway. Until then the descriptor is not watched.
        connect(Notifier.get(), &QSocketNotifier::activated, this, [this, Raw = Notifier.get()] {
            Raw->setEnabled(false);
            Batch();
        });
        FNotifiers.emplace(Descriptor, std::move(Notifier));
    }
}
