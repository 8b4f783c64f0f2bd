#include "Harness.h"
#include "Pictures.h"
#include "Startup.h"
#include "recorder/TextFile.h"

#include <gtest/gtest.h>
#include <QAction>

using namespace kelm;
using namespace kelm::test;

TEST(Startup, FirstRunCreatesSettingsStateAndLogWithTheDoublePass) {
    Harness h;
    h.start();
    const QByteArray ini = h.read(QStringLiteral("kelm.ini"));
    EXPECT_EQ(ini.count("\r\n"), 7);
    EXPECT_TRUE(ini.startsWith("Teszt TV\r\nteszttv\r\n"));
    const auto state = TextFile::readLines(h.file(QStringLiteral("teszttv.ini")));
    ASSERT_TRUE(state);
    EXPECT_EQ(state->size(), 11);
    EXPECT_EQ(h.factory.creations, 2) << "the sequence runs twice on a first run";

    const QString log = QString::fromUtf8(h.read(h.logFileName()));
    EXPECT_TRUE(log.startsWith(QStringLiteral("2026.12.07.-9:00:00: \r\n9:00:00: Program ID: ")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(
        QStringLiteral("2026.12.07.-9:00:00: Utolsó állapot beolvasása: teszttv.ini\r\n")));
    EXPECT_EQ(log.count(QStringLiteral("Program ID: ")), 1);
    EXPECT_TRUE(QFileInfo(h.file(QStringLiteral("Media"))).isDir());
    EXPECT_TRUE(QFileInfo::exists(h.file(QStringLiteral("kelm.exe.manifest"))));
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnNapi));
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Teszt TV"));
}

TEST(Startup, FirstRunRestoresOnceWritesOneHeaderAndUnloadsTheSplash) {
    Harness h;
    h.countSplash = true;
    h.start();
    const QString log = QString::fromUtf8(h.read(h.logFileName()));
    EXPECT_EQ(log.count(QStringLiteral("Program ID: ")), 1);
    EXPECT_EQ(log.count(QStringLiteral("Utolsó állapot beolvasása: teszttv.ini")), 1);
    EXPECT_EQ(h.messenger.texts.count(QStringLiteral("Nincs telepítve TV tunerkártya!")), 1)
        << "the device lists are filled and restored once";
    EXPECT_EQ(h.form().sources.videoSource->count(), 1);
    EXPECT_EQ(h.form().sources.audioSource->currentText(), QStringLiteral("Teszt hangkártya"));
    EXPECT_EQ(h.form().zoom.text->text(), QStringLiteral("1 X"));
    EXPECT_FALSE(h.splash->up) << "the splash is gone once the window is ready";
    EXPECT_FALSE(h.process.ended());
}

TEST(Startup, FirstRunWithACommandLineLogsAndTogglesTheRecordingOnce) {
    Harness h;
    h.countSplash = true;
    h.start({QStringLiteral("00:00:05")});
    const QString log = h.window->log().boxText();
    EXPECT_EQ(log.count(QStringLiteral("Paraméteres indítás: 00:00:05")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Program ID: ")), 1);
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnMost));
    EXPECT_FALSE(h.splash->up);
}

TEST(Startup, FirstRunWithACommandLineThatIsNotATimeIsRefusedOnce) {
    Harness h;
    h.start({QStringLiteral("abc")});
    EXPECT_EQ(h.messenger.texts.count(QStringLiteral("Nincs megadva kódolási idő!")), 1);
    EXPECT_EQ(h.window->log().boxText().count(QStringLiteral("Paraméteres indítás: ")), 1);
    EXPECT_EQ(h.encoder().starts, 0);
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
}

TEST(Startup, FirstRunWithAnOutOfRangeDurationLogsItOnceAndKeepsTheSplash) {
    Harness h;
    h.countSplash = true;
    h.start({QStringLiteral("24:00:00")});
    EXPECT_EQ(h.window->log().boxText().count(
                  QStringLiteral("Hibás felvételi idő a parancssorban: 24:00:00")),
              1);
    EXPECT_TRUE(h.splash->up) << "nothing is recorded; the splash stays";
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnNapi));
    EXPECT_EQ(h.window->state().arm.value(), Arm::Idle);
    EXPECT_FALSE(h.process.ended());
}

TEST(Startup, UnattendedFirstRunWithABadDurationEndsOnceWithAFailureStatus) {
    Harness h;
    h.messenger.attended = false;
    h.start({QStringLiteral("24:00:00")});
    EXPECT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1);
    const QString log = QString::fromUtf8(h.read(h.logFileName()));
    EXPECT_EQ(log.count(QStringLiteral("Hibás felvételi idő a parancssorban: 24:00:00")), 1)
        << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Program befejezése.")), 1);
    EXPECT_EQ(log.count(QStringLiteral("Program ID: ")), 1);
}

