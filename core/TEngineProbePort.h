// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TLookupThread.h"
#include "TNetProbeEngine.h"
#include "TProbePort.h"

#include <QObject>

#include <map>
#include <memory>
#include <unordered_map>

class QSocketNotifier;
class QTimer;
class TNetContext;

// The probe port on the event loop: every target's echo requests go through one
// non-blocking engine (one socket per family, or the helper's channel), read when a
// descriptor turns readable, expired when the engine's next due time comes. Sends
// asked for within one step leave together, and answers are read together, at most
// every BatchMs: waking once per probe costs more than the probes, and round trips
// are stamped by the kernel, so a probe that waits for its batch is measured as
// exactly as any. Names
// are looked up on one thread of their own, literal addresses at once.
class TEngineProbePort : public QObject, public TProbePort {
    Q_OBJECT

public:
    static constexpr int BatchMs = 10;
    static constexpr int HopLimit = 64;

    explicit TEngineProbePort(TNetContext& Context, QObject* Parent = nullptr);
    ~TEngineProbePort() override;

    void Send(const std::string& Address, TToken Token, int TimeoutMs) override;
    void SendAs(const std::string& Address, TToken Token, int TimeoutMs, int Size,
                const std::string& Source) override;
    void Resolve(const std::string& Host, TToken Token) override;
    void ResolveIn(const std::string& Host, TTargetNetwork Network, TToken Token) override;

    const TNetProbeEngine& Engine() const { return FEngine; }
    // The address text of Host in Network without a lookup, when Host is an address;
    // nothing when it is one of the other family; unset when a lookup must say.
    static std::optional<std::optional<std::string>> Literal(const std::string& Host,
                                                             TTargetNetwork Network);

private:
    void Batch();
    void Work();
    void Arm();
    void WatchDescriptors();

    TNetContext& FContext;
    TNetProbeEngine FEngine;
    TLookupThread* FLookups;
    QTimer* FTimer;
    std::map<int, std::unique_ptr<QSocketNotifier>> FNotifiers;
    std::unordered_map<uint32_t, TToken> FTokens; // by the engine's round
    uint32_t FRound = 0;
    bool FBatchArmed = false;
};
