// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReplyStatus.h"
#include "TTarget.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// How the watch of many targets reaches the network: names resolved and single echo
// probes sent, neither ever blocking the caller. What comes back comes through the
// callbacks on the caller's thread, tagged with the token it was asked with, so one
// socket per family serves every target. Tests put a scripted port in its place.
class TProbePort {
public:
    using TToken = uint64_t;
    struct TAnswer {
        std::string Address; // where the probe went
        TToken Token = 0;
        TReplyStatus Reply; // skTimedOut with no bytes when nothing came in time
    };

    virtual ~TProbePort() = default;
    // One echo request to a resolved address; exactly one answer follows, after at
    // most TimeoutMs.
    virtual void Send(const std::string& Address, TToken Token, int TimeoutMs) = 0;
    // The same with the target's payload size (0: the port's own) and source address
    // ("": the kernel's choice); a port that cannot shape its requests sends as above.
    virtual void SendAs(const std::string& Address, TToken Token, int TimeoutMs, int Size,
                        const std::string& Source) {
        (void)Size;
        (void)Source;
        Send(Address, Token, TimeoutMs);
    }
    // Host's address, or nullopt when it does not resolve, comes to OnResolved.
    virtual void Resolve(const std::string& Host, TToken Token) = 0;
    // The same within the family a target's "network" asks for; a port that cannot
    // tell families apart resolves as above.
    virtual void ResolveIn(const std::string& Host, TTargetNetwork Network, TToken Token) {
        (void)Network;
        Resolve(Host, Token);
    }

    std::function<void(const TAnswer&)> OnAnswer;
    std::function<void(TToken, const std::optional<std::string>&)> OnResolved;
};
