#include "../support/LocalZone.h"
#include "Harness.h"
#include "Scheduler.h"

#include <gtest/gtest.h>
#include <QTest>

using namespace kelm;
using namespace kelm::test;

namespace {

constexpr int at(int h, int m, int s) {
    return h * 3600 + m * 60 + s;
}

QDateTime fromUtc(int year, int month, int day, int h, int m, int s) {
    return QDateTime(QDate(year, month, day), QTime(h, m, s), Qt::UTC).toLocalTime();
}

class StartCallInBudapest : public ::testing::Test {
protected:
    LocalZone budapest;
};

using Kind = Scheduler::StartCall::Kind;

}  // namespace

TEST_F(StartCallInBudapest, OnTimeOnlyInsideTheWindowCountedFromTheStartInstant) {
    const QDateTime start(QDate(2026, 12, 7), QTime(10, 0, 0));
    const qint64 before = start.addMSecs(-200).toMSecsSinceEpoch();
    auto call = [&](const QDateTime& now, qint64 windowMs) {
        return Scheduler::startCall(now, at(10, 0, 0), windowMs, before, false);
    };
    EXPECT_EQ(call(start, Scheduler::kOnceWindowMs).kind, Kind::OnTime);
    EXPECT_EQ(call(start.addMSecs(999), Scheduler::kOnceWindowMs).kind, Kind::OnTime);
    EXPECT_EQ(call(start.addMSecs(1000), Scheduler::kOnceWindowMs).kind, Kind::Wait);
    EXPECT_EQ(call(start.addMSecs(-1), Scheduler::kOnceWindowMs).kind, Kind::Wait);
    const auto lastDailySecond = call(start.addMSecs(10999), Scheduler::kDailyWindowMs);
    EXPECT_EQ(lastDailySecond.kind, Kind::OnTime);
    EXPECT_EQ(lastDailySecond.lateMs, 10999);
    EXPECT_EQ(call(start.addMSecs(11000), Scheduler::kDailyWindowMs).kind, Kind::Wait);
}

TEST_F(StartCallInBudapest, LateOnlyForAStartTheStepCarriedTheClockOver) {
    const QDateTime before(QDate(2026, 12, 7), QTime(10, 0, 0));
    const QDateTime now = before.addSecs(1800);
    const qint64 lastTick = before.toMSecsSinceEpoch();
    const auto late =
        Scheduler::startCall(now, at(10, 15, 0), Scheduler::kOnceWindowMs, lastTick, true);
    EXPECT_EQ(late.kind, Kind::Late);
    EXPECT_EQ(late.due.date, QDate(2026, 12, 7));
    EXPECT_EQ(late.lateMs, 15 * 60 * 1000);
    EXPECT_EQ(
        Scheduler::startCall(now, at(10, 15, 0), Scheduler::kOnceWindowMs, lastTick, false).kind,
        Kind::Wait)
        << "no step: a slow tick";
    EXPECT_EQ(Scheduler::startCall(now, at(9, 0, 0), Scheduler::kOnceWindowMs, lastTick, true).kind,
              Kind::Wait)
        << "already past before the step";
    EXPECT_EQ(
        Scheduler::startCall(now, at(10, 15, 0), Scheduler::kOnceWindowMs, std::nullopt, true).kind,
        Kind::Wait)
        << "no tick before";
    // Across midnight the start belongs to the new day.
    const QDateTime lateEvening(QDate(2026, 12, 7), QTime(23, 50, 0));
    const auto overnight =
        Scheduler::startCall(lateEvening.addSecs(1200), at(0, 5, 0), Scheduler::kDailyWindowMs,
                             lateEvening.toMSecsSinceEpoch(), true);
    EXPECT_EQ(overnight.kind, Kind::Late);
    EXPECT_EQ(overnight.due.date, QDate(2026, 12, 8));
}

