// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the helper's request parser and datagram matcher over arbitrary bytes.
#include "TProbeMatch.h"
#include "TProbeProtocol.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <span>
#include <sys/socket.h>

namespace {

void Check(bool ACondition) {
    if (!ACondition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
    using namespace TProbeProtocol;
    const std::span<const uint8_t> Bytes(AData, ASize);
    TProbeMatch::ConcernedSequence(AF_INET, Bytes);
    TProbeMatch::ConcernedSequence(AF_INET6, Bytes);
    const TParsed P = Parse(Bytes);
    if (P.Verdict == TVerdict::Malformed) {
        Check(P.Probe.Id == 0);
        return 0;
    }
    // A well-formed request is exactly what encoding its fields gives back.
    const auto Again =
        P.Kind == TRequestKind::Forget ? EncodeForget(P.Probe.Id) : EncodeProbe(P.Probe);
    Check(ASize == Again.size() && std::equal(Again.begin(), Again.end(), AData));
    if (P.Verdict == TVerdict::Accepted && P.Kind == TRequestKind::Probe) {
        // Only an echo request of the family, of bounded size, to a bounded hop limit.
        const uint8_t Echo = P.Probe.Family == AF_INET ? 8 : 128;
        Check(P.Probe.Family == AF_INET || P.Probe.Family == AF_INET6);
        Check(P.Probe.Message.size() >= MinMessage && P.Probe.Message.size() <= MaxMessage);
        Check(P.Probe.Message[0] == Echo && P.Probe.Message[1] == 0);
        Check(P.Probe.HopLimit >= 1 && P.Probe.HopLimit <= 255);
        Check(P.Probe.Address[0] != 0xFF &&
              (P.Probe.Family == AF_INET6 || P.Probe.Address[0] < 224));
    }
    return 0;
}
