// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetNamespaceScope.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <stdexcept>
#include <unistd.h>

namespace zirko::test {

TNetNamespaceScope::TNetNamespaceScope(const TNetNamespace& ANamespace) {
    FOriginal = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const int Target = ::open(("/run/netns/" + ANamespace.Name()).c_str(), O_RDONLY | O_CLOEXEC);
    if (FOriginal < 0 || Target < 0 || ::setns(Target, CLONE_NEWNET) != 0) {
        const std::string Why = std::strerror(errno);
        if (Target >= 0) {
            ::close(Target);
        }
        if (FOriginal >= 0) {
            ::close(FOriginal);
        }
        throw std::runtime_error("cannot enter namespace " + ANamespace.Name() + ": " + Why);
    }
    ::close(Target);
}

TNetNamespaceScope::~TNetNamespaceScope() {
    ::setns(FOriginal, CLONE_NEWNET);
    ::close(FOriginal);
}

} // namespace zirko::test
