// The event loop's watch: a stall longer than the limit is logged under its
// category with the marked work that caused it; short work is not.

#include "StallWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kelm;

namespace {

QStringList g_logged;

void noteStall(QtMsgType, const QMessageLogContext& context, const QString& text) {
    if (QLatin1String(context.category) == QLatin1String("kelm.stall")) g_logged << text;
}

// Runs the event loop for `ms`, with `work` called once from a timer in it.
void runWith(int ms, const std::function<void()>& work) {
    QTimer::singleShot(30, work);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class StallWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_logged.clear();
        m_previous = qInstallMessageHandler(noteStall);
    }
    void TearDown() override { qInstallMessageHandler(m_previous); }
    QtMessageHandler m_previous = nullptr;
};

TEST_F(StallWatchTest, WorkThatHoldsTheLoopIsLoggedByNameWithItsLength) {
    StallWatch watch;
    watch.start();
    runWith(400, [] {
        const BusyScope busy("scheduler tick");
        QThread::msleep(180);
    });
    ASSERT_GE(g_logged.size(), 2) << g_logged.join(u'\n').toStdString();
    EXPECT_TRUE(g_logged.at(0).startsWith(QStringLiteral("scheduler tick held the window for ")));
    EXPECT_TRUE(g_logged.at(1).startsWith(QStringLiteral("the event loop stood still for ")));
    EXPECT_TRUE(g_logged.at(1).endsWith(QStringLiteral("ms: scheduler tick")));
    EXPECT_GE(watch.longestStallMs(), 150);
    EXPECT_LT(watch.longestStallMs(), 400);
    EXPECT_EQ(watch.longestStallWork(), QStringLiteral("scheduler tick"));
}

TEST_F(StallWatchTest, UnmarkedStallsAreLoggedAndShortWorkIsNot) {
    StallWatch watch;
    watch.start();
    runWith(300, [] {
        const BusyScope busy("status tick");
        QThread::msleep(30);
    });
    // A busy machine may delay a beat on its own; short work is never blamed.
    EXPECT_FALSE(g_logged.join(u'\n').contains(QStringLiteral("status tick")))
        << g_logged.join(u'\n').toStdString();
    g_logged.clear();
    runWith(400, [] { QThread::msleep(160); });
    ASSERT_FALSE(g_logged.isEmpty());
    EXPECT_TRUE(g_logged.last().endsWith(QStringLiteral("ms: (unmarked work)")))
        << g_logged.join(u'\n').toStdString();
}

}  // namespace
