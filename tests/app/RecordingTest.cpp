#include "Harness.h"
#include "RecordingControl.h"
#include "Scheduler.h"
#include "StatusLoop.h"
#include "encoder/OutputFileName.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QLabel>

using namespace kelm;
using namespace kelm::test;

namespace {

int countOf(const QString& text, const QString& what) {
    return int(text.count(what));
}

}  // namespace

class Recording : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        h.start();
    }
    QString box() { return h.window->log().boxText(); }
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50))};
};

TEST_F(Recording, OnceStartsInsideItsStartSecondEndsAtItsLengthAndUnlocks) {
    h.statusTick();
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 101);
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.statusTick();
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 104);
    EXPECT_FALSE(h.form().times.duration->isEnabled());
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Teszt TV"));

    h.run(10000 - 200);  // to 09:59:59.800
    EXPECT_EQ(h.encoder().starts, 0);
    h.run(200);  // 10:00:00.000
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 105);
    EXPECT_EQ(h.encoder().outputFileName(),
              h.file(QStringLiteral("Media/teszttv-20261207-100000-000005-R64.wmv")));
    EXPECT_EQ(h.encoder().durationLimitMs(), 5000);

    h.run(6000);
    EXPECT_EQ(h.encoder().starts, 1) << "one start per start second";
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
    EXPECT_FALSE(h.window->schedulerTick().isActive());
    EXPECT_TRUE(h.form().times.duration->isEnabled());
    EXPECT_TRUE(h.toolbar().isEnabled(Button::btnNapi));
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 101);
    EXPECT_EQ(countOf(box(), QStringLiteral("Kódolás befejezve. Fájl neve: ")), 1);
    EXPECT_EQ(countOf(box(), QStringLiteral("Várakozás indításra.... ")), 1)
        << "logged once per wait";
}

TEST_F(Recording, OnceWhoseFileIsMissingShowsTheEncoderError) {
    h.statusTick();
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:02"));
    h.run(10000);
    h.encoder().writeFiles = false;
    QFile::remove(h.encoder().outputFileName());
    h.run(3000);
    EXPECT_TRUE(h.window->state().nextStartWarning);
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 103);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stImage)->toolTip(),
              QStringLiteral("Encoder hiba!"));
}

TEST_F(Recording, ProgressPanelsFollowTheRunningRecording) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:01:40"));
    h.run(10000 + 60000);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stEncodedTime)->text(),
              QStringLiteral("00:01:00"));
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stAudioBitrate)->text(),
              QStringLiteral("64 Kbps"));
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stFile)->text(),
              QStringLiteral("4320 Kb"));
    EXPECT_DOUBLE_EQ(h.window->statusBar().progressMaximum(), 10.0);
    EXPECT_DOUBLE_EQ(h.window->statusBar().progressValue(), 6.0);
}

TEST_F(Recording, DisarmingBeforeTheStartLogsThatNothingRan) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.messenger.answers = {Messenger::Answer::Ok};
    h.window->recordingControl().toggleRecording();
    EXPECT_TRUE(box().contains(QStringLiteral("Kódolási folyamat leállítva!")));
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("KELM"));
    EXPECT_FALSE(h.window->schedulerTick().isActive());
}

TEST_F(Recording, CancelOnTheStopQuestionKeepsTheRecordingArmed) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.messenger.answers = {Messenger::Answer::Cancel};
    h.window->recordingControl().toggleRecording();
    EXPECT_EQ(h.window->state().arm.value(), Arm::Armed);
    EXPECT_EQ(h.toolbar().button(Button::btnEncStart)->property("pictureKey").toString(),
              QStringLiteral("encStop"))
        << "the start button shows the armed state";
    EXPECT_TRUE(h.window->schedulerTick().isActive());
}

TEST_F(Recording, ZeroDurationIsRefusedButTheStateIsSaved) {
    QFile::remove(h.file(QStringLiteral("teszttv.ini")));
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:00"));
    EXPECT_TRUE(h.messenger.texts.contains(QStringLiteral("Nincs megadva kódolási idő!")));
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
    EXPECT_TRUE(QFileInfo::exists(h.file(QStringLiteral("teszttv.ini"))));
}

TEST_F(Recording, DailyRecordsOnSevenConsecutiveDaysNamedAfterTheSecondTheyStart) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    for (int day = 0; day < 7; ++day) {
        h.run(60000);  // to 10:00:50 with the recording done
        h.clock.set(QDateTime(h.clock.now().date().addDays(1), QTime(9, 59, 50)));
    }
    ASSERT_EQ(h.encoder().starts, 7);
    for (int day = 0; day < 7; ++day) {
        const QString date = QDate(2026, 12, 7).addDays(day).toString(QStringLiteral("yyyyMMdd"));
        EXPECT_EQ(h.encoder().startedFiles.at(day),
                  h.file(QStringLiteral("Media/teszttv-") + date +
                         QStringLiteral("-100000-000005-R64.wmv")));
    }
    EXPECT_TRUE(h.window->schedulerTick().isActive()) << "a daily schedule stays armed";
    EXPECT_EQ(countOf(box(), QStringLiteral("Encoder indítása - NAPI")), 7);
}

