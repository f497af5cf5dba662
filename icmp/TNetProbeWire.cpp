// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetProbeWire.h"

#include "TIcmp6Wire.h"
#include "TNetFamily.h"
#include "TProbeMatch.h"

std::optional<uint16_t> TNetProbeWire::Sequence(const TNetFamily& AFamily,
                                                std::span<const uint8_t, TIcmpWire::AreaSize> AArea,
                                                int32_t AN) {
    if (AN <= 0 || static_cast<std::size_t>(AN) > AArea.size()) {
        return std::nullopt;
    }
    const auto Bytes = std::span<const uint8_t>(AArea).first(static_cast<std::size_t>(AN));
    const std::size_t Skip = AFamily.Version == Id_IPv6 ? TIcmp6Wire::HeaderSize : 0;
    if (Bytes.size() < Skip + 8) {
        return std::nullopt;
    }
    return TProbeMatch::ConcernedSequence(AFamily.AddressFamily, Bytes.subspan(Skip));
}

std::optional<TNetProbeAnswer>
TNetProbeWire::Decode(const TNetFamily& AFamily,
                      std::span<const uint8_t, TIcmpWire::AreaSize> AArea, int32_t AN,
                      const TProbeMatch::TEcho& AEcho) {
    TReplyStatus Status;
    if (AN <= 0 || !AFamily.DecodeReply(AArea, AN, AEcho, Status)) {
        return std::nullopt;
    }
    return TNetProbeAnswer{AEcho.Sequence, Status.Status, Status.FromAddress, Status.ReplyTtl};
}
