// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmpWire.h"

#include "TNetStack.h"

#include <algorithm>
#include <netinet/in.h>

namespace {

constexpr uint8_t EchoReply = 0;
constexpr uint8_t EchoRequest = 8;
constexpr uint8_t Unreachable = 3;

void PutLe16(std::span<uint8_t> ABytes, std::size_t AAt, uint16_t AValue) {
    ABytes[AAt] = static_cast<uint8_t>(AValue & 0xFF);
    ABytes[AAt + 1] = static_cast<uint8_t>(AValue >> 8);
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
                            const TProbeMatch::TEcho& AEcho, TReplyStatus& AStatus) {
    if (AN <= 0) {
        SetTimedOut(AStatus, AEcho.Sequence);
        return true;
    }
    AStatus.Status = skError;
    const auto Datagram =
        std::span<const uint8_t>(AArea).first(std::min(static_cast<std::size_t>(AN), AreaSize));
    if (static_cast<std::size_t>(AN) > AreaSize ||
        !TProbeMatch::Answers(AF_INET, Datagram, {}, AEcho)) {
        return false; // another's, a forgery, or longer than any reply to our request
    }
    const uint8_t Type = AArea[static_cast<std::size_t>(AArea[0] & 15) * 4];
    AStatus.ReplyBytes = AN;
    AStatus.FromAddress = TNetStack::AddressToText({AArea[12], AArea[13], AArea[14], AArea[15]});
    AStatus.IcmpType = Type;
    AStatus.Sequence = AEcho.Sequence;
    AStatus.ReplyTtl = AArea[8];
    AStatus.Status = Type == EchoReply     ? skEchoReply
                     : Type == Unreachable ? skUnreachable
                                           : skTtlExceeded;
    return true;
}
