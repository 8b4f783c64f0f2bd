#include <QApplication>
#include <gtest/gtest.h>

// Default main of widget tests: one QApplication (offscreen platform, set by
// the test runner) for the whole executable.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
