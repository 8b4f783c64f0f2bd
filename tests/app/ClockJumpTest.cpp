#include "Harness.h"
#include "Scheduler.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace kelm;
using namespace kelm::test;

namespace {

// Local time is Budapest's for the test, with its summer-time changes.
class BudapestTime {
public:
    BudapestTime() {
        if (const char* tz = std::getenv("TZ"))
            m_saved = tz;
        ::setenv("TZ", "Europe/Budapest", 1);
        ::tzset();
    }
    ~BudapestTime() {
        if (m_saved.isEmpty())
            ::unsetenv("TZ");
        else
            ::setenv("TZ", m_saved.constData(), 1);
        ::tzset();
    }

private:
    QByteArray m_saved;
};


}  // namespace

TEST(SkippedStart, OnlyAStartInsideTheJumpedSpanCounts) {
    const QDateTime before(QDate(2026, 12, 7), QTime(10, 0, 0));
    const auto skipped = Scheduler::skippedStart(before, before.addSecs(1800), 10 * 3600 + 900, 0);
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped->date, QDate(2026, 12, 7));
    EXPECT_EQ(skipped->lateMs, 15 * 60 * 1000);
    EXPECT_FALSE(Scheduler::skippedStart(before, before.addSecs(1800), 9 * 3600, 0)) << "already past before";
    EXPECT_FALSE(Scheduler::skippedStart(before, before.addSecs(1800), 11 * 3600, 0)) << "still ahead";
    // Across midnight, the start belongs to the new day.
    const QDateTime lateEvening(QDate(2026, 12, 7), QTime(23, 50, 0));
    const auto overnight = Scheduler::skippedStart(lateEvening, lateEvening.addSecs(1200), 5 * 60, 0);
    ASSERT_TRUE(overnight);
    EXPECT_EQ(overnight->date, QDate(2026, 12, 8));
}

class ClockJump : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"), QStringLiteral("00:00:00"));
        h.start();
    }
    QString box() { return h.window->log().boxText(); }
    BudapestTime budapest;
    Harness h{QDateTime(QDate(2027, 3, 28), QTime(1, 59, 0))};
};

TEST_F(ClockJump, SpringForwardOverTheStartRecordsTheRestAtOnce) {
    // 02:00 becomes 03:00: 02:30:00 never shows on the clock that night.
    arm(h, Button::btn1x, QStringLiteral("02:30:00"), QStringLiteral("01:00:00"));
    h.run(61000);
    ASSERT_EQ(h.clock.now().time().hour(), 3);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().durationLimitMs(), 30 * 60 * 1000) << "the planned end stays 03:30";
    EXPECT_TRUE(h.encoder().outputFileName().endsWith(QStringLiteral("-20270328-030000-003000-R64.wmv")));
    EXPECT_TRUE(box().contains(QStringLiteral("a rögzítés 00:30:00 késéssel, a hátralévő időre indul.")));
}

TEST_F(ClockJump, AutumnBackwardNeverStartsTheSameDaysRecordingTwice) {
    h.clock.set(QDateTime(QDate(2027, 10, 31), QTime(2, 29, 0)));  // summer time, the first 02:29
    arm(h, Button::btnNapi, QStringLiteral("02:30:00"), QStringLiteral("00:00:10"));
    // Past 03:00 summer time the clock shows 02:00 again, and 02:30 a second time.
    h.run(2 * 3600 * 1000, 1000);
    EXPECT_EQ(h.encoder().starts, 1);
    EXPECT_TRUE(h.form().Timer1->isActive());
}

TEST_F(ClockJump, ResumeFromSuspendPastTheStartRecordsWhatIsLeft) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
    arm(h, Button::btn1x, QStringLiteral("10:15:00"), QStringLiteral("01:00:00"));
    h.run(1000);
    h.clock.jumpTo(QDateTime(QDate(2026, 12, 7), QTime(10, 30, 0)));  // 30 minutes asleep
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_NEAR(h.encoder().durationLimitMs(), 45 * 60 * 1000, 250) << "the planned end stays 11:15";
    EXPECT_TRUE(box().contains(QStringLiteral("00:15:00 késéssel")));
}

TEST_F(ClockJump, JumpPastTheWholeRecordingStartsNothingAndSaysSo) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
    arm(h, Button::btn1x, QStringLiteral("10:05:00"), QStringLiteral("00:10:00"));
    h.run(1000);
    h.clock.jumpTo(QDateTime(QDate(2026, 12, 7), QTime(10, 30, 0)));
    h.run(1000);
    EXPECT_EQ(h.encoder().starts, 0);
    EXPECT_TRUE(box().contains(QStringLiteral("a rögzítés elmarad")));
}

TEST_F(ClockJump, SlowTickIsNoJump) {
    // A tick that comes late because the program was busy: the wall clock and
    // the real time moved together, so the missed second stays missed.
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 59, 58)));
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:10:00"));
    h.run(1000);
    h.clock.advanceMs(3000);
    h.window->scheduler().tick();
    EXPECT_EQ(h.encoder().starts, 0);
}

TEST_F(ClockJump, StartIsAimedAtItsSecondNotTheNextTick) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 59, 59, 850)));
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:10:00"));
    h.window->scheduler().tick();  // 150 ms before the start: an extra tick is set for it
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 3)));
    QTRY_COMPARE_WITH_TIMEOUT(h.encoder().starts, 1, 2000);
    EXPECT_TRUE(h.encoder().outputFileName().contains(QStringLiteral("-100000-001000-")));
}
