// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace zirko::test {

// In CI every test must really run: a skip there is a failure.
inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
}

// Root has it; so has a process granted cap_net_raw. Asking the kernel covers both.
inline bool CanOpenRawSocket() {
    const int Fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (Fd < 0) {
        return false;
    }
    ::close(Fd);
    return true;
}

} // namespace zirko::test

// Skips (or, in CI, fails) the current test when a precondition is missing.
#define ZIRKO_REQUIRE(cond, why)                                                                   \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            if (::zirko::test::InCi()) {                                                           \
                FAIL() << "required in CI: " << (why);                                             \
            } else {                                                                               \
                GTEST_SKIP() << (why);                                                             \
            }                                                                                      \
        }                                                                                          \
    } while (0)

#define ZIRKO_REQUIRE_ROOT() ZIRKO_REQUIRE(::geteuid() == 0, "needs root (raw sockets, namespaces)")

#define ZIRKO_REQUIRE_RAW_SOCKETS()                                                                \
    ZIRKO_REQUIRE(::zirko::test::CanOpenRawSocket(),                                               \
                  "needs the raw-socket right (root or cap_net_raw)")