TEST_F(Recording, DailyStartsWhenFreeInsideTheWindowAndNotAfterIt) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.encoder().busyUntil = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 7));
    h.run(20000);
    EXPECT_EQ(h.encoder().starts, 1) << "busy until 7 s after the start: still starts";
    EXPECT_EQ(h.encoder().outputFileName(),
              h.file(QStringLiteral("Media/teszttv-20261207-100007-000005-R64.wmv")))
        << "named after the second it really starts";

    h.clock.set(QDateTime(QDate(2026, 12, 8), QTime(9, 59, 50)));
    h.encoder().busyUntil = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 11));
    h.run(30000);
    EXPECT_EQ(h.encoder().starts, 1) << "busy until 11 s after the start: that day is skipped";
}

TEST_F(Recording, DailyShortRecordingDoesNotStartAgainInsideItsOwnWindow) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:02"));
    h.run(30000);
    EXPECT_EQ(h.encoder().starts, 1);
}

TEST_F(Recording, DailyStartAtTheLastSecondOfTheDayStartsOnItAndCatchesUpPastMidnight) {
    arm(h, Button::btnNapi, QStringLiteral("23:59:59"), QStringLiteral("00:00:05"));
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 40)));
    h.run(60000);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().startedFiles.at(0),
              h.file(QStringLiteral("Media/teszttv-20261207-235959-000005-R64.wmv")));

    // Busy into the next day: still that start's window, and one start only.
    h.clock.set(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 40)));
    h.encoder().busyUntil = QDateTime(QDate(2026, 12, 9), QTime(0, 0, 5));
    h.run(60000);
    ASSERT_EQ(h.encoder().starts, 2);
    EXPECT_EQ(h.encoder().startedFiles.at(1),
              h.file(QStringLiteral("Media/teszttv-20261209-000005-000005-R64.wmv")));
}

TEST_F(Recording, DailyStopRequestExactlyThreeSecondsBeforeTheStartIsIgnored) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 59, 57)));
    h.window->recordingControl().toggleRecording();
    EXPECT_EQ(h.window->state().arm.value(), Arm::Armed);
    EXPECT_TRUE(h.messenger.texts.isEmpty() || !h.messenger.texts.contains(QStringLiteral(
                                                   "Valóban le akarja allítani a kódolást?")));

    for (int secondsBefore : {2, 4}) {
        h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0).addSecs(-secondsBefore)));
        h.messenger.answers = {Messenger::Answer::Cancel};
        h.window->recordingControl().toggleRecording();
        EXPECT_EQ(h.messenger.texts.count(QStringLiteral("Valóban le akarja allítani a kódolást?")),
                  secondsBefore == 2 ? 1 : 2);
    }
}

TEST_F(Recording,
       DailyPreparationThreeSecondsBeforeOnlyResetsTheFlagsAndTheStartFollowsOnItsSecond) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 59, 57, 100)));
    h.window->state().nextStartWarning = true;  // as a failed day leaves it
    h.window->state().endHandled = false;
    h.messenger.texts.clear();
    // What the status loop runs three seconds before a daily start.
    h.window->recordingControl().toggleRecording();
    EXPECT_FALSE(h.window->state().nextStartWarning);
    EXPECT_TRUE(h.window->state().endHandled);
    EXPECT_EQ(h.window->state().arm.value(), Arm::Armed) << "the preparation does not disarm";
    EXPECT_TRUE(h.messenger.texts.isEmpty());
    h.run(2700);  // 09:59:59.800
    EXPECT_EQ(h.encoder().starts, 0);
    h.run(200);  // 10:00:00.000
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_FALSE(h.window->state().endHandled) << "the start owns the end again";
    EXPECT_EQ(h.encoder().outputFileName(),
              h.file(QStringLiteral("Media/teszttv-20261207-100000-000005-R64.wmv")));
}

