#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace zirko::test {

// In CI every test must really run: a skip there is a failure.
inline bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::strcmp(ci, "true") == 0;
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
