#include <QCoreApplication>

#include <gtest/gtest.h>

// The engine reports on the Qt event loop, so every test runs inside a
// QCoreApplication and spins it while it waits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
