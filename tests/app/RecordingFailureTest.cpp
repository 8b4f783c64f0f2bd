#include "EncoderControl.h"
#include "Harness.h"
#include "Scheduler.h"
#include "StatusLoop.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>

using namespace kelm;
using namespace kelm::test;

namespace {
int countOf(const QString& text, const QString& what) {
    return int(text.count(what));
}
}  // namespace

// A recording that breaks off is never a normal end: the log, the message and
// the exit status say so, and the rest of the planned length goes into a new
// file once the source or the folder is back.
class RecordingFailure : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
    }
    QString log() const { return QString::fromUtf8(h.read(h.logFileName())); }
    QString box() { return h.window->log().boxText(); }
    QString media(const QString& name) const { return h.file(QStringLiteral("Media/") + name); }
    EncoderStatus lostSound() const {
        return EncoderStatus::failure(
            EncoderErrorCode::SoundCard,
            QStringLiteral("a hangforrás megszűnt: Device://pulse (Connection refused)"));
    }
    // Runs a command-line recording of `length` that loses its sound after
    // 4 s; the next `failedAttempts` starts fail as well.
    void recordAndFailAfterFourSeconds(const QString& length, int failedAttempts) {
        h.start({length});
        ASSERT_EQ(h.encoder().starts, 1);
        h.run(4000);
        for (int i = 0; i < failedAttempts; ++i) h.encoder().startFailures.push_back(lostSound());
        h.encoder().fail(lostSound());
    }
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(20, 30, 0))};
};

TEST_F(RecordingFailure, LostSourceIsReportedAndTheCommandLineEndsWithStatusOne) {
    recordAndFailAfterFourSeconds(QStringLiteral("00:00:20"), 40);  // it never comes back
    h.run(1000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(
        box().contains(QStringLiteral("Rögzítési hiba: a(z) \"Teszt hangkártya\" hangforrás nem "
                                      "használható (a hangforrás megszűnt: Device://pulse")));
    ASSERT_FALSE(h.messenger.texts.isEmpty());
    EXPECT_TRUE(h.messenger.texts.last().startsWith(QStringLiteral("Rögzítési hiba: ")));
    EXPECT_EQ(h.messenger.icons.back(), Messenger::Icon::Critical);
    h.statusTick();
    EXPECT_EQ(h.window->statusLoop().statusIcon(), 103);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stImage)->toolTip(),
              QStringLiteral("Encoder hiba!"));
    EXPECT_FALSE(h.process.ended()) << "waits for the source while the planned length lasts";

    h.run(20000);
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1);
    EXPECT_EQ(countOf(log(), QStringLiteral("A rögzítés még nem folytatható: ")), 1)
        << "logged once, not per attempt";
    EXPECT_TRUE(log().contains(
        QStringLiteral("A rögzítés nem folytatható: a tervezett időtartam letelt.")));
    EXPECT_TRUE(log().endsWith(QStringLiteral("Esemény napló kiírása. Program befejezése.\r\n")));
}

TEST_F(RecordingFailure, SourceBackWithinTheLengthContinuesInANewFileForTheRest) {
    recordAndFailAfterFourSeconds(QStringLiteral("00:00:20"), 2);  // back on the third attempt
    h.run(30000);
    ASSERT_EQ(h.encoder().startedFiles.size(), 4)
        << h.encoder().startedFiles.join(u' ').toStdString();
    EXPECT_EQ(h.encoder().startedFiles.first(),
              media(QStringLiteral("teszttv-20261207-203000-000020-R64.wmv")));
    // Failed at 20:30:04, tried each second, resumed at 20:30:07 with 13 s left.
    EXPECT_EQ(h.encoder().startedFiles.last(),
              media(QStringLiteral("teszttv-20261207-203007-000013-R64.wmv")))
        << h.encoder().startedFiles.join(u' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists(h.encoder().startedFiles.first()));
    EXPECT_TRUE(QFileInfo::exists(h.encoder().startedFiles.last()));
    const QString text = log();
    const qsizetype failed = text.indexOf(QStringLiteral("Rögzítési hiba: "));
    const qsizetype resumed =
        text.indexOf(QStringLiteral("Rögzítés folytatása új fájlban: ") +
                     media(QStringLiteral("teszttv-20261207-203007-000013-R64.wmv")));
    ASSERT_GE(failed, 0);
    EXPECT_GT(resumed, failed);
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1) << "a recording with a gap is not whole";
}

