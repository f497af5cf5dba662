// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeWire.h"

#include "ENetExceptions.h"
#include "TIcmp6Wire.h"
#include "TNetFamily.h"
#include "TProbeMatch.h"

namespace {

uint16_t Le16At(std::span<const uint8_t> A, std::size_t AAt) {
    return AAt + 1 < A.size() ? static_cast<uint16_t>(A[AAt] | (A[AAt + 1] << 8)) : 0;
}

// Where the identifier of the echo reply, or of the request an error quotes, lies. IPv4
// errors are read as the decoder reads them: the quoted header as long as the outer one.
std::size_t IdentifierAt(bool AIPv6, std::span<const uint8_t> A) {
    if (AIPv6) {
        constexpr std::size_t H = TIcmp6Wire::HeaderSize;
        const bool Error = A[H] < TIcmp6Wire::EchoRequest;
        return Error ? H + 8 + H + 4 : H + 4;
    }
    const std::size_t H = static_cast<std::size_t>(A[0] & 15) * 4;
    const bool Error = A[H] != 0 && A[H] != 8;
    return Error ? 2 * H + 8 + 4 : H + 4;
}

} // namespace

std::optional<TNetProbeAnswer>
TNetProbeWire::Decode(const TNetFamily& AFamily,
                      std::span<const uint8_t, TIcmpWire::AreaSize> AArea, int32_t AN,
                      std::optional<uint16_t> AIdentifier) {
    if (AN <= 0 || static_cast<std::size_t>(AN) > AArea.size()) {
        return std::nullopt;
    }
    const bool IPv6 = AFamily.Version == Id_IPv6;
    const auto Bytes = std::span<const uint8_t>(AArea).first(static_cast<std::size_t>(AN));
    const std::size_t Skip = IPv6 ? TIcmp6Wire::HeaderSize : 0;
    if (Bytes.size() < Skip + 8) {
        return std::nullopt;
    }
    const auto Sequence =
        TProbeMatch::ConcernedSequence(AFamily.AddressFamily, Bytes.subspan(Skip));
    if (!Sequence || (AIdentifier && Le16At(Bytes, IdentifierAt(IPv6, Bytes)) != *AIdentifier)) {
        return std::nullopt;
    }
    TReplyStatus Status;
    try {
        if (!AFamily.DecodeReply(AArea, AN, *Sequence, Status)) {
            return std::nullopt;
        }
    } catch (const ENetIcmpException&) {
        return std::nullopt; // cut short, or a kind of error no probe is answered with
    }
    return TNetProbeAnswer{*Sequence, Status.Status, Status.FromAddress, Status.ReplyTtl};
}
