#include <QCoreApplication>
#include <QLoggingCategory>

#include <gst/gst.h>
#include <gtest/gtest.h>

// The engine reports on the Qt event loop, so every test runs inside a
// QCoreApplication and spins it while it waits.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The engine's formats and settings are of no interest here; its warnings are.
    QLoggingCategory::setFilterRules(QStringLiteral("kelm.engine.info=false"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // GStreamer's process-wide state goes too, so a leak checker sees only
    // what the engine might have left behind.
    if (gst_is_initialized()) gst_deinit();
    return result;
}
