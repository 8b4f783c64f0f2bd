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

// Only the operator leaving a field runs its leave action: the focus also goes
// when the window is deactivated, a popup opens or the form lock disables it.
TEST_F(TimeFieldsTest, DeactivatingTheWindowInImmediateModeLeavesTheEndAlone) {
    h.window->toolbarClick(Button::btnMost);
    f().txtDuration->setText(QStringLiteral("00:30:00"));
    fields().durationLeave();
    ASSERT_EQ(f().txtEnd->text(), QStringLiteral("14:30:05"));
    f().txtDuration->setFocus();
    h.clock.advanceMs(60'000);
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f().txtDuration, &deactivated);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(f().txtDuration, &popup);
    EXPECT_EQ(f().txtEnd->text(), QStringLiteral("14:30:05"));

    QFocusEvent tabbed(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(f().txtDuration, &tabbed);
    EXPECT_EQ(f().txtEnd->text(), QStringLiteral("14:31:05")) << "Tab is the operator leaving the field";
}

TEST_F(TimeFieldsTest, HalfTypedStartSurvivesAPopupAndTheFormLock) {
    f().txtStartTime->setFocus();
    f().txtStartTime->setText(QStringLiteral("25"));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(f().txtStartTime, &popup);
    EXPECT_EQ(f().txtStartTime->text(), QStringLiteral("25"));
    f().txtStartTime->setEnabled(false);  // the form lock moves the focus on
    QCoreApplication::processEvents();
    EXPECT_EQ(f().txtStartTime->text(), QStringLiteral("25"));
}

TEST_F(TimeFieldsTest, ArmingWithATypedEndTakesTheEndBeforeTheChecks) {
    h.window->toolbarClick(Button::btn1x);
    f().txtStartTime->setText(QStringLiteral("15:00:00"));
    fields().startLeave();
    f().txtDuration->setText(QStringLiteral("00:00:00"));
    f().txtEnd->setFocus();
    QCoreApplication::processEvents();  // the field selects its text on entry
    QTest::keyClicks(f().txtEnd, QStringLiteral("153000"));  // typed, not yet left
    h.messenger.texts.clear();
    h.window->toolbarClick(Button::btnEncStart);
    EXPECT_EQ(f().txtDuration->text(), QStringLiteral("00:30:00"));
    EXPECT_TRUE(f().Timer1->isActive()) << "the typed end gave a duration, so the schedule is armed";
    EXPECT_TRUE(h.messenger.texts.isEmpty()) << h.messenger.texts.join(u'|').toStdString();
}
