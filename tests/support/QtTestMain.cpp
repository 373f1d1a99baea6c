// Test entry for everything that needs Qt: one QApplication with the program's own look, on the
// offscreen platform unless QT_QPA_PLATFORM names another (xcb under Xvfb, wayland).
#include "HouseLook.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    zx::PrepareHouseLook();
    QApplication app(argc, argv);
    zx::ApplyHouseLook();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
