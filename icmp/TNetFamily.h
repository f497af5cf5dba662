// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TNetTypes.h"
#include "TReplyStatus.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class TNetStack;

// What differs between IPv4 and IPv6 on the ICMP path: socket constants, the header a
// reader sees in front of each message, and the echo formats. The family is chosen once,
// by Of, and the socket handle carries it; the code that sends and reads is the same for
// both.
struct TNetFamily {
    using TArea = std::span<uint8_t>;
    using TWireArea = std::span<const uint8_t, TIcmpWire::AreaSize>;

    TIPVersion Version;
    int AddressFamily;
    int IcmpProtocol;
    int Level;           // of the options and control messages below
    int HopLimitOption;  // the TTL, or the unicast hop limit, of what is sent
    int ReceiveHopLimit; // asks for the received one...
    int HopLimitControl; // ...which comes in this control message
    int ErrorOption;     // asks for reports on the error queue, and tags them
    uint8_t ErrorOrigin;
    std::size_t AddressSize;
    std::size_t AddressOffset; // of the address inside the family's sockaddr
    // A raw socket (and the helper's) hands over the IP header with the message; otherwise
    // the reader puts one in front, built from the source address and the hop limit.
    bool RawKeepsHeader;

    int32_t (*SynthesizeReply)(TArea AArea, const uint8_t* ASource, uint8_t AHopLimit,
                               std::span<const uint8_t> AIcmp, std::size_t AIcmpLength);
    // ADestination is where the request an error-queue report quotes was sent.
    int32_t (*SynthesizeError)(TArea AArea, const uint8_t* AOffender, const uint8_t* ADestination,
                               uint8_t AHopLimit, uint8_t AType, uint8_t ACode,
                               std::span<const uint8_t> AQuoted);
    bool (*DecodeReply)(TWireArea AArea, int32_t AN, const TProbeMatch::TEcho& AEcho,
                        TReplyStatus& AStatus);
    void (*SetTimedOut)(TReplyStatus& AStatus, uint16_t ASequence);
    // Turns the request TIcmpWire built into this family's.
    void (*ToEchoRequest)(std::span<uint8_t, TIcmpWire::AreaSize> AEchoBuffer);
    // Sets a raw socket up for echo replies and error messages only.
    void (*PrepareRaw)(TNetStack& AStack, TSocketId AId);
    // The destination's bytes (the first AddressSize of them) and scope; false when the
    // text is no address of this family or its zone names no interface.
    bool (*Destination)(const std::string& AAddress, std::array<uint8_t, 16>& ABytes,
                        uint32_t& AScopeId);

    static const TNetFamily& Of(TIPVersion AVersion);
    // The family of a resolved address text.
    static const TNetFamily& OfAddress(std::string_view AAddress);
};
