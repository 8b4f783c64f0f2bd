#include "Harness.h"
#include "PostProcessing.h"
#include "SealControl.h"
#include "SubtitleJobs.h"
#include "encoder/OutputFileName.h"
#include "seal/SealFile.h"

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QDir>

using namespace kelm;
using namespace kelm::test;

namespace {

// Starts nothing, and says it did: a subtitle job that never ends.
class SilentLauncher final : public ProgramLauncher {
public:
    bool startDetached(const QString& program, const QStringList& arguments) override {
        started << program + u' ' + arguments.join(u' ');
        return true;
    }
    QStringList started;
};

}  // namespace

// Every recording file KELM closes is sealed in the day's seal of the media
// folder, with its subtitle file once that is done, and a seal that cannot
// be written is said in the log.
class Sealing : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
    }
    QString media(const QString& name) const { return h.file(QStringLiteral("Media/") + name); }
    SealControl& seals() { return h.window->postProcessing().seals(); }
    // The seal jobs run on their own thread: their answers, at most 5 s.
    void waitForSeals() {
        QElapsedTimer waited;
        waited.start();
        while (seals().busy() && waited.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
    }
    // The live subtitle jobs' launch, three seconds after a file starts, is
    // a real-time timer: run it by hand. Without tiplon in the test's program
    // folder the job ends at once, and the seal need not wait for it.
    void launchSubtitleJobs() {
        h.window->postProcessing().subtitleJobs().launchLive();
        seals().watchSubtitles();
    }
    QString seal() const {
        return QString::fromUtf8(h.read(QStringLiteral("Media/teszttv-20261207.sha256")));
    }
    QString sha256Of(const QString& path) const {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLatin1(
            QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
    }
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(20, 30, 0))};
};

TEST_F(Sealing, CommandLineRecordingIsSealedBeforeTheProgramEnds) {
    h.start({QStringLiteral("00:00:05")});
    const QString file = h.encoder().outputFileName();
    h.run(6000);
    ASSERT_TRUE(h.process.ended());
    // No waiting here: the end of the program has written it.
    const QString text = seal();
    const QString name = QFileInfo(file).fileName();
    ASSERT_FALSE(text.isEmpty());
    EXPECT_TRUE(text.startsWith(QStringLiteral("# Előző napi pecsét: nincs\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(sha256Of(file) + QStringLiteral("  ") + name + u'\n'))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" hossz=5.000 méret=3 fájl=") + name))
        << text.toStdString();
    // The test's program folder has no tiplon: the subtitle file never came.
    EXPECT_TRUE(text.contains(QStringLiteral("# A(z) ") + OutputFileName::subtitleName(name) +
                              QStringLiteral(" feliratfájl nem készült el.")));
    const QString report =
        QString::fromUtf8(h.read(QStringLiteral("Media/teszttv-20261207-jelentes.txt")));
    EXPECT_TRUE(report.contains(QStringLiteral("1. 20:30:00 (MOST), tervezett hossz 00:00:05")))
        << report.toStdString();
}

TEST_F(Sealing, WindowRecordingIsSealedSoonAfterItsFileCloses) {
    h.start();
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:05"));
    const QString file = h.encoder().outputFileName();
    h.run(4000);
    EXPECT_TRUE(seal().isEmpty()) << "nothing is sealed while the file grows";
    h.run(2000);
    ASSERT_FALSE(h.process.ended());
    launchSubtitleJobs();
    waitForSeals();
    EXPECT_TRUE(seal().contains(sha256Of(file) + QStringLiteral("  ") + QFileInfo(file).fileName()))
        << seal().toStdString();
    EXPECT_FALSE(h.window->log().boxText().contains(QStringLiteral("pecsét")));
}

TEST_F(Sealing, SubtitleFileIsWaitedForAWhileThenSealedAsItIsWithAComment) {
    SilentLauncher launcher;
    h.launcher = &launcher;
    h.write(QStringLiteral("tiplon"), "#!/bin/sh\n");
    h.start();
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:05"));
    const QString file = h.encoder().outputFileName();
    const QString subtitle = OutputFileName::subtitleName(file);
    h.run(3200);
    h.window->postProcessing().subtitleJobs().launchLive();
    ASSERT_EQ(launcher.started.size(), 1);
    h.run(2800);  // closed at 20:30:05, a second ago; the job never ends
    {
        QFile partial(subtitle);
        ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
        partial.write("1\n");
    }
    h.clock.advanceMs(SealControl::kSubtitleWaitMs - 3000);
    seals().watchSubtitles();
    EXPECT_TRUE(seals().subtitleWatch().isActive());
    QCoreApplication::processEvents();
    EXPECT_TRUE(seal().isEmpty()) << "the subtitle job still has time";

    h.clock.advanceMs(3000);
    seals().watchSubtitles();
    waitForSeals();
    const QString text = seal();
    EXPECT_TRUE(text.contains(sha256Of(file) + QStringLiteral("  ") + QFileInfo(file).fileName()));
    EXPECT_TRUE(text.contains(QStringLiteral("# A(z) ") + QFileInfo(subtitle).fileName() +
                              QStringLiteral(" feliratfájl a pecsételéskor még készülhetett.\n") +
                              QStringLiteral("# Pecsét: ")))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(sha256Of(subtitle) + QStringLiteral("  ") + QFileInfo(subtitle).fileName()));
}

TEST_F(Sealing, SealThatCannotBeWrittenIsLoggedInHungarian) {
    h.start();
    // A folder where the day's seal should be: it cannot be opened as a file.
    ASSERT_TRUE(
        QDir(h.file(QStringLiteral("Media"))).mkdir(QStringLiteral("teszttv-20261207.sha256")));
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:02"));
    h.run(3000);
    launchSubtitleJobs();
    waitForSeals();
    const QString box = h.window->log().boxText();
    EXPECT_TRUE(box.contains(QStringLiteral("A pecsét nem írható: ") +
                             media(QStringLiteral("teszttv-20261207.sha256"))))
        << box.toStdString();
    EXPECT_TRUE(h.read(h.logFileName()).contains("A pecsét nem írható: "));
}

TEST_F(Sealing, DayThatEndsGetsItsFinalReport) {
    h.start();
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:02"));
    h.run(3000);
    launchSubtitleJobs();
    waitForSeals();
    ASSERT_TRUE(QFile::remove(media(QStringLiteral("teszttv-20261207-jelentes.txt"))));
    seals().checkDay();
    waitForSeals();
    EXPECT_FALSE(QFileInfo::exists(media(QStringLiteral("teszttv-20261207-jelentes.txt"))));
    h.clock.advanceMs(4 * 3600 * 1000);  // past midnight
    seals().checkDay();
    waitForSeals();
    EXPECT_TRUE(QFileInfo::exists(media(QStringLiteral("teszttv-20261207-jelentes.txt"))));
    EXPECT_FALSE(QFileInfo::exists(media(QStringLiteral("teszttv-20261208-jelentes.txt"))));
}