TEST(Startup, MissingConfiguredFilesAreReportedInOneBoxAndStartupGoesOn) {
    Harness h;
    h.start();
    ASSERT_FALSE(h.messenger.texts.isEmpty());
    EXPECT_TRUE(h.messenger.texts.first().startsWith(QStringLiteral("Hiányzó fájl(ok):\r\r\n")));
    EXPECT_TRUE(h.messenger.texts.first().contains(h.file(QStringLiteral("video.wmv"))));
    EXPECT_FALSE(h.process.ended());
}

TEST(Startup, MissingEncoderEndsTheProgramWithItsMessage) {
    Harness h;
    h.factory.missing = true;
    h.start();
    EXPECT_TRUE(h.process.ended());
    EXPECT_EQ(h.messenger.texts.value(0),
              QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép."));
    EXPECT_TRUE(h.window->log().boxText().contains(
        QStringLiteral("A Windows Media Encoder nincs telepítve!")));
}

TEST(Startup, OutOfRangeCommandLineDurationRecordsNothingAndKeepsDailyMode) {
    for (const char* arg : {"24:00:00", "00:60:00"}) {
        Harness h;
        h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                     QStringLiteral("01:00:00"));
        h.start({QString::fromLatin1(arg)});
        EXPECT_EQ(h.encoder().starts, 0) << arg;
        EXPECT_TRUE(h.toolbar().isPressed(Button::btnNapi)) << arg;
        EXPECT_EQ(h.window->state().arm.value(), Arm::Idle) << arg;
    }
}

TEST(Startup, CommandLineThatIsNotATimeIsRefusedByTheRecordingControl) {
    Harness h;
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                 QStringLiteral("01:00:00"));
    h.start({QStringLiteral("abc")});
    EXPECT_EQ(h.encoder().starts, 0);
    EXPECT_TRUE(h.messenger.texts.contains(QStringLiteral("Nincs megadva kódolási idő!")));
}

TEST(Startup, FirstRunWithACommandLineTriesOnceWithoutAChosenSourceAndSaysWhy) {
    // A first run has no saved video source: the device branch runs with no
    // device named, and the recording cannot have a picture.
    Harness h;
    h.videoDevices.names = {QStringLiteral("Tuner Card")};
    h.start({QStringLiteral("00:00:05")});
    EXPECT_EQ(h.form().sources.videoSource->currentIndex(), -1)
        << "nothing was chosen for the operator";
    EXPECT_EQ(h.encoder().videoInput(), QStringLiteral("DEVICE://"));
    EXPECT_EQ(h.messenger.texts.count(QStringLiteral(
                  "A bemeneti forrás nem megfelelően működik, vagy már használatban van.")),
              1)
        << "the empty saved line selects nothing; the explicit run of the handler tells it";
    const QString log = h.window->log().boxText();
    EXPECT_EQ(log.count(QStringLiteral("Encoder indítása - MOST")), 1)
        << "one attempt, not one per pass";
    EXPECT_TRUE(log.contains(QStringLiteral("no video capture device chosen")))
        << log.toStdString();
    EXPECT_EQ(h.encoder().runState(), RunState::Stopped);
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnMost));
}

TEST(Startup, NoSoundCardAsksToExitAndNoKeepsTheWindowWithoutRestoring) {
    Harness h;
    h.soundCards.cards.clear();
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                 QStringLiteral("01:00:00"));
    h.messenger.answers = {Messenger::Answer::Ok, Messenger::Answer::Ok, Messenger::Answer::No};
    h.start();
    EXPECT_TRUE(h.messenger.texts.contains(QStringLiteral("Nincs hangkártya telepítve!")));
    EXPECT_TRUE(h.messenger.texts.contains(QStringLiteral("Valóban ki akar lépni?")));
    EXPECT_FALSE(h.process.ended());
    EXPECT_EQ(h.form().times.start->text(), QStringLiteral("00:00:00"))
        << "the state is not restored";
    EXPECT_EQ(h.form().sources.videoSource->count(), 0);
}

TEST(Startup, NoSoundCardOnALaterStartLeavesTheWindowAsFarAsItCame) {
    Harness h;
    h.countSplash = true;
    h.soundCards.cards.clear();
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                 QStringLiteral("01:00:00"));
    h.messenger.answers = {Messenger::Answer::Ok, Messenger::Answer::Ok, Messenger::Answer::No};
    h.start();
    ASSERT_FALSE(h.process.ended());
    EXPECT_TRUE(h.splash->up) << "the splash stays, as after a bad command line";
    EXPECT_EQ(h.form().zoom.text->text(), QString());
}

