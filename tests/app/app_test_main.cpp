// SPDX-License-Identifier: MIT
// The window's unit tests need one application object for all of them.
#include <gtest/gtest.h>

#include <QApplication>

#include "accessibility.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display; the test runner lists them at build time.
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication application(argc, argv);
    narravox::app::InstallAccessibility();
    return RUN_ALL_TESTS();
}
