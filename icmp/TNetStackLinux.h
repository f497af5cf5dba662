// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetStackBSDBase.h"
#include "TNetStampKeeper.h"

// The stack over the Linux socket calls; errno and lookup failures become the table's codes.
class TNetStackLinux : public TNetStackBSDBase {
public:
    std::string LookupHostName(const std::string& AName) override;
    std::string SocketErrorMessage(int32_t ACode) const override;
    int32_t LastSocketError() const override;
    int32_t ReceiveStamped(TSocketId AId, std::span<uint8_t> AArea,
                           std::optional<int64_t>& AStampNs) override;
    void EnableReceiveStamps(TSocketId AId) override;

    static int32_t ErrnoToCode(int AErrno);
    static int32_t LookupErrorToCode(int AGaiError);

protected:
    int WSCloseSocket(TSocketId AId) override;
    ssize_t WSRecv(TSocketId AId, void* ABuffer, size_t ALength, int AFlags) override;
    int WSShutdown(TSocketId AId, int AHow) override;
    ssize_t WSSendTo(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                     const sockaddr_in& ATo) override;
    ssize_t WSSendTo6(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                      const sockaddr_in6& ATo) override;
    TSocketId WSSocket(int AFamily, int AType, int AProtocol) override;
    int WSSetSockOpt(TSocketId AId, int ALevel, int AOption, const void* AValue,
                     unsigned ALength) override;
    int WSPoll(TSocketId AId, int ATimeoutMs) override;

private:
    TNetStampKeeper FStampKeeper;
};
