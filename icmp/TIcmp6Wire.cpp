// SPDX-License-Identifier: GPL-3.0-or-later
#include "TIcmp6Wire.h"

#include "TNetStack.h"

#include <algorithm>
#include <array>
#include <netinet/in.h>

namespace {

constexpr std::size_t H = TIcmp6Wire::HeaderSize;

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
                             const TProbeMatch::TEcho& AEcho, TReplyStatus& AStatus) {
    if (AN <= 0) {
        SetTimedOut(AStatus, AEcho.Sequence);
        return true;
    }
    AStatus.Status = skError;
    const auto N = static_cast<std::size_t>(AN);
    if (N > TIcmpWire::AreaSize || N < H ||
        !TProbeMatch::Answers(AF_INET6, std::span<const uint8_t>(AArea).subspan(H, N - H),
                              std::span<const uint8_t>(AArea).subspan(8, 16), AEcho)) {
        return false; // another's, a forgery, or longer than any reply to our request
    }
    const uint8_t Type = AArea[H];
    std::array<uint8_t, 16> Source{};
    std::copy_n(AArea.begin() + 8, Source.size(), Source.begin());
    AStatus.ReplyBytes = AN;
    AStatus.FromAddress = TNetStack::Address6ToText(Source);
    AStatus.IcmpType = Type;
    AStatus.Sequence = AEcho.Sequence;
    AStatus.ReplyTtl = AArea[7];
    AStatus.Status = Type == EchoReply     ? skEchoReply
                     : Type == Unreachable ? skUnreachable
                                           : skTtlExceeded;
    return true;
}
