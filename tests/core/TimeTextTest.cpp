#include "recorder/TimeText.h"

#include <gtest/gtest.h>

using namespace kelm;

struct NormaliseRow {
    const char* input;
    const char* expected;
};

class Normalise : public ::testing::TestWithParam<NormaliseRow> {};

TEST_P(Normalise, ProducesTwoDigitFieldsOrLeavesUnreadableTextAlone) {
    EXPECT_EQ(TimeText::normalise(QString::fromUtf8(GetParam().input)).toStdString(),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Normalise,
    ::testing::Values(NormaliseRow{"9:5", "09:05:00"}, NormaliseRow{"93000", "09:30:00"},
                      NormaliseRow{"5", "00:00:05"}, NormaliseRow{"13000", "01:30:00"},
                      NormaliseRow{"013000", "01:30:00"}, NormaliseRow{"130", "00:01:30"},
                      NormaliseRow{"1:30:00", "01:30:00"}, NormaliseRow{"23:59:59", "23:59:59"},
                      // out of range with colons: not a time, left for the checks
                      NormaliseRow{"25:00:00", "25:00:00"}, NormaliseRow{"abc", "abc"},
                      NormaliseRow{"-5", "-5"}, NormaliseRow{"", ""}));

TEST(TimeTextArithmetic, EndAcrossMidnightGivesTheDurationModuloOneDay) {
    EXPECT_EQ(TimeText::durationBetween(QStringLiteral("23:30:00"), QStringLiteral("01:15:00")),
              QStringLiteral("01:45:00"));
    EXPECT_EQ(TimeText::durationBetween(QStringLiteral("10:20:00"), QStringLiteral("10:10:00")),
              QStringLiteral("23:50:00"));
}

TEST(TimeTextArithmetic, SameHourEndGoesThroughTheNextDayBranchAndWrapsBack) {
    EXPECT_EQ(TimeText::durationBetween(QStringLiteral("10:10:00"), QStringLiteral("10:20:00")),
              QStringLiteral("00:10:00"));
    EXPECT_EQ(TimeText::durationBetween(QStringLiteral("10:10:00"), QStringLiteral("10:10:00")),
              QStringLiteral("00:00:00"));
}

TEST(TimeTextArithmetic, StartPlusDurationWrapsAtMidnight) {
    EXPECT_EQ(TimeText::addTimes(QStringLiteral("22:00:00"), QStringLiteral("03:00:00")),
              QStringLiteral("01:00:00"));
    EXPECT_EQ(TimeText::addTimes(QStringLiteral("23:50:10"), QStringLiteral("00:20:00")),
              QStringLiteral("00:10:10"));
    EXPECT_EQ(TimeText::addTimes(QStringLiteral("23:59:59"), QStringLiteral("23:59:59")),
              QStringLiteral("23:59:58"));
}

TEST(TimeTextArithmetic, UnreadableOperandsGiveNoResult) {
    EXPECT_FALSE(TimeText::addTimes(QStringLiteral("abc"), QStringLiteral("01:00:00")));
    EXPECT_FALSE(TimeText::durationBetween(QStringLiteral("10:00:00"), QStringLiteral("24:00:00")));
}

TEST(TimeTextArithmetic, WrapBorrowsAndCarriesAcrossFields) {
    EXPECT_EQ(TimeText::wrap(24, 0, 0), QStringLiteral("00:00:00"));
    EXPECT_EQ(TimeText::wrap(1, -1, 0), QStringLiteral("00:59:00"));
    EXPECT_EQ(TimeText::wrap(0, 0, -1), QStringLiteral("23:59:59"));
    EXPECT_EQ(TimeText::wrap(0, 59, 61), QStringLiteral("01:00:01"));
}

TEST(TimeTextDigits, FieldsOutsideTheirRangeAreReported) {
    EXPECT_FALSE(TimeText::digitFields(QStringLiteral("24:00:00")).inRange());
    EXPECT_FALSE(TimeText::digitFields(QStringLiteral("00:60:00")).inRange());
    EXPECT_FALSE(TimeText::digitFields(QStringLiteral("00:00:60")).inRange());
    EXPECT_FALSE(TimeText::digitFields(QStringLiteral("ab:cd:ef")).inRange());
    EXPECT_TRUE(TimeText::digitFields(QStringLiteral("23:59:59")).inRange());
}
