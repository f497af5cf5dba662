// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetComponent.h"
#include "TNetSocketHandle.h"

#include <cstdint>
#include <string>
#include <vector>

// A client of one raw IPv4 or IPv6 socket, opened lazily and closed by the owner's protocol.
class TNetRawBase : public TNetComponent {
public:
    explicit TNetRawBase(TNetContext& AContext);
    ~TNetRawBase() override;

    const std::string& Host() const { return FHost; }
    // An IPv6 literal makes the socket IPv6, anything else IPv4; Ping may still find a name
    // that has only IPv6 addresses.
    void SetHost(std::string AValue);
    int32_t Port() const { return FPort; }
    void SetPort(int32_t AValue) { FPort = AValue; }
    int32_t ReceiveTimeout() const { return FReceiveTimeout; }
    void SetReceiveTimeout(int32_t AValue) { FReceiveTimeout = AValue; }
    int32_t Protocol() const { return FProtocol; }
    void SetProtocol(int32_t AValue) { FProtocol = AValue; }
    int32_t BufferSize() const { return static_cast<int32_t>(FBuffer.size()); }
    void SetBufferSize(int32_t AValue);
    int32_t TTL() const { return FTTL; }
    // Stores the value and applies it to the socket, opening the socket if needed.
    void SetTTL(int32_t AValue);

    TNetSocketHandle& Socket() { return FSocket; }

protected:
    // The socket, opened if needed, with its hop limit set to TTL.
    TNetSocketHandle& GetSocket();

private:
    TNetSocketHandle FSocket;
    std::vector<uint8_t> FBuffer; // spare; the echo exchange does not use it
    std::string FHost;
    int32_t FPort = 0;
    int32_t FReceiveTimeout = 0;
    int32_t FProtocol = 255;
    int32_t FTTL = 128;
};
