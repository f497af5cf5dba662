// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TProbeMatch.h"
#include "TProbeProtocol.h"
#include "TSendRate.h"

#include <cstdint>
#include <sys/types.h>
#include <vector>

// Sends the window's echo requests over the helper's two raw sockets and forwards the
// datagrams that answer a waiting probe (TProbeMatch), until the window closes its end of the
// pair. Only requests sent by the client process are served; the kernel attaches each
// sender's process id (the channel has SO_PASSCRED set). Every request leaves with the
// server's own random identifier, so the raw sockets' view of other programs' echoes, which
// carry theirs, never matches, and no caller can pose as another program.
class TProbeServer {
public:
    // The raw sockets, opened while the right is held; -1 with the errno of the failure.
    struct TSockets {
        int Ipv4 = -1;
        int Error4 = 0;
        int Ipv6 = -1;
        int Error6 = 0;
    };
    static TSockets OpenSockets();

    // One second of sends at the pace: silent targets waiting out a one-second reply wait
    // never hold up the rest, and the bound on what the helper keeps is 4,096 small entries.
    static constexpr std::size_t MaxWaiting = 4096;

    TProbeServer(int AChannel, pid_t AClient, TSockets ASockets);
    ~TProbeServer();
    TProbeServer(const TProbeServer&) = delete;
    TProbeServer& operator=(const TProbeServer&) = delete;

    // Says which families are served, then serves. 0 when the client closed its end, 1 when
    // the channel failed.
    int Run();

private:
    struct TWaiting {
        uint32_t Id;
        int Family;
        TProbeMatch::TEcho Echo;
        int64_t DeadlineNs;
    };

    // One message from the channel; false when the channel is closed or broken.
    bool ServeRequest();
    int32_t SendProbe(TProbeProtocol::TProbe& AProbe, std::optional<int64_t>& AStampNs);
    // Reads what the socket holds, a bounded number at a time, and forwards what concerns us.
    bool Drain(int AFamily);
    bool Forward(int AFamily, std::span<const uint8_t> ABytes, std::optional<int64_t> AStampNs,
                 int32_t AHopLimit, const std::array<uint8_t, 16>& ASource);
    void Expire(int64_t ANowNs);
    int PollTimeoutMs(int64_t ANowNs) const;
    bool Answer(const TProbeProtocol::TAnswer& AAnswer);

    int FChannel;
    pid_t FClient;
    TSockets FSockets;
    int FHopLimit4 = -1;
    int FHopLimit6 = -1;
    TSendRate FRate;
    const uint16_t FIdentifier;
    std::vector<TWaiting> FWaiting;
};
