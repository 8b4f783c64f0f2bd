#include "Harness.h"
#include "TimeFields.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace kelm;
using namespace kelm::test;

class TimeFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"), QStringLiteral("00:00:00"));
        h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(14, 0, 5)));
        h.start();
        h.window->show();
        QApplication::setActiveWindow(h.window.get());
    }
    MainForm& f() { return h.form(); }
    TimeFields& fields() { return h.window->timeFields(); }
    Harness h;
};

TEST_F(TimeFieldsTest, EndAcrossMidnightSetsTheDurationAndTurnsBlue) {
    f().txtStartTime->setText(QStringLiteral("23:30:00"));
    fields().startLeave();
    f().txtEnd->setText(QStringLiteral("1:15"));
    fields().endLeave();
    EXPECT_EQ(f().txtDuration->text(), QStringLiteral("01:45:00"));
    EXPECT_EQ(f().txtEnd->text(), QStringLiteral("01:15:00"));
    EXPECT_EQ(TimeFields::colour(f().txtEnd), TimeFields::kBlue);
}

TEST_F(TimeFieldsTest, StartBeforeNowIsOnTheNextDayAndBlue) {
    f().txtStartTime->setText(QStringLiteral("06:00:00"));
    fields().startLeave();
    EXPECT_EQ(TimeFields::colour(f().txtStartTime), TimeFields::kBlue);
    f().txtStartTime->setText(QStringLiteral("15:00:00"));
    fields().startLeave();
    EXPECT_EQ(TimeFields::colour(f().txtStartTime), TimeFields::kBlack);
}

TEST_F(TimeFieldsTest, NumericDurationIsNormalisedAndSetsTheEnd) {
    f().txtStartTime->setText(QStringLiteral("22:00:00"));
    f().txtDuration->setText(QStringLiteral("13000"));
    fields().durationLeave();
    EXPECT_EQ(f().txtDuration->text(), QStringLiteral("01:30:00"));
    EXPECT_EQ(f().txtEnd->text(), QStringLiteral("23:30:00"));
}

TEST_F(TimeFieldsTest, StartOutOfRangeIsResetAndKeepsTheFocus) {
    f().txtStartTime->setFocus();
    f().txtStartTime->setText(QStringLiteral("25:00:00"));
    f().txtEnd->setFocus();  // leaving the field runs its leave action
    QCoreApplication::processEvents();
    EXPECT_EQ(f().txtStartTime->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "txtStartTime");
}

TEST_F(TimeFieldsTest, UnreadableDurationIsReset) {
    f().txtDuration->setText(QStringLiteral("abc"));
    fields().durationLeave();
    EXPECT_EQ(f().txtDuration->text(), QStringLiteral("00:00:00"));
}

TEST_F(TimeFieldsTest, ImmediateModeCountsTheEndFromNowInBlack) {
    h.window->toolbarClick(Button::btnMost);
    f().txtDuration->setText(QStringLiteral("00:30:00"));
    fields().durationLeave();
    EXPECT_EQ(f().txtEnd->text(), QStringLiteral("14:30:05"));
    EXPECT_EQ(TimeFields::colour(f().txtEnd), TimeFields::kBlack);
    EXPECT_FALSE(f().txtStartTime->isEnabled());
    // The end does not change the duration in immediate mode.
    f().txtEnd->setText(QStringLiteral("20:00:00"));
    fields().endLeave();
    EXPECT_EQ(f().txtDuration->text(), QStringLiteral("00:30:00"));
}

TEST_F(TimeFieldsTest, ClearingTheStartShowsTheResetValueAtOnce) {
    f().txtStartTime->setText(QStringLiteral("10:00:00"));
    f().txtStartTime->clear();
    EXPECT_EQ(f().txtStartTime->text(), QStringLiteral("00:00:00"));
}

TEST_F(TimeFieldsTest, EnterMovesTheFocusOnAndNormalises) {
    f().txtStartTime->setFocus();
    f().txtStartTime->setText(QStringLiteral("93000"));
    QTest::keyClick(f().txtStartTime, Qt::Key_Return);
    EXPECT_EQ(f().txtStartTime->text(), QStringLiteral("09:30:00"));
    EXPECT_EQ(QApplication::focusWidget(), f().txtEnd);
}
