// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetStack.h"

#include <sys/types.h>

struct sockaddr_in;
struct sockaddr_in6;

// The socket operations in terms of the BSD calls; platform classes supply the calls.
class TNetStackBSDBase : public TNetStack {
public:
    void CloseSocketId(TSocketId AId) override;
    TSocketId OpenSocket(TIPVersion AIPVersion, int AType, int AProtocol,
                         bool AOverlapped) override;
    void SetIntOption(TSocketId AId, int ALevel, int AOption, int32_t AValue) override;
    void SetOption(TSocketId AId, int ALevel, int AOption,
                   std::span<const uint8_t> AValue) override;
    int32_t ReceiveDatagram(TSocketId AId, std::span<uint8_t> AArea) override;
    void SendDatagram(TSocketId AId, std::span<const uint8_t> ABytes, const std::string& AAddress,
                      int32_t APort) override;
    int32_t WaitReadable(TSocketId AId, int32_t AMilliseconds) override;
    std::string SocketErrorMessage(int32_t ACode) const override;

    // The text of a code from the socket error table, empty when it has no row.
    static std::string TableText(int32_t ACode);

protected:
    virtual int WSCloseSocket(TSocketId AId) = 0;
    virtual ssize_t WSRecv(TSocketId AId, void* ABuffer, size_t ALength, int AFlags) = 0;
    virtual int WSShutdown(TSocketId AId, int AHow) = 0;
    virtual ssize_t WSSendTo(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                             const sockaddr_in& ATo) = 0;
    virtual ssize_t WSSendTo6(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                              const sockaddr_in6& ATo) = 0;
    virtual TSocketId WSSocket(int AFamily, int AType, int AProtocol) = 0;
    virtual int WSSetSockOpt(TSocketId AId, int ALevel, int AOption, const void* AValue,
                             unsigned ALength) = 0;
    virtual int WSPoll(TSocketId AId, int ATimeoutMs) = 0;
};
