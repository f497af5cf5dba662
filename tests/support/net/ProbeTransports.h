// SPDX-License-Identifier: GPL-3.0-or-later
// The three ways a probe leaves: the raw socket, the datagram socket, or the helper.
#pragma once

#include "TNetContext.h"
#include "TNetProbeResult.h"
#include "TNetSocketHelper.h"

#include <array>

namespace zirko::test {

inline constexpr std::array AllTransports = {TNetProbeTransport::Raw, TNetProbeTransport::Datagram,
                                             TNetProbeTransport::Helper};

// Sets Context to probe over Kind, starting Helper from HelperPath for the helper;
// false when the helper would not start.
inline bool UseTransport(TNetContext& Context, TNetSocketHelper& Helper, TNetProbeTransport Kind,
                         const char* HelperPath) {
    if (Kind == TNetProbeTransport::Helper) {
        if (!Helper.Start(HelperPath)) {
            return false;
        }
        Context.SetHelper(&Helper);
    }
    Context.SetIcmpSocketPolicy(Kind == TNetProbeTransport::Datagram
                                    ? TNetIcmpSocketPolicy::DatagramOnly
                                    : TNetIcmpSocketPolicy::RawOnly);
    return true;
}

} // namespace zirko::test
