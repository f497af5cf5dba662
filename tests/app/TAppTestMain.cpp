// SPDX-License-Identifier: GPL-3.0-or-later
#include "TZirkoApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The window's tests need the program's own application object: it is the
// one that turns escaping exceptions into the error box.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the cases for CTest at build time needs no application.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    TZirkoApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
