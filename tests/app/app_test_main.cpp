// SPDX-License-Identifier: MIT
// The window's unit tests need one application object for all of them.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "accessibility.h"
#include "russian.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display; the test runner lists them at build time.
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QApplication application(argc, argv);
    narravox::app::InstallAccessibility();
    // The window's texts are Russian; the tests check what the player reads.
    if (!narravox::app::InstallRussianTranslation(application)) {
        std::fprintf(stderr, "Qt's Russian translation is missing (qt6-translations-l10n)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
