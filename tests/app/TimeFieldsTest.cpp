#include "Harness.h"
#include "TimeFields.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTest>

using namespace kelm;
using namespace kelm::test;

class TimeFieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
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
    f().times.start->setText(QStringLiteral("23:30:00"));
    fields().startLeave();
    f().times.end->setText(QStringLiteral("1:15"));
    fields().endLeave();
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("01:45:00"));
    EXPECT_EQ(f().times.end->text(), QStringLiteral("01:15:00"));
    EXPECT_EQ(TimeFields::colour(f().times.end), TimeFields::kBlue);
}

TEST_F(TimeFieldsTest, StartBeforeNowIsOnTheNextDayAndBlue) {
    f().times.start->setText(QStringLiteral("06:00:00"));
    fields().startLeave();
    EXPECT_EQ(TimeFields::colour(f().times.start), TimeFields::kBlue);
    f().times.start->setText(QStringLiteral("15:00:00"));
    fields().startLeave();
    EXPECT_EQ(TimeFields::colour(f().times.start), TimeFields::kBlack);
}

TEST_F(TimeFieldsTest, NumericDurationIsNormalisedAndSetsTheEnd) {
    f().times.start->setText(QStringLiteral("22:00:00"));
    f().times.duration->setText(QStringLiteral("13000"));
    fields().durationLeave();
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("01:30:00"));
    EXPECT_EQ(f().times.end->text(), QStringLiteral("23:30:00"));
}

TEST_F(TimeFieldsTest, StartOutOfRangeIsResetAndKeepsTheFocus) {
    f().times.start->setFocus();
    f().times.start->setText(QStringLiteral("25:00:00"));
    f().times.end->setFocus();  // leaving the field runs its leave action
    QCoreApplication::processEvents();
    EXPECT_EQ(f().times.start->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(QApplication::focusWidget(), f().times.start);
}

TEST_F(TimeFieldsTest, UnreadableDurationIsReset) {
    f().times.duration->setText(QStringLiteral("abc"));
    fields().durationLeave();
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("00:00:00"));
}

TEST_F(TimeFieldsTest, ImmediateModeCountsTheEndFromNowInBlack) {
    h.window->toolbarClick(Button::btnMost);
    f().times.duration->setText(QStringLiteral("00:30:00"));
    fields().durationLeave();
    EXPECT_EQ(f().times.end->text(), QStringLiteral("14:30:05"));
    EXPECT_EQ(TimeFields::colour(f().times.end), TimeFields::kBlack);
    EXPECT_FALSE(f().times.start->isEnabled());
    // The end does not change the duration in immediate mode.
    f().times.end->setText(QStringLiteral("20:00:00"));
    fields().endLeave();
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("00:30:00"));
}

TEST_F(TimeFieldsTest, ClearingTheStartShowsTheResetValueAtOnce) {
    f().times.start->setText(QStringLiteral("10:00:00"));
    f().times.start->clear();
    EXPECT_EQ(f().times.start->text(), QStringLiteral("00:00:00"));
}

TEST_F(TimeFieldsTest, EnterMovesTheFocusOnAndNormalises) {
    f().times.start->setFocus();
    f().times.start->setText(QStringLiteral("93000"));
    QTest::keyClick(f().times.start, Qt::Key_Return);
    EXPECT_EQ(f().times.start->text(), QStringLiteral("09:30:00"));
    EXPECT_EQ(QApplication::focusWidget(), f().times.end);
}

// Only the operator leaving a field runs its leave action: the focus also goes
// when the window is deactivated, a popup opens or the form lock disables it.
TEST_F(TimeFieldsTest, DeactivatingTheWindowInImmediateModeLeavesTheEndAlone) {
    h.window->toolbarClick(Button::btnMost);
    f().times.duration->setText(QStringLiteral("00:30:00"));
    fields().durationLeave();
    ASSERT_EQ(f().times.end->text(), QStringLiteral("14:30:05"));
    f().times.duration->setFocus();
    h.clock.advanceMs(60'000);
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(f().times.duration, &deactivated);
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(f().times.duration, &popup);
    EXPECT_EQ(f().times.end->text(), QStringLiteral("14:30:05"));

    QFocusEvent tabbed(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(f().times.duration, &tabbed);
    EXPECT_EQ(f().times.end->text(), QStringLiteral("14:31:05"))
        << "Tab is the operator leaving the field";
}

TEST_F(TimeFieldsTest, HalfTypedStartSurvivesAPopupAndTheFormLock) {
    f().times.start->setFocus();
    f().times.start->setText(QStringLiteral("25"));
    QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(f().times.start, &popup);
    EXPECT_EQ(f().times.start->text(), QStringLiteral("25"));
    f().times.start->setEnabled(false);  // the form lock moves the focus on
    QCoreApplication::processEvents();
    EXPECT_EQ(f().times.start->text(), QStringLiteral("25"));
}

TEST_F(TimeFieldsTest, ArmingWithATypedEndTakesTheEndBeforeTheChecks) {
    h.window->toolbarClick(Button::btn1x);
    f().times.start->setText(QStringLiteral("15:00:00"));
    fields().startLeave();
    f().times.duration->setText(QStringLiteral("00:00:00"));
    f().times.end->setFocus();
    QCoreApplication::processEvents();  // the field selects its text on entry
    QTest::keyClicks(f().times.end, QStringLiteral("153000"));  // typed, not yet left
    h.messenger.texts.clear();
    h.window->toolbarClick(Button::btnEncStart);
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("00:30:00"));
    EXPECT_TRUE(h.window->schedulerTick().isActive())
        << "the typed end gave a duration, so the schedule is armed";
    EXPECT_TRUE(h.messenger.texts.isEmpty()) << h.messenger.texts.join(u'|').toStdString();
}

TEST_F(TimeFieldsTest, TheStartAsATimeFollowsEveryChangeOfItsFieldWhateverMadeIt) {
    TimeFields& t = h.window->timeFields();
    f().times.start->setText(QStringLiteral("10:00:05"));
    EXPECT_EQ(t.startSecond(), 36005);
    f().times.start->setText(QStringLiteral("no time"));
    EXPECT_EQ(t.startSecond(), std::nullopt) << "a start that does not read starts nothing";
    f().times.start->clear();  // shows the reset value at once, and counts as it
    EXPECT_EQ(f().times.start->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(t.startSecond(), 0);
    t.setTexts(QStringLiteral("23:59:59"), std::nullopt, QStringLiteral("1:30"));
    EXPECT_EQ(t.startSecond(), 86399);
    EXPECT_EQ(t.normaliseDuration(), 90 * 60);
    EXPECT_EQ(f().times.duration->text(), QStringLiteral("01:30:00"));
}

TEST_F(TimeFieldsTest, AnImmediateStartShowsNowAndTheEndItGives) {
    TimeFields& t = h.window->timeFields();
    f().times.duration->setText(QStringLiteral("01:00:00"));
    t.startAt(QTime(23, 30, 0));
    EXPECT_EQ(f().times.start->text(), QStringLiteral("23:30:00"));
    EXPECT_EQ(f().times.end->text(), QStringLiteral("00:30:00")) << "past midnight";
    f().times.duration->setText(QStringLiteral("abc"));
    t.startAt(QTime(8, 0, 0));
    EXPECT_EQ(f().times.start->text(), QStringLiteral("08:00:00"));
    EXPECT_EQ(f().times.end->text(), QStringLiteral("00:30:00")) << "no end from no length";
}
