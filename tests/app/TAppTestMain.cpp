#include "TZirkoApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The window's tests need the program's own application object: it is the
// one that turns escaping exceptions into the error box.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TZirkoApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
