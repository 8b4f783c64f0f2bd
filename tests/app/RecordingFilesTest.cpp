#include "Harness.h"
#include "Scheduler.h"

#include <gtest/gtest.h>
#include <QDir>

using namespace kelm;
using namespace kelm::test;

// A recording's files are evidence: each one is named after the second its
// first sample came in, ends when the recording was planned to, never takes
// the place of an earlier file, and every failure says in the operator's
// language what failed and where.
class RecordingFiles : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
    }
    QString box() { return h.window->log().boxText(); }
    QString media(const QString& name) const { return h.file(QStringLiteral("Media/") + name); }
    EncoderStatus lostSound() const {
        return EncoderStatus::failure(
            EncoderErrorCode::SoundCard,
            QStringLiteral("sound card default: Disconnected: Connection terminated"));
    }
    // The next preparation of the sources takes `ms` of real time.
    void sourcesAnswerAfter(qint64 ms) {
        h.encoder().duringPrepare = [this, ms] {
            h.clock.advanceMs(ms);
            h.encoder().duringPrepare = nullptr;
        };
    }
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(20, 30, 0))};
};

TEST_F(RecordingFiles, SourcesThatAnswerLateNameTheFileAtItsFirstSampleAndKeepThePlannedEnd) {
    h.start();
    sourcesAnswerAfter(12000);
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:20"));
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    EXPECT_EQ(h.encoder().outputFileName(),
              media(QStringLiteral("teszttv-20261207-203012-000008-R64.wmv")));
    EXPECT_EQ(h.encoder().durationLimitMs(), 8000);
    const QString text = box();
    EXPECT_TRUE(
        text.contains(QStringLiteral("20:30:12: A források csak 12 mp múlva adtak jelet: a "
                                     "felvétel 20:30:12-kor indul, a tervezett végéig tart.")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("20:30:00: Encoder indítása - MOST")))
        << "the start as asked for, then when it really happened";
}

TEST_F(RecordingFiles, SourcesThatNeverAnswerInTimeRecordNothingAndSaySo) {
    h.start();
    sourcesAnswerAfter(25000);
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:20"));
    EXPECT_EQ(h.encoder().starts, 0);
    EXPECT_TRUE(box().contains(QStringLiteral("A rögzítés elmarad: a tervezett időtartam letelt")));
}

TEST_F(RecordingFiles, ResumedFileIsNamedAfterItsFirstSampleAndEndsAtThePlannedEnd) {
    h.start({QStringLiteral("00:00:20")});  // 20:30:00 to 20:30:20
    h.run(5000);
    h.encoder().fail(lostSound());
    h.run(1000);               // broken off at 20:30:05.2, next try at 20:30:06.2
    sourcesAnswerAfter(2000);  // the sound server is back two seconds later
    h.run(200);
    ASSERT_EQ(h.encoder().starts, 2);
    EXPECT_EQ(h.encoder().outputFileName(),
              media(QStringLiteral("teszttv-20261207-203008-000012-R64.wmv")));
    EXPECT_EQ(h.encoder().durationLimitMs(), 20000 - 8200)
        << "the rest of the plan, counted after the wait";
    const QString text = box();
    EXPECT_TRUE(text.contains(
        QStringLiteral("A felvételből 3,2 mp hiányzik (20:30:05 és 20:30:08 között).")))
        << text.toStdString();

    const RecordingTags& tags = h.encoder().tags;
    EXPECT_EQ(tags.author, QStringLiteral("teszttv"));
    EXPECT_EQ(tags.plannedStart, QDateTime(QDate(2026, 12, 7), QTime(20, 30, 0)))
        << "the resumed file's header names the plan it belongs to";
    EXPECT_EQ(tags.plannedDurationMs, 20000);
    EXPECT_EQ(tags.profileName, QStringLiteral("R64"));

    h.run(15000);
    ASSERT_TRUE(h.process.ended());
    EXPECT_EQ(h.process.exitCode, 1) << "a recording with a gap is not whole";
}

TEST_F(RecordingFiles, EachFailureIsOneHungarianLineWithTheSystemsWordsInParentheses) {
    h.start({QStringLiteral("00:00:20")});
    h.run(5000);
    h.encoder().fail(lostSound());
    h.run(400);
    QCoreApplication::processEvents();
    const QString line = QStringLiteral(
        "Rögzítési hiba: a(z) \"Teszt hangkártya\" hangforrás nem használható "
        "(sound card default: Disconnected: Connection terminated)");
    EXPECT_EQ(box().count(line), 1) << box().toStdString();
    ASSERT_FALSE(h.messenger.texts.isEmpty());
    EXPECT_EQ(h.messenger.texts.last(), line);
}

TEST_F(RecordingFiles, PictureSourceThatCannotBeReadIsNamedNotUnknown) {
    h.start();
    h.encoder().startFailures.push_back(
        EncoderStatus::failure(EncoderErrorCode::VideoInput,
                               QStringLiteral("video input file \"/m/fifo.wmv\" cannot be read")));
    arm(h, Button::btnMost, QStringLiteral("20:30:00"), QStringLiteral("00:00:05"));
    QCoreApplication::processEvents();
    const QString text = box();
    EXPECT_FALSE(text.contains(QStringLiteral("Ismeretlen hiba")));
    EXPECT_TRUE(text.contains(QStringLiteral(
        "videóforrás nem használható (video input file \"/m/fifo.wmv\" cannot be read). "
        "A rögzítés nem indult el.")))
        << text.toStdString();
    ASSERT_FALSE(h.messenger.icons.empty());
    EXPECT_EQ(h.messenger.icons.back(), Messenger::Icon::Critical);
}

TEST_F(RecordingFiles, TakenNameKeepsTheEarlierRecordingAndBothNamesAreLogged) {
    h.start();
    const QString taken = media(QStringLiteral("teszttv-20261207-203005-000005-R64.wmv"));
    QDir().mkpath(h.file(QStringLiteral("Media")));
    h.write(QStringLiteral("Media/teszttv-20261207-203005-000005-R64.wmv"), "an earlier recording");
    arm(h, Button::btn1x, QStringLiteral("20:30:05"), QStringLiteral("00:00:05"));
    h.run(6000);
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    EXPECT_EQ(h.read(QStringLiteral("Media/teszttv-20261207-203005-000005-R64.wmv")),
              "an earlier recording");
    EXPECT_EQ(h.encoder().outputFileName(), taken + QStringLiteral(".FIGYELEM.wmv"));
    const QString text = box();
    EXPECT_TRUE(
        text.contains(QStringLiteral("A(z) ") + taken +
                      QStringLiteral(" fájl már létezik, a korábbi felvétel nem írható felül!")));
    EXPECT_TRUE(text.contains(QStringLiteral("Fájlnév kiegészítés - .FIGYELEM.wmv ") + taken +
                              QStringLiteral(".FIGYELEM.wmv")));
}