TEST_F(StartCallInBudapest, LatenessAcrossASummerTimeChangeIsRealTime) {
    // 01:30 winter time to 03:15 summer time is 45 minutes, not 1 h 45 min.
    const QDateTime before = fromUtc(2027, 3, 28, 0, 30, 0);
    const QDateTime now = fromUtc(2027, 3, 28, 1, 15, 0);
    ASSERT_EQ(now.time(), QTime(3, 15, 0));
    const auto existing = Scheduler::startCall(now, at(1, 45, 0), Scheduler::kOnceWindowMs,
                                               before.toMSecsSinceEpoch(), true);
    EXPECT_EQ(existing.kind, Kind::Late);
    EXPECT_EQ(existing.lateMs, 30 * 60 * 1000);
    // A start the face skips was due when the face passed it, at 03:00.
    const auto skipped = Scheduler::startCall(now, at(2, 30, 0), Scheduler::kOnceWindowMs,
                                              before.toMSecsSinceEpoch(), true);
    EXPECT_EQ(skipped.kind, Kind::Late);
    EXPECT_TRUE(skipped.due.faceSkipped);
    EXPECT_EQ(skipped.lateMs, 15 * 60 * 1000);
}

class ClockJump : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        h.start();
    }
    QString box() { return h.window->log().boxText(); }
    LocalZone budapest;
    Harness h{QDateTime(QDate(2027, 3, 28), QTime(1, 59, 0))};
};

TEST_F(ClockJump, SpringForwardOverTheStartRecordsInFullWhenTheFacePassesIt) {
    // 02:00 becomes 03:00: 02:30:00 never shows on the clock that night.
    arm(h, Button::btn1x, QStringLiteral("02:30:00"), QStringLiteral("01:00:00"));
    h.run(60000);  // 03:00:00.000, one minute of real time later
    ASSERT_EQ(h.clock.now().time(), QTime(3, 0, 0));
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().durationLimitMs(), 60 * 60 * 1000) << "the planned length, not the rest";
    EXPECT_TRUE(
        h.encoder().outputFileName().endsWith(QStringLiteral("-20270328-030000-010000-R64.wmv")));
    EXPECT_TRUE(box().contains(QStringLiteral(
        "A(z) 02:30:00 indítási időpont a nyári időszámításra váltáskor nem létezik: a rögzítés "
        "03:00:00-kor, teljes hosszban indul.")));
    EXPECT_FALSE(box().contains(QStringLiteral("A rendszeróra átugrotta")));
}

TEST_F(ClockJump, SpringForwardDailyStartJustAfterTwoStartsAtThreeEveryDayAfterAtItsTime) {
    arm(h, Button::btnNapi, QStringLiteral("02:00:02"), QStringLiteral("00:10:00"));
    h.run(60000 + 8000);  // to 03:00:08
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().durationLimitMs(), 10 * 60 * 1000);
    EXPECT_TRUE(
        h.encoder().startedFiles.at(0).endsWith(QStringLiteral("-20270328-030000-001000-R64.wmv")));
    EXPECT_TRUE(box().contains(QStringLiteral(
        "A(z) 02:00:02 indítási időpont a nyári időszámításra váltáskor nem létezik: a rögzítés "
        "03:00:00-kor, teljes hosszban indul.")));
    EXPECT_FALSE(box().contains(QStringLiteral("a rögzítés elmarad")));
    h.clock.set(QDateTime(QDate(2027, 3, 29), QTime(2, 0, 0)));
    h.run(3000);
    ASSERT_EQ(h.encoder().starts, 2);
    EXPECT_TRUE(
        h.encoder().startedFiles.at(1).endsWith(QStringLiteral("-20270329-020002-001000-R64.wmv")));
}

