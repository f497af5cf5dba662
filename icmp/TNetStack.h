// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetTypes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The socket layer: every socket call goes through it so that one place checks results
// and turns error codes into exceptions. One object serves all components of a context.
class TNetStack {
public:
    virtual ~TNetStack() = default;

    // "LOCALHOST" in any case, then a dotted quad unchanged, then an IPv6 literal in its
    // canonical text, else a host-name lookup.
    std::string ResolveAddress(const std::string& AHost, TIPVersion AIPVersion = Id_IPv4);
    static bool IsDottedQuad(std::string_view AText);
    static std::string AddressToText(const std::array<uint8_t, 4>& AAddress);
    static std::array<uint8_t, 4> TextToAddress(std::string_view AText);
    static int AddressFamily(TIPVersion AIPVersion);
    // An IPv6 literal, bare or in brackets, with an optional "%zone": its canonical text
    // with the zone kept as written, or nothing when AText is no such literal.
    static std::optional<std::string> IPv6Literal(std::string_view AText);
    // The RFC 5952 text: lower case, no leading zeros, the longest run of two or more zero
    // groups (the first of equal runs) as "::", IPv4-mapped addresses with a dotted tail.
    static std::string Address6ToText(const std::array<uint8_t, 16>& AAddress);
    // The destination of an IPv6 address text, its "%zone" an interface name or index; false
    // when the text is no address or the zone names no interface.
    static bool Destination6(const std::string& AAddress, std::array<uint8_t, 16>& AAddressOut,
                             uint32_t& AScopeId);
    // The family of a resolved address text: only IPv6 texts contain a colon.
    static TIPVersion AddressIPVersion(std::string_view AAddress);

    virtual std::string LookupHostName(const std::string& AName) = 0;
    virtual void CloseSocketId(TSocketId AId) = 0;
    virtual TSocketId OpenSocket(TIPVersion AIPVersion, int AType, int AProtocol,
                                 bool AOverlapped) = 0;
    virtual void SetIntOption(TSocketId AId, int ALevel, int AOption, int32_t AValue) = 0;
    // An option whose value is a structure, given as its bytes.
    virtual void SetOption(TSocketId AId, int ALevel, int AOption,
                           std::span<const uint8_t> AValue) = 0;
    // Returns the datagram's full length, which may exceed the area when it was cut.
    virtual int32_t ReceiveDatagram(TSocketId AId, std::span<uint8_t> AArea) = 0;
    // ReceiveDatagram with the kernel's receive stamp (TClock::WallNs), where one came.
    virtual int32_t ReceiveStamped(TSocketId AId, std::span<uint8_t> AArea,
                                   std::optional<int64_t>& AStampNs) {
        AStampNs.reset();
        return ReceiveDatagram(AId, AArea);
    }
    // Asks for receive stamps on a socket; where none come, round trips use the monotonic clock.
    virtual void EnableReceiveStamps(TSocketId /*AId*/) {}
    virtual void SendDatagram(TSocketId AId, std::span<const uint8_t> ABytes,
                              const std::string& AAddress, int32_t APort) = 0;
    // Waits for readability: 0 polls once, -2 waits without limit. Result > 0 when readable.
    virtual int32_t WaitReadable(TSocketId AId, int32_t AMilliseconds) = 0;
    virtual std::string SocketErrorMessage(int32_t ACode) const;
    virtual int32_t LastSocketError() const = 0;

    int32_t CheckSocketResult(int32_t AValue);
    [[noreturn]] void ThrowSocketError(int32_t ACode) const;
    // A failed send: a message too long for the path has an exception of its own.
    [[noreturn]] void ThrowSendError(int32_t ACode) const;
};