TEST(Startup, NoSoundCardOnAFirstRunWhereTheOperatorStaysStillReadiesTheWindow) {
    // A first run goes on to the last steps after its restore stopped: the
    // window is left ready, though nothing was restored.
    Harness h;
    h.countSplash = true;
    h.soundCards.cards.clear();
    h.write(QStringLiteral("video.wmv"), "not looked into");
    const QString present = h.file(QStringLiteral("video.wmv"));
    h.write(
        QStringLiteral("kelm.ini"),
        (QStringLiteral("Teszt TV\r\nteszttv\r\n") + present + QStringLiteral("\r\n") + present +
         QStringLiteral("\r\n1\r\n") + h.file(QStringLiteral("Media")) + QStringLiteral("\r\n"))
            .toUtf8());
    h.messenger.answers = {Messenger::Answer::Ok, Messenger::Answer::No};
    h.start();
    EXPECT_EQ(h.messenger.texts, QStringList({QStringLiteral("Nincs hangkártya telepítve!"),
                                              QStringLiteral("Valóban ki akar lépni?")}));
    ASSERT_FALSE(h.process.ended());
    EXPECT_EQ(h.form().sources.videoSource->count(), 0) << "nothing is restored";
    EXPECT_EQ(h.form().zoom.text->text(), QStringLiteral("1 X"));
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnNapi));
    EXPECT_FALSE(h.splash->up);
}

TEST(Startup, LogFolderThatCannotBeCreatedLeavesKelmRunningAndSaysWhy) {
    Harness h;
    h.write(QStringLiteral("Log"), "a file where the folder should be");
    h.start();
    EXPECT_FALSE(h.process.ended());
    EXPECT_TRUE(
        h.window->log().boxText().contains(QStringLiteral("A napló fájl nem nyitható meg")));
}

TEST(Startup, MediaFolderIsMadeThroughTheStorageAndARefusalIsLoggedOnceAfterTheHeader) {
    for (const bool firstRun : {true, false}) {
        Harness h;
        h.storage.refuseNewFolders = true;
        if (!firstRun)
            h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                         QStringLiteral("01:00:00"));
        h.start();
        EXPECT_FALSE(h.process.ended()) << firstRun;
        const QString media = h.file(QStringLiteral("Media"));
        EXPECT_TRUE(h.storage.foldersAsked.contains(media)) << firstRun;
        EXPECT_FALSE(QFileInfo::exists(media)) << "nothing else makes it; first run: " << firstRun;
        const QString log = QString::fromUtf8(h.read(h.logFileName()));
        const QString refusal = QStringLiteral("A media mappa nem hozható létre: ") + media;
        EXPECT_EQ(log.count(refusal), 1) << log.toStdString();
        EXPECT_GT(log.indexOf(refusal), log.indexOf(QStringLiteral("Utolsó állapot beolvasása: ")))
            << log.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("Program ID: ")), 1);
    }
}

TEST(Startup, BrokenStateFileNeverStopsTheStart) {
    Harness h;
    QByteArray junk(100000, '\xff');
    junk += "\r\n\x00\x01\r\n25:00:00\r\n" + QByteArray(300000, 'x');
    h.write(QStringLiteral("teszttv.ini"), junk);
    h.start();
    EXPECT_FALSE(h.process.ended());
    EXPECT_EQ(h.form().times.start->text(), QStringLiteral("00:00:00"))
        << "25:00:00 is reset by the start field";
    EXPECT_EQ(h.form().sources.audioSource->currentText(), QStringLiteral("Teszt hangkártya"));
}

TEST(Startup, SavedChoicesAreRestored) {
    Harness h;
    h.write(QStringLiteral("teszttv.ini"),
            QStringLiteral("Másik kártya\r\n\r\n20:30:00\r\n22:00:00\r\n01:30:00\r\nVideó fájl\r\n")
                .toUtf8());
    h.start();
    EXPECT_EQ(h.form().sources.audioSource->currentText(), QStringLiteral("Másik kártya"));
    EXPECT_EQ(h.form().times.end->text(), QStringLiteral("22:00:00"));
    EXPECT_EQ(h.form().sources.videoSource->currentText(), QStringLiteral("Videó fájl"));
    EXPECT_EQ(h.encoder().videoInput(), h.file(QStringLiteral("video.wmv")));
    EXPECT_FALSE(h.form().sources.videoInput->isEnabled());
}

