// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmpWire.h"

#include "ENetExceptions.h"
#include "TNetStack.h"

#include <algorithm>

namespace {

constexpr uint8_t EchoReply = 0;
constexpr uint8_t EchoRequest = 8;
constexpr uint8_t Unreachable = 3;
constexpr uint8_t TimeExceeded = 11;

void PutLe16(std::span<uint8_t> ABytes, std::size_t AAt, uint16_t AValue) {
    ABytes[AAt] = static_cast<uint8_t>(AValue & 0xFF);
    ABytes[AAt + 1] = static_cast<uint8_t>(AValue >> 8);
}

// Bytes past the datagram read as zero.
uint8_t ByteAt(std::span<const uint8_t> AArea, int32_t AN, std::size_t AAt) {
    return AAt < static_cast<std::size_t>(AN) && AAt < AArea.size() ? AArea[AAt] : 0;
}

uint16_t Le16At(std::span<const uint8_t> AArea, int32_t AN, std::size_t AAt) {
    return static_cast<uint16_t>(ByteAt(AArea, AN, AAt) | (ByteAt(AArea, AN, AAt + 1) << 8));
}

} // namespace

void TIcmpWire::BuildEchoRequest(std::span<uint8_t, AreaSize> AEchoBuffer, uint16_t AIdentifier,
                                 uint16_t ASequence, uint32_t ATimestamp,
                                 std::string_view APayload) {
    const auto Echo = AEchoBuffer.first(EchoSize);
    std::fill(Echo.begin(), Echo.end(), uint8_t{0});
    Echo[0] = EchoRequest;
    PutLe16(Echo, 4, AIdentifier);
    PutLe16(Echo, 6, ASequence);
    PutLe16(Echo, 8, static_cast<uint16_t>(ATimestamp & 0xFFFF));
    PutLe16(Echo, 10, static_cast<uint16_t>(ATimestamp >> 16));
    for (std::size_t I = 0; I < PayloadSize; ++I) {
        Echo[20 + I] = I < APayload.size() ? static_cast<uint8_t>(APayload[I]) : uint8_t{'E'};
    }
    PutLe16(Echo, 2, Checksum(Echo));
}

uint16_t TIcmpWire::Checksum(std::span<const uint8_t> ABytes) {
    uint32_t Sum = 0;
    for (std::size_t I = 0; I + 1 < ABytes.size(); I += 2) {
        Sum += static_cast<uint32_t>(ABytes[I] | (ABytes[I + 1] << 8));
    }
    if (ABytes.size() % 2 != 0) {
        Sum += ABytes.back();
    }
    Sum = (Sum >> 16) + (Sum & 0xFFFF);
    Sum += Sum >> 16;
    return static_cast<uint16_t>(~Sum & 0xFFFF);
}

void TIcmpWire::SetTimedOut(TReplyStatus& AStatus, uint16_t ASequence) {
    AStatus.ReplyBytes = 0;
    AStatus.FromAddress = "0.0.0.0";
    AStatus.IcmpType = 0;
    AStatus.Sequence = ASequence;
    AStatus.ReplyTtl = 0;
    AStatus.Status = skTimedOut;
}

bool TIcmpWire::DecodeReply(std::span<const uint8_t, AreaSize> AArea, int32_t AN,
                            uint16_t ASequence, TReplyStatus& AStatus) {
    if (AN <= 0) {
        SetTimedOut(AStatus, ASequence);
        return true;
    }
    AStatus.Status = skError;
    if (static_cast<std::size_t>(AN) > AreaSize) {
        return false; // longer than any reply to our 52-byte request
    }
    const std::size_t H = static_cast<std::size_t>(AArea[0] & 15) * 4;
    if (H + 8 > static_cast<std::size_t>(AN)) {
        throw ENetIcmpException("Not enough bytes received");
    }
    const uint8_t Type = AArea[H];
    const uint16_t Quoted = Le16At(AArea, AN, 2 * H + 14);
    TReplyStatusKind Kind = skError;
    uint16_t Sequence = 0;
    switch (Type) {
    case EchoReply:
    case EchoRequest:
        Kind = skEchoReply;
        Sequence = Le16At(AArea, AN, H + 6);
        break;
    case Unreachable:
        Kind = skUnreachable;
        Sequence = Quoted;
        break;
    case TimeExceeded:
        Kind = skTtlExceeded;
        Sequence = Quoted;
        break;
    default:
        // Other hosts' ICMP traffic reaches every raw socket; only a message about our own
        // request is a failure of this ping.
        if (Quoted == ASequence) {
            throw ENetIcmpException("Non-echo type response received");
        }
        return false;
    }
    if (Sequence != ASequence) {
        return false;
    }
    AStatus.ReplyBytes = AN;
    AStatus.FromAddress = TNetStack::AddressToText({ByteAt(AArea, AN, 12), ByteAt(AArea, AN, 13),
                                                    ByteAt(AArea, AN, 14), ByteAt(AArea, AN, 15)});
    AStatus.IcmpType = Type;
    AStatus.Sequence = Sequence;
    AStatus.ReplyTtl = ByteAt(AArea, AN, 8);
    AStatus.Status = Kind;
    return true;
}
