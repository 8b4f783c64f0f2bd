#include <gtest/gtest.h>
#include <QApplication>

// Default main of widget tests: one QApplication (offscreen platform, set by
// the test runner) for the whole executable.
int main(int argc, char** argv) {
    // Widget tests never need a display: they run the same on a desktop, a
    // server and CI.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
