#include <QApplication>

#include "support/OffscreenScreens.h"
#include "util/Format.h"

#include <gtest/gtest.h>

// One QApplication for the whole run; Qt cannot create it twice.
int main(int argc, char** argv) {
    // A screen that holds the panels' design sizes.
    const vek::test::OffscreenScreens screens{{1920, 1080}};
    QApplication app(argc, argv);
    vek::setCurrentFormatSettings(vek::brazilianFormatSettings());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
