// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "entry/guarded_application.h"

// One application object for the whole run, as the program has; the widgets under test need
// it. An exception that escapes a handler fails the test that caused it.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    selvar::entry::GuardedApplication app(
        argc, argv, [](const std::string& message) { ADD_FAILURE() << message; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