TEST_F(RecordingFailure, DeletedMediaFolderIsNoticedWithinTwoSecondsAndRecreated) {
    h.start({QStringLiteral("00:00:20")});
    h.run(4000);
    ASSERT_TRUE(QDir(h.file(QStringLiteral("Media"))).removeRecursively());
    h.run(2000);
    EXPECT_EQ(h.encoder().stops, 1) << "the recording into the deleted folder is ended";
    EXPECT_TRUE(box().contains(QStringLiteral("Rögzítési hiba: a felvétel fájlja eltűnt")));
    h.run(1200);
    EXPECT_TRUE(QFileInfo(h.file(QStringLiteral("Media"))).isDir())
        << "the folder is made again, as at start-up";
    ASSERT_EQ(h.encoder().starts, 2);
    EXPECT_TRUE(QFileInfo::exists(h.encoder().outputFileName()));
}

TEST_F(RecordingFailure, FullDiskEndsTheRecordingWhileItsEndStillFits) {
    h.start({QStringLiteral("00:00:20")});
    h.run(5000);
    h.storage.free = 600 * 1024;  // under the reserve for the end of the file
    h.run(200);
    EXPECT_EQ(h.encoder().stops, 1);
    EXPECT_TRUE(
        box().contains(QStringLiteral("Rögzítési hiba: elfogyott a hely a media mappa lemezén: ")));
    h.run(20000);
    EXPECT_EQ(h.encoder().starts, 1) << "no new file while the disk stays full";
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1);
}

TEST_F(RecordingFailure, TooLittleRoomBeforeTheStartWarnsAndRecordsAnyway) {
    h.storage.free = 2'000'000;  // an hour of radio needs about 36 MB
    h.start({QStringLiteral("01:00:00")});
    QCoreApplication::processEvents();
    EXPECT_EQ(h.encoder().runState(), RunState::Running);
    EXPECT_TRUE(box().contains(QStringLiteral("Kevés a szabad hely a media mappában")));
    ASSERT_FALSE(h.messenger.icons.empty());
    EXPECT_EQ(h.messenger.icons.back(), Messenger::Icon::Warning);
}

TEST_F(RecordingFailure, MediaFolderThatIsAPlainFileNamesTheFolderAndTheReason) {
    h.write(QStringLiteral("Media"), "not a folder");
    h.start({QStringLiteral("00:00:05")});
    h.run(1000);
    const QString text = log();
    EXPECT_TRUE(
        text.contains(QStringLiteral("Rögzítési hiba: a felvétel fájlja nem hozható létre: ")));
    EXPECT_TRUE(text.contains(QStringLiteral("a media mappa helyén nem mappa, hanem fájl van: ") +
                              h.file(QStringLiteral("Media"))));
    EXPECT_FALSE(text.contains(QStringLiteral("Kodek hiba!")));
    EXPECT_FALSE(text.contains(QStringLiteral("Kódolás befejezve. Fájl neve: ")))
        << "no end line names a missing file";
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1);
}

TEST_F(RecordingFailure, DailyRecordingThatBrokeOffStaysArmedForTheNextDay) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50)));
    h.start();
    arm(h, Button::btnNapi, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.run(13000);  // started at 10:00:00
    ASSERT_EQ(h.encoder().starts, 1);
    h.encoder().fail(lostSound());
    for (int i = 0; i < 10; ++i) h.encoder().startFailures.push_back(lostSound());
    h.run(20000);
    EXPECT_TRUE(h.window->schedulerTick().isActive());
    EXPECT_TRUE(box().contains(QStringLiteral("Rögzítési hiba: ")));

    h.clock.set(QDateTime(QDate(2026, 12, 8), QTime(9, 59, 50)));
    h.encoder().startFailures.clear();
    h.run(20000);
    EXPECT_GE(h.encoder().starts, 2);
    EXPECT_EQ(h.encoder().startedFiles.last(),
              media(QStringLiteral("teszttv-20261208-100000-000005-R64.wmv")));
    EXPECT_FALSE(h.window->state().recordingFailed) << "a whole recording clears the error";
}