TEST_F(ClockJump, StartTheFaceSkipsIsAimedAtTheChange) {
    h.clock.set(QDateTime(QDate(2027, 3, 28), QTime(1, 59, 59, 850)));
    arm(h, Button::btnNapi, QStringLiteral("02:15:00"), QStringLiteral("00:10:00"));
    h.window->scheduler().tick();  // 150 ms before the change: an extra tick is set for it
    h.clock.advanceMs(153);
    ASSERT_EQ(h.clock.now().time(), QTime(3, 0, 0, 3));
    QTRY_COMPARE_WITH_TIMEOUT(h.encoder().starts, 1, 2000);
    EXPECT_TRUE(h.encoder().outputFileName().contains(QStringLiteral("-030000-001000-")));
}

TEST_F(ClockJump, ResumeFromSuspendAcrossTheSpringChangeCountsRealLateness) {
    // Asleep from 01:30 winter time to 03:15 summer time: 45 minutes. The
    // 01:45 start is 30 minutes late, not 1 h 30 min.
    h.clock.set(QDateTime(QDate(2027, 3, 28), QTime(1, 30, 0)));
    arm(h, Button::btn1x, QStringLiteral("01:45:00"), QStringLiteral("01:00:00"));
    h.run(1000);
    h.clock.jumpTo(QDateTime(QDate(2027, 3, 28), QTime(3, 15, 0)));
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().durationLimitMs(), 30 * 60 * 1000 - 200);
    EXPECT_TRUE(
        box().contains(QStringLiteral("a rögzítés 00:30:00 késéssel, a hátralévő időre indul.")));
}

TEST_F(ClockJump, ResumeFromSuspendPastAStartTheFaceSkipsIsLateFromTheChange) {
    h.clock.set(QDateTime(QDate(2027, 3, 28), QTime(1, 30, 0)));
    arm(h, Button::btnNapi, QStringLiteral("02:30:00"), QStringLiteral("01:00:00"));
    h.run(1000);
    h.clock.jumpTo(QDateTime(QDate(2027, 3, 28), QTime(3, 20, 0)));
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().durationLimitMs(), 40 * 60 * 1000 - 200);
    EXPECT_TRUE(
        box().contains(QStringLiteral("A rendszeróra átugrotta a(z) 02:30:00 indítási "
                                      "időpontot: a rögzítés 00:20:00 késéssel")));
    EXPECT_FALSE(box().contains(QStringLiteral("nyári időszámításra")));
}

TEST_F(ClockJump, AutumnBackwardNeverStartsTheSameDaysRecordingTwice) {
    h.clock.set(QDateTime(QDate(2027, 10, 31), QTime(2, 29, 0)));  // summer time, the first 02:29
    arm(h, Button::btnNapi, QStringLiteral("02:30:00"), QStringLiteral("00:00:10"));
    // Past 03:00 summer time the clock shows 02:00 again, and 02:30 a second time.
    h.run(2 * 3600 * 1000, 1000);
    EXPECT_EQ(h.encoder().starts, 1);
    EXPECT_TRUE(h.window->schedulerTick().isActive());
}

TEST_F(ClockJump, ResumeFromSuspendPastTheStartRecordsWhatIsLeft) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
    arm(h, Button::btn1x, QStringLiteral("10:15:00"), QStringLiteral("01:00:00"));
    h.run(1000);
    h.clock.jumpTo(QDateTime(QDate(2026, 12, 7), QTime(10, 30, 0)));  // 30 minutes asleep
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_NEAR(h.encoder().durationLimitMs(), 45 * 60 * 1000, 250)
        << "the planned end stays 11:15";
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

TEST_F(ClockJump, StartIsAimedAtItsSecondNotTheNextTickInEitherMode) {
    for (const Button mode : {Button::btn1x, Button::btnNapi}) {
        Harness t{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 59, 850))};
        t.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        t.start();
        arm(t, mode, QStringLiteral("10:00:00"), QStringLiteral("00:10:00"));
        t.window->scheduler().tick();  // 150 ms before the start: an extra tick is set for it
        t.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0, 3)));
        QTRY_COMPARE_WITH_TIMEOUT(t.encoder().starts, 1, 2000);
        EXPECT_TRUE(t.encoder().outputFileName().contains(QStringLiteral("-100000-001000-")));
    }
}
