// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetNamespace.h"

namespace zirko::test {

// Moves the calling thread into a namespace until the scope ends. Sockets opened meanwhile
// stay in that namespace for their whole life, so an in-process client can talk from the
// client namespace without seeing the host's own ICMP traffic.
class TNetNamespaceScope {
public:
    explicit TNetNamespaceScope(const TNetNamespace& ANamespace);
    ~TNetNamespaceScope();
    TNetNamespaceScope(const TNetNamespaceScope&) = delete;
    TNetNamespaceScope& operator=(const TNetNamespaceScope&) = delete;

private:
    int FOriginal = -1;
};

} // namespace zirko::test