TEST_F(Recording, FileHeldByAnotherRecordingIsRecordedUnderTheWarningName) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    const QString planned = h.file(QStringLiteral("Media/teszttv-20261207-100000-000005-R64.wmv"));
    FakeEncoder::heldFiles().insert(planned);
    h.run(10000);
    FakeEncoder::heldFiles().remove(planned);
    ASSERT_EQ(h.encoder().starts, 2);
    EXPECT_EQ(h.encoder().outputFileName(), planned + QStringLiteral(".FIGYELEM.wmv"));
    EXPECT_TRUE(box().contains(QStringLiteral("A kódolási folyamat nem fér hozzá a ") + planned +
                               QStringLiteral(" fájlhoz, mert azt egy másik folyamat használja!")));
    EXPECT_TRUE(box().contains(QStringLiteral("Fájlnév kiegészítés - .FIGYELEM.wmv ") + planned +
                               QStringLiteral(".FIGYELEM.wmv")));
    EXPECT_TRUE(box().contains(QStringLiteral(
        " fájl rögzítése elindult...\r\n VIGYÁZAT! A következő rögzítés nem indul el!\r\n")));
    EXPECT_TRUE(h.window->state().nextStartWarning);
    EXPECT_FALSE(h.window->schedulerTick().isActive());
    EXPECT_EQ(h.encoder().runState(), RunState::Running);
}

TEST_F(Recording, StartErrorsAreShownLoggedAndTheTimerHandledByTheirRow) {
    struct Row {
        std::uint32_t code;
        const char* box;
        const char* log;
        bool timerStays;
    };
    const Row rows[] = {
        {EncoderErrorCode::ProfileRefused, "Az Encoder profájl nem megfelelő!",
         "Az Encoder profájl nem megfelelő!", false},
        {EncoderErrorCode::SoundCard, "Hangkártya beállítások nem megfelelőek!",
         "Nincs kijelölve hangkártya!", false},
        {EncoderErrorCode::Codec, "Kodek hiba! ", "Kodek hiba!", false},
        {0x80004005, nullptr, "Ismeretlen hiba: -2147467259 boom", true},
    };
    for (const Row& row : rows) {
        Harness t{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 59))};
        t.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        t.start();
        arm(t, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
        t.encoder().startFailures.push_back(
            EncoderStatus::failure(row.code, QStringLiteral("boom")));
        t.messenger.texts.clear();
        t.clock.set(QDateTime(QDate(2026, 12, 7), QTime(10, 0, 0)));
        t.window->scheduler().tick();
        t.settle();  // the encoder's answer, then the box once the handler is over
        if (row.box)
            EXPECT_EQ(t.messenger.texts.value(0), QString::fromUtf8(row.box));
        else
            EXPECT_TRUE(t.messenger.texts.isEmpty());
        EXPECT_TRUE(t.window->log().boxText().contains(QString::fromUtf8(row.log))) << row.log;
        EXPECT_EQ(t.window->schedulerTick().isActive(),
                  row.timerStays && t.window->state().arm.isArmed())
            << row.log;
    }
}

TEST_F(Recording, ADayLongDailyScheduleKeepsItsStartAndNamesWithoutDrift) {
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("23:59:50"));
    h.run(3LL * 24 * 3600 * 1000, 1000);
    ASSERT_GE(h.encoder().starts, 3);
    for (int i = 0; i < h.encoder().starts; ++i) {
        const QString date = QDate(2026, 12, 7).addDays(i).toString(QStringLiteral("yyyyMMdd"));
        EXPECT_EQ(h.encoder().startedFiles.at(i), h.file(QStringLiteral("Media/teszttv-") + date +
                                                         QStringLiteral("-100000-235950-R64.wmv")));
    }
    // Every recording but one still running has logged its end, once.
    const int running = h.encoder().runState() == RunState::Running ? 1 : 0;
    EXPECT_EQ(countOf(box(), QStringLiteral("Kódolás befejezve. Fájl neve: ")),
              h.encoder().starts - running);
}

TEST(CommandLineRecording, RecordsAtOnceLogsAndEndsTheProgram) {
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(20, 30, 0))};
    h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                 QStringLiteral("00:00:00"));
    h.start({QStringLiteral("00:00:05")});
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().outputFileName(),
              h.file(QStringLiteral("Media/teszttv-20261207-203000-000005-R64.wmv")));
    h.run(10000);
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 0);
    const QString log = QString::fromUtf8(h.read(h.logFileName()));
    for (const char* line :
         {"Paraméteres indítás: 00:00:05", "Encoder indítása - MOST",
          "Kódolás befejezve. Fájl neve: ", "Esemény napló kiírása. Program befejezése."})
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line;
    EXPECT_TRUE(log.endsWith(QStringLiteral("Esemény napló kiírása. Program befejezése.\r\n")));
}

