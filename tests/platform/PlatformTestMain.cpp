#include <QApplication>

#include <gtest/gtest.h>

// One QApplication for the whole run: Qt does not support creating it again after destruction.
int main(int argc, char** argv) {
    // Test discovery runs the binary without the test environment; it needs no display either.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
