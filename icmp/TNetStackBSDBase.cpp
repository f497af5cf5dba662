// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetStackBSDBase.h"

#include "ENetExceptions.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <utility>

namespace {

constexpr std::pair<int32_t, const char*> ErrorTable[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Buffer fault."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block."},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Cannot assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, cannot splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
};

constexpr int32_t HostNotFound = 11001;

bool ToAddress6(const std::string& AAddress, sockaddr_in6& ATo) {
    ATo = sockaddr_in6{};
    ATo.sin6_family = AF_INET6;
    std::array<uint8_t, 16> Address{};
    if (!TNetStack::Destination6(AAddress, Address, ATo.sin6_scope_id)) {
        return false;
    }
    std::memcpy(&ATo.sin6_addr, Address.data(), Address.size());
    return true;
}

} // namespace

std::string TNetStackBSDBase::TableText(int32_t ACode) {
    const auto It = std::find_if(std::begin(ErrorTable), std::end(ErrorTable),
                                 [ACode](const auto& Row) { return Row.first == ACode; });
    return It == std::end(ErrorTable) ? std::string() : std::string(It->second);
}

std::string TNetStackBSDBase::SocketErrorMessage(int32_t ACode) const {
    return TNetStack::SocketErrorMessage(ACode) + TableText(ACode);
}

void TNetStackBSDBase::CloseSocketId(TSocketId AId) {
    // Neither result matters: the identifier is given up either way.
    WSShutdown(AId, SHUT_WR);
    WSCloseSocket(AId);
}

TSocketId TNetStackBSDBase::OpenSocket(TIPVersion AIPVersion, int AType, int AProtocol,
                                       bool /*AOverlapped*/) {
    return CheckSocketResult(WSSocket(AddressFamily(AIPVersion), AType, AProtocol));
}

void TNetStackBSDBase::SetIntOption(TSocketId AId, int ALevel, int AOption, int32_t AValue) {
    CheckSocketResult(WSSetSockOpt(AId, ALevel, AOption, &AValue, sizeof(AValue)));
}

void TNetStackBSDBase::SetOption(TSocketId AId, int ALevel, int AOption,
                                 std::span<const uint8_t> AValue) {
    CheckSocketResult(
        WSSetSockOpt(AId, ALevel, AOption, AValue.data(), static_cast<unsigned>(AValue.size())));
}

int32_t TNetStackBSDBase::ReceiveDatagram(TSocketId AId, std::span<uint8_t> AArea) {
    // MSG_TRUNC reports the full length of a datagram too long for the area.
    return CheckSocketResult(
        static_cast<int32_t>(WSRecv(AId, AArea.data(), AArea.size(), MSG_TRUNC)));
}

void TNetStackBSDBase::SendDatagram(TSocketId AId, std::span<const uint8_t> ABytes,
                                    const std::string& AAddress, int32_t APort) {
    ssize_t Sent = 0;
    if (AddressIPVersion(AAddress) == Id_IPv6) {
        sockaddr_in6 To6{};
        if (!ToAddress6(AAddress, To6)) {
            ThrowSocketError(HostNotFound); // a zone that names no interface
        }
        Sent = WSSendTo6(AId, ABytes.data(), ABytes.size(), 0, To6);
    } else {
        sockaddr_in To{};
        To.sin_family = AF_INET;
        To.sin_port = htons(static_cast<uint16_t>(APort));
        const auto Address = TextToAddress(AAddress);
        std::memcpy(&To.sin_addr, Address.data(), Address.size());
        Sent = WSSendTo(AId, ABytes.data(), ABytes.size(), 0, To);
    }
    if (Sent == -1) {
        ThrowSendError(LastSocketError());
    }
    if (static_cast<size_t>(Sent) != ABytes.size()) {
        throw ENetNotAllBytesSent();
    }
}

int32_t TNetStackBSDBase::WaitReadable(TSocketId AId, int32_t AMilliseconds) {
    // A negative limit other than "no limit" polls once rather than waiting forever.
    const int Timeout = AMilliseconds == -2 ? -1 : std::max(AMilliseconds, 0);
    return CheckSocketResult(WSPoll(AId, Timeout));
}