TEST(UnreadableDuration, RestoredFromTheStateFileRefusesToArmInEveryMode) {
    // Such a duration would set no length limit: the recording would never end.
    for (const char* duration : {"1:xx:00", "abc", "25:00:00"}) {
        for (const RecordingMode mode :
             {RecordingMode::Most, RecordingMode::Once, RecordingMode::Daily}) {
            Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50))};
            h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                         QString::fromUtf8(duration));
            h.start();
            // Pressed as the start-up does, without the leave actions that reset the field.
            h.window->state().mode.set(mode);
            ASSERT_EQ(h.form().times.duration->text(), QString::fromUtf8(duration));
            h.window->recordingControl().toggleRecording();
            EXPECT_EQ(h.messenger.texts.count(QStringLiteral("Nincs megadva kódolási idő!")), 1)
                << duration;
            EXPECT_EQ(h.window->state().arm.value(), Arm::Idle) << duration;
            EXPECT_FALSE(h.window->schedulerTick().isActive()) << duration;
            h.run(20000);
            EXPECT_EQ(h.encoder().starts, 0) << duration;
        }
    }
}

// The encoder answers a start some time after it was asked for; the window
// goes on meanwhile, and its ticks must not take the wait for an end.
TEST_F(Recording, TicksWhileAStartIsOnItsWayNeitherEndNorRepeatIt) {
    h.encoder().slowStart = true;
    h.window->toolbarClick(Button::btnMost);
    h.form().times.duration->setText(QStringLiteral("00:00:05"));
    h.window->timeFields().durationLeave();
    h.window->recordingControl().toggleRecording();
    ASSERT_EQ(h.encoder().runState(), RunState::Stopped) << "the start is still on its way";
    h.window->scheduler().tick();
    h.statusTick();
    EXPECT_FALSE(box().contains(QStringLiteral("Kódolás befejezve")));
    EXPECT_TRUE(h.window->schedulerTick().isActive());
    EXPECT_TRUE(h.window->state().arm.isArmed());

    h.settle();
    EXPECT_EQ(h.encoder().runState(), RunState::Running);
    EXPECT_EQ(h.encoder().starts, 1);
    h.run(6000);
    EXPECT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(countOf(box(), QStringLiteral("Kódolás befejezve. Fájl neve: ")), 1);
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
}

TEST_F(Recording, StoppingWhileAStartIsOnItsWayLeavesNothingRecording) {
    h.encoder().slowStart = true;
    h.window->toolbarClick(Button::btnMost);
    h.form().times.duration->setText(QStringLiteral("01:00:00"));
    h.window->timeFields().durationLeave();
    h.window->recordingControl().toggleRecording();
    // The folder and the sources answer; the file's start is then on its way.
    QElapsedTimer waited;
    waited.start();
    while (h.encoder().starts == 0 && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(h.encoder().starts, 1);
    h.window->recordingControl().toggleRecording();  // the operator stops before it answers
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
    h.settle();
    EXPECT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().runState(), RunState::Stopped)
        << "the recording the late start brought up is stopped";
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
    EXPECT_FALSE(h.window->schedulerTick().isActive());
    EXPECT_TRUE(box().contains(QStringLiteral("Encoder leállítva!")));
}

// The mode has one owner; the mode buttons and their menu items only show it.
TEST_F(Recording, TheModeDecidesNotAButtonThatShowsAnother) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    // A button pressed behind the owner's back (a stray click of a view)
    // neither starts at once nor moves the start away from its second.
    h.toolbar().setPressed(Button::btnMost, true);
    h.run(9800);  // to 09:59:59.800
    EXPECT_EQ(h.encoder().starts, 0) << "\"1X\" still waits for its start second";
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 1);
    EXPECT_EQ(h.encoder().outputFileName(),
              h.file(QStringLiteral("Media/teszttv-20261207-100000-000005-R64.wmv")));
}

TEST_F(Recording, EveryWayToChooseAModeShowsItOnButtonsAndMenuAlike) {
    const std::array<std::tuple<MenuItem, Button, RecordingMode>, 3> ways{
        {{MenuItem::mnuMost, Button::btnMost, RecordingMode::Most},
         {MenuItem::mnu1X, Button::btn1x, RecordingMode::Once},
         {MenuItem::mnuNapi, Button::btnNapi, RecordingMode::Daily}}};
    for (const auto& [item, button, mode] : ways) {
        h.window->menuCommand(item);
        EXPECT_EQ(h.window->state().mode.value(), mode);
        for (const auto& [otherItem, otherButton, otherMode] : ways) {
            EXPECT_EQ(h.toolbar().isPressed(otherButton), otherMode == mode);
            EXPECT_EQ(h.toolbar().menuItem(otherItem)->isChecked(), otherMode == mode);
        }
    }
    // The start field can be typed into only where a start time counts.
    h.window->toolbarClick(Button::btnMost);
    EXPECT_FALSE(h.form().times.start->isEnabled());
    h.window->toolbarClick(Button::btn1x);
    EXPECT_TRUE(h.form().times.start->isEnabled());
}
