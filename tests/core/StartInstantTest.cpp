#include "../support/LocalZone.h"
#include "recorder/StartInstant.h"

#include <gtest/gtest.h>

using namespace kelm;

namespace {

constexpr int at(int h, int m, int s) {
    return h * 3600 + m * 60 + s;
}

qint64 utc(int year, int month, int day, int h, int m, int s) {
    return QDateTime(QDate(year, month, day), QTime(h, m, s), Qt::UTC).toMSecsSinceEpoch();
}

QDateTime local(int year, int month, int day, int h, int m, int s, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(h, m, s, ms));
}

class StartInstantInBudapest : public ::testing::Test {
protected:
    test::LocalZone budapest;
};

}  // namespace

TEST_F(StartInstantInBudapest, OrdinaryDayHasOneInstantOnItsFace) {
    const auto winter = StartInstant::on(QDate(2026, 12, 7), at(10, 0, 0));
    ASSERT_EQ(winter.size(), 1);
    EXPECT_EQ(winter[0].utcMs, utc(2026, 12, 7, 9, 0, 0));
    EXPECT_FALSE(winter[0].faceSkipped);
    const auto summer = StartInstant::on(QDate(2027, 7, 1), at(0, 0, 0));
    ASSERT_EQ(summer.size(), 1);
    EXPECT_EQ(summer[0].utcMs, utc(2027, 6, 30, 22, 0, 0));
    EXPECT_EQ(summer[0].date, QDate(2027, 7, 1));
}

TEST_F(StartInstantInBudapest, SpringChangeSkipsTheHourAndItsStartsFallDueAtTheChange) {
    // 28 March 2027: at 01:00 UTC the face goes from 02:00 to 03:00.
    for (const int second : {at(2, 0, 0), at(2, 0, 2), at(2, 59, 59)}) {
        const auto skipped = StartInstant::on(QDate(2027, 3, 28), second);
        ASSERT_EQ(skipped.size(), 1) << second;
        EXPECT_TRUE(skipped[0].faceSkipped) << second;
        EXPECT_EQ(skipped[0].utcMs, utc(2027, 3, 28, 1, 0, 0)) << second;
        EXPECT_EQ(skipped[0].date, QDate(2027, 3, 28));
    }
    const auto lastBefore = StartInstant::on(QDate(2027, 3, 28), at(1, 59, 59));
    ASSERT_EQ(lastBefore.size(), 1);
    EXPECT_FALSE(lastBefore[0].faceSkipped);
    EXPECT_EQ(lastBefore[0].utcMs, utc(2027, 3, 28, 0, 59, 59));
    const auto firstAfter = StartInstant::on(QDate(2027, 3, 28), at(3, 0, 0));
    ASSERT_EQ(firstAfter.size(), 1);
    EXPECT_FALSE(firstAfter[0].faceSkipped);
    EXPECT_EQ(firstAfter[0].utcMs, utc(2027, 3, 28, 1, 0, 0));
}

TEST_F(StartInstantInBudapest, AutumnChangeShowsTheHourTwiceEarliestFirst) {
    // 31 October 2027: at 01:00 UTC the face goes from 03:00 back to 02:00.
    const auto twice = StartInstant::on(QDate(2027, 10, 31), at(2, 30, 0));
    ASSERT_EQ(twice.size(), 2);
    EXPECT_EQ(twice[0].utcMs, utc(2027, 10, 31, 0, 30, 0));
    EXPECT_EQ(twice[1].utcMs, utc(2027, 10, 31, 1, 30, 0));
    EXPECT_FALSE(twice[0].faceSkipped || twice[1].faceSkipped);
    EXPECT_EQ(StartInstant::on(QDate(2027, 10, 31), at(3, 0, 0)).size(), 1);
}

TEST_F(StartInstantInBudapest, LatestLooksBackToYesterdayAndTakesTheRepeatedHoursSecondPass) {
    const auto overnight = StartInstant::latest(local(2026, 12, 8, 0, 0, 5), at(23, 59, 59));
    ASSERT_TRUE(overnight);
    EXPECT_EQ(overnight->date, QDate(2026, 12, 7));
    EXPECT_EQ(overnight->utcMs, utc(2026, 12, 7, 22, 59, 59));

    const QDateTime secondPass = QDateTime::fromMSecsSinceEpoch(utc(2027, 10, 31, 1, 30, 4));
    ASSERT_EQ(secondPass.time(), QTime(2, 30, 4));
    const auto repeated = StartInstant::latest(secondPass, at(2, 30, 0));
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated->utcMs, utc(2027, 10, 31, 1, 30, 0));
    EXPECT_EQ(repeated->date, QDate(2027, 10, 31));
}

TEST_F(StartInstantInBudapest, NextIsStrictlyAfterNowAndRollsToTomorrow) {
    const auto change = StartInstant::next(local(2027, 3, 28, 1, 59, 59, 800), at(2, 0, 2));
    ASSERT_TRUE(change);
    EXPECT_TRUE(change->faceSkipped);
    EXPECT_EQ(change->utcMs, utc(2027, 3, 28, 1, 0, 0));

    const auto tomorrow = StartInstant::next(local(2026, 12, 7, 10, 0, 0), at(10, 0, 0));
    ASSERT_TRUE(tomorrow);
    EXPECT_EQ(tomorrow->date, QDate(2026, 12, 8));
}