namespace {
QImage pictureOf(const QIcon& icon) {
    return icon.pixmap(QSize(16, 16)).toImage();
}
}  // namespace

TEST(Startup, LogPanelButtonOffersToCloseTheOpenPanelAndEachClickFlipsIt) {
    const QImage closePicture = pictureOf(Pictures::icon(QStringLiteral("bitmap103")));
    const QImage openPicture = pictureOf(Pictures::icon(QStringLiteral("bitmap102")));
    ASSERT_NE(closePicture, openPicture);
    Harness h;
    h.start();
    QPushButton* button = h.form().logPanel.toggle;
    EXPECT_EQ(button->toolTip(), QStringLiteral("Eseménynapló bezárása..."));
    EXPECT_EQ(pictureOf(button->icon()), closePicture);
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(h.form().logPanel.box->isVisibleTo(h.window.get()));

    button->click();
    EXPECT_EQ(button->toolTip(), QStringLiteral("Eseménynapló lenyítása..."));
    EXPECT_EQ(pictureOf(button->icon()), openPicture);
    EXPECT_FALSE(h.form().logPanel.box->isVisibleTo(h.window.get()));

    button->click();
    EXPECT_EQ(button->toolTip(), QStringLiteral("Eseménynapló bezárása..."));
    EXPECT_EQ(pictureOf(button->icon()), closePicture);
    EXPECT_TRUE(h.form().logPanel.box->isVisibleTo(h.window.get()));
}

TEST(Exit, NoToTheQuestionKeepsKelmRunning) {
    Harness h;
    h.start();
    h.messenger.answers = {Messenger::Answer::No};
    EXPECT_FALSE(h.window->startup().closeRequested());
    EXPECT_FALSE(h.process.ended());
}

TEST(Exit, YesStopsTheRecordingLogsAndSavesTheState) {
    Harness h;
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                 QStringLiteral("01:00:00"));
    h.start({QStringLiteral("01:00:00"), QStringLiteral("/p")});
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    QFile::remove(h.file(QStringLiteral("teszttv.ini")));
    h.messenger.answers = {Messenger::Answer::Yes};
    h.window->startup().confirmExit();
    EXPECT_TRUE(h.process.ended());
    EXPECT_EQ(h.encoder().runState(), RunState::Stopped);
    const QString log = QString::fromUtf8(h.read(h.logFileName()));
    EXPECT_TRUE(log.contains(QStringLiteral("Esemény napló kiírása. Program befejezése.\r\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("Beállítások mentése: ") +
                             h.file(QStringLiteral("teszttv.ini"))));
    EXPECT_TRUE(QFileInfo::exists(h.file(QStringLiteral("teszttv.ini"))));
}

TEST(Exit, SecondKelmOfTheDayLogsToItsOwnFileAndBothKeepEveryLine) {
    Harness first;
    first.start();
    Harness second;
    second.folder = first.programDir();
    second.start();
    first.window->log().logEvent(QStringLiteral("first"));
    second.window->log().logEvent(QStringLiteral("second"));
    const QString own =
        QStringLiteral("Log/teszttv-20261207-%1.log").arg(QCoreApplication::applicationPid());
    EXPECT_EQ(second.window->log().filePath(), first.file(own));
    EXPECT_TRUE(first.read(first.logFileName()).endsWith(": first\r\n"));
    const QByteArray secondLog = first.read(own);
    EXPECT_TRUE(secondLog.contains("Program ID: "));
    EXPECT_TRUE(secondLog.endsWith(": second\r\n"));
}

TEST(UnattendedRun, CommandLineThatRecordsNothingEndsWithAFailureStatus) {
    for (const char* arg : {"24:00:00", "abc"}) {
        Harness h;
        h.messenger.attended = false;
        h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                     QStringLiteral("01:00:00"));
        h.start({QString::fromLatin1(arg)});
        EXPECT_TRUE(h.process.ended()) << arg;
        EXPECT_EQ(h.process.exitCode, 1) << arg;
        EXPECT_TRUE(QString::fromUtf8(h.read(h.logFileName()))
                        .contains(QStringLiteral("Program befejezése.")))
            << arg;
    }
}

TEST(UnattendedRun, RecordingThatLeftNoFileEndsWithAFailureStatus) {
    Harness h;
    h.messenger.attended = false;
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"),
                 QStringLiteral("01:00:00"));
    h.factory.missing = false;
    h.start({QStringLiteral("00:00:02")});
    h.encoder().stop();
    QFile::remove(h.encoder().outputFileName());
    h.run(1000);
    EXPECT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1);
}
