// The client is built with -municode, so the start-up code calls wmain rather than the
// main of gtest_main.
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
