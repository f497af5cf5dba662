// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmp6Wire.h"

#include "ENetExceptions.h"
#include "TNetStack.h"

#include <algorithm>
#include <array>

namespace {

// Bytes past the datagram read as zero.
uint8_t ByteAt(std::span<const uint8_t> AArea, int32_t AN, std::size_t AAt) {
    return AAt < static_cast<std::size_t>(AN) && AAt < AArea.size() ? AArea[AAt] : 0;
}

uint16_t Le16At(std::span<const uint8_t> AArea, int32_t AN, std::size_t AAt) {
    return static_cast<uint16_t>(ByteAt(AArea, AN, AAt) | (ByteAt(AArea, AN, AAt + 1) << 8));
}

constexpr std::size_t H = TIcmp6Wire::HeaderSize;
// An error message quotes the offending packet after its own 8-byte header.
constexpr std::size_t QuotedHeader = H + 8;
constexpr std::size_t QuotedIcmp = QuotedHeader + TIcmp6Wire::HeaderSize;

// Whether the error message quotes an echo request of ours with ASequence. The identifier
// is not compared, as for IPv4: the datagram socket's kernel rewrites it.
bool QuotesOurRequest(std::span<const uint8_t> AArea, int32_t AN, uint16_t ASequence) {
    return ByteAt(AArea, AN, QuotedHeader + 6) == TIcmp6Wire::NextHeaderIcmp6 &&
           ByteAt(AArea, AN, QuotedIcmp) == TIcmp6Wire::EchoRequest &&
           Le16At(AArea, AN, QuotedIcmp + 6) == ASequence;
}

} // namespace

void TIcmp6Wire::ToEchoRequest(std::span<uint8_t, TIcmpWire::AreaSize> AEchoBuffer) {
    AEchoBuffer[0] = EchoRequest;
    AEchoBuffer[2] = 0;
    AEchoBuffer[3] = 0;
}

void TIcmp6Wire::SetTimedOut(TReplyStatus& AStatus, uint16_t ASequence) {
    TIcmpWire::SetTimedOut(AStatus, ASequence);
    AStatus.FromAddress = "::";
}

bool TIcmp6Wire::DecodeReply(std::span<const uint8_t, TIcmpWire::AreaSize> AArea, int32_t AN,
                             uint16_t ASequence, TReplyStatus& AStatus) {
    if (AN <= 0) {
        SetTimedOut(AStatus, ASequence);
        return true;
    }
    AStatus.Status = skError;
    if (static_cast<std::size_t>(AN) > TIcmpWire::AreaSize) {
        return false; // longer than any reply to our 52-byte request
    }
    if (H + 8 > static_cast<std::size_t>(AN)) {
        throw ENetIcmpException("Not enough bytes received");
    }
    const uint8_t Type = AArea[H];
    TReplyStatusKind Kind = skError;
    switch (Type) {
    case EchoReply:
        if (Le16At(AArea, AN, H + 6) != ASequence) {
            return false;
        }
        Kind = skEchoReply;
        break;
    case Unreachable:
    case TimeExceeded:
        if (!QuotesOurRequest(AArea, AN, ASequence)) {
            return false;
        }
        Kind = Type == Unreachable ? skUnreachable : skTtlExceeded;
        break;
    default:
        // Informational messages (128 and up) quote nothing: other hosts' echoes, neighbour
        // discovery. Only an error message about our own request is a failure of this ping.
        if (Type < EchoRequest && QuotesOurRequest(AArea, AN, ASequence)) {
            throw ENetIcmpException("Non-echo type response received");
        }
        return false;
    }
    std::array<uint8_t, 16> Source{};
    std::copy_n(AArea.begin() + 8, Source.size(), Source.begin());
    AStatus.ReplyBytes = AN;
    AStatus.FromAddress = TNetStack::Address6ToText(Source);
    AStatus.IcmpType = Type;
    AStatus.Sequence = ASequence;
    AStatus.ReplyTtl = AArea[7];
    AStatus.Status = Kind;
    return true;
}