TEST_F(RecordingFailure, FileTheEngineCannotCreateIsNoCodecError) {
    h.start();
    arm(h, Button::btn1x, QStringLiteral("20:30:02"), QStringLiteral("00:00:05"));
    h.encoder().startFailures.push_back(EncoderStatus::failure(
        EncoderErrorCode::OutputFileCreate,
        QStringLiteral("A(z) /m/x.wmv fájl nem hozható létre: Permission denied")));
    h.run(3000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(
        box().contains(QStringLiteral("Rögzítési hiba: a felvétel fájlja nem hozható létre: ") +
                       media(QStringLiteral("teszttv-20261207-203002-000005-R64.wmv")) +
                       QStringLiteral(" (A(z) /m/x.wmv fájl nem hozható létre: Permission denied). "
                                      "A rögzítés nem indult el.")))
        << box().toStdString();
    EXPECT_FALSE(box().contains(QStringLiteral("Kodek hiba!")));
    ASSERT_FALSE(h.messenger.icons.empty());
    EXPECT_EQ(h.messenger.icons.back(), Messenger::Icon::Critical);
    h.statusTick();
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stImage)->toolTip(),
              QStringLiteral("Encoder hiba!"));
}

TEST_F(RecordingFailure, FullDiskGoesOnOnlyOnceRealRoomIsBack) {
    h.start({QStringLiteral("00:01:00")});
    h.run(5000);
    h.storage.free = 600 * 1024;
    h.run(200);
    ASSERT_EQ(h.encoder().stops, 1);
    h.storage.free = 1'500'000;  // what the finished file gave back: not enough
    h.run(5000);
    EXPECT_EQ(h.encoder().starts, 1);
    h.storage.free = 50'000'000;  // the operator cleared the disk
    h.run(1200);
    EXPECT_EQ(h.encoder().starts, 2);
}

TEST_F(RecordingFailure, SourceThatKeepsFailingIsTriedLessAndLessOften) {
    h.start({QStringLiteral("00:01:00")});
    h.run(2000);
    // Every resumed file loses its source again half a second later.
    for (int i = 0; i < 60 && !h.process.ended(); ++i) {
        h.encoder().fail(lostSound());
        h.run(500);
    }
    EXPECT_LT(h.encoder().starts, 12) << "one-second files for a minute would be about 40";
}

// A network mount that stops answering: every question about it hangs.
TEST_F(RecordingFailure, AMediaFolderThatStopsAnsweringNeverHoldsTheWindow) {
    h.start({QStringLiteral("00:00:20")});
    h.run(2000);
    h.storage.hang();
    QElapsedTimer wall;
    wall.start();
    h.run(5000);
    EXPECT_LT(wall.elapsed(), 1500) << "the window waited on the folder";
    EXPECT_EQ(countOf(box(), QStringLiteral("mp óta nem válaszol: ")), 1) << box().toStdString();
    EXPECT_EQ(h.encoder().runState(), RunState::Running) << "the recording goes on";
    EXPECT_EQ(h.encoder().stops, 0);

    h.storage.answerAgain();
    h.run(1200);
    EXPECT_TRUE(box().contains(QStringLiteral("A media mappa ismét válaszol: ")));
    h.run(13000);
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 0) << "a silent folder is no break in the recording";
}

TEST_F(RecordingFailure, AStartWhoseMediaFolderDoesNotAnswerIsGivenUpAndSaysWhy) {
    h.start();
    h.storage.hang();
    arm(h, Button::btnMost, QStringLiteral("00:00:00"), QStringLiteral("00:10:00"));
    EXPECT_TRUE(h.window->encoderControl().starting());
    QElapsedTimer wall;
    wall.start();
    h.run(3000);
    EXPECT_LT(wall.elapsed(), 1500) << "the window waited on the folder";
    EXPECT_FALSE(h.window->encoderControl().starting());
    EXPECT_EQ(h.encoder().starts, 0);
    EXPECT_TRUE(
        box().contains(QStringLiteral("Rögzítési hiba: a felvétel fájlja nem hozható létre")));
    EXPECT_TRUE(box().contains(QStringLiteral("(a media mappa 2 mp óta nem válaszol)")))
        << box().toStdString();
    h.storage.answerAgain();
    h.settle();
    EXPECT_EQ(h.encoder().starts, 0) << "the late answer starts nothing";
}
