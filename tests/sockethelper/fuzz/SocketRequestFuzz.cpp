// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: the helper's request parser over arbitrary messages.
#include "TSocketRequest.h"

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
    using namespace TSocketRequest;
    const std::span<const uint8_t> Bytes(AData, ASize);
    const TParsed P = Parse(Bytes);
    if (P.Verdict == TVerdict::Malformed) {
        Check(P.Request.Id == 0);
        return 0;
    }
    // A well-formed request is exactly what encoding its fields gives back.
    const auto Again = Encode(P.Request);
    Check(ASize == Again.size() && std::equal(Again.begin(), Again.end(), AData));
    const TRequest& R = P.Request;
    const bool Icmp = R.Family == AF_INET && R.Type == SOCK_RAW && R.Protocol == IPPROTO_ICMP;
    const bool Icmp6 = R.Family == AF_INET6 && R.Type == SOCK_RAW && R.Protocol == IPPROTO_ICMPV6;
    Check((P.Verdict == TVerdict::Accepted) == (Icmp || Icmp6));
    return 0;
}
