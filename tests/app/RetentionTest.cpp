#include "Harness.h"
#include "RetentionControl.h"
#include "encoder/EncoderProfile.h"
#include "encoder/OutputFileName.h"
#include "recorder/MediaStorage.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QStatusBar>

using namespace kelm;
using namespace kelm::test;

// Years of unattended running: the channel's own recordings go when they
// have outlived the days the settings keep them, nothing else ever goes, and
// the operator is told how long the free space lasts.
class Retention : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        ASSERT_TRUE(QDir(h.programDir()).mkpath(QStringLiteral("Media")));
    }
    void keepFor(const QByteArray& days) {
        h.write(QStringLiteral("kelm.ini"),
                "Teszt TV\r\nteszttv\r\nvideo.wmv\r\n/usr/bin/mpv\r\n1\r\n" +
                    QDir(h.programDir()).filePath(QStringLiteral("Media")).toUtf8() + "\r\n" +
                    days + "\r\n");
    }
    QString media(const QString& name) const { return h.file(QStringLiteral("Media/") + name); }
    void touch(const QString& name) const {
        QFile file(media(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QString recordingOf(int daysAgo, const QString& shortName = QStringLiteral("teszttv")) const {
        return shortName + u'-' +
               h.clock.now().date().addDays(-daysAgo).toString(QStringLiteral("yyyyMMdd")) +
               QStringLiteral("-200000-010000-TV512.wmv");
    }
    QString box() const { return h.window->log().boxText(); }
    static QString sub(const QString& recording) {
        return recording.chopped(4) + QStringLiteral(".sub");
    }
    Harness h{QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0))};
};

TEST_F(Retention, OnlyThisChannelsRecordingsOlderThanTheDaysKeptGoAndTheLogNamesThem) {
    keepFor("30");
    const QString old = recordingOf(40);
    const QString recent = recordingOf(10);
    const QString otherChannel = recordingOf(40, QStringLiteral("masiktv"));
    for (const QString& name : {old, sub(old), recent, sub(recent), otherChannel, sub(otherChannel),
                                QStringLiteral("jegyzet.txt")})
        touch(name);
    h.start();

    EXPECT_FALSE(QFile::exists(media(old)));
    EXPECT_FALSE(QFile::exists(media(sub(old))));
    for (const QString& kept :
         {recent, sub(recent), otherChannel, sub(otherChannel), QStringLiteral("jegyzet.txt")})
        EXPECT_TRUE(QFile::exists(media(kept))) << kept.toStdString();
    EXPECT_TRUE(box().contains(QStringLiteral("Régi felvétel törölve: ") + media(old)))
        << box().toStdString();
    EXPECT_TRUE(box().contains(QStringLiteral("Régi felvétel törölve: ") + media(sub(old))));
    EXPECT_EQ(box().count(QStringLiteral("Régi felvétel törölve: ")), 2);
}

TEST_F(Retention, ASixLineSettingsFileKeepsEveryRecording) {
    h.write(QStringLiteral("kelm.ini"),
            "Teszt TV\r\nteszttv\r\nvideo.wmv\r\n/usr/bin/mpv\r\n1\r\n" +
                QDir(h.programDir()).filePath(QStringLiteral("Media")).toUtf8() + "\r\n");
    const QString ancient = recordingOf(4000);
    touch(ancient);
    h.start();
    EXPECT_TRUE(QFile::exists(media(ancient)));
    EXPECT_FALSE(box().contains(QStringLiteral("Régi felvétel")));
}

TEST_F(Retention, MidnightDeletesWhatHasJustOutlivedItsDays) {
    keepFor("30");
    const QString turning = recordingOf(30);  // 31 days old from tomorrow on
    touch(turning);
    h.start();
    h.window->retention().minuteTick();
    h.settle();
    EXPECT_TRUE(QFile::exists(media(turning)));
    h.clock.advanceMs(14 * 3600 * 1000);  // past midnight
    h.window->retention().minuteTick();
    h.settle();
    EXPECT_FALSE(QFile::exists(media(turning)));
}

TEST_F(Retention, AFolderThatHangsNeverHoldsTheWindowAndIsCleanedWhenItAnswers) {
    keepFor("30");
    h.start();
    const QString old = recordingOf(40);
    touch(old);
    h.storage.hang();
    h.clock.advanceMs(24 * 3600 * 1000);  // the next day's cleaning
    QElapsedTimer held;
    held.start();
    h.window->retention().minuteTick();
    EXPECT_LT(held.elapsed(), 100);
    EXPECT_TRUE(QFile::exists(media(old)));
    h.storage.answerAgain();
    QElapsedTimer waited;
    waited.start();
    while (QFile::exists(media(old)) && waited.elapsed() < 5000) h.settle();
    h.settle();
    EXPECT_FALSE(QFile::exists(media(old)));
    EXPECT_TRUE(box().contains(QStringLiteral("Régi felvétel törölve: ") + media(old)));
}

TEST_F(Retention, EachDeletionIsToldWithItsTimeSoTheSealsCanNoteIt) {
    keepFor("30");
    const QString old = recordingOf(40);
    touch(old);
    QStringList told;
    h.start();
    h.window->retention().setDeletionObserver([&](const QString& path, const QDateTime& utc) {
        told << path;
        EXPECT_EQ(utc, h.clock.now().toUTC());
    });
    touch(old);  // the start-up already took the first; another copy appears
    h.clock.advanceMs(24 * 3600 * 1000);
    h.window->retention().minuteTick();
    h.settle();
    EXPECT_EQ(told, QStringList{media(old)});
}

TEST_F(Retention, TheTipTellsTheHoursTheSpaceHoldsAndLowSpaceIsWarnedOnceADay) {
    keepFor("0");
    // Ten and a half hours at the radio profile the picture file records
    // with, beside the reserve a recording keeps.
    EncoderProfile radio;
    ASSERT_TRUE(EncoderProfile::parse(
                    EncoderProfile::textForVideoSource(OutputFileName::kVideoFileSource), &radio)
                    .ok());
    const qint64 hour =
        RecordingBudget::plannedBytes(radio.videoBitrate, radio.audioBitrate, 3'600'000);
    h.storage.free = 10 * hour + hour / 2 +
                     RecordingBudget::reserveBytes((radio.videoBitrate + radio.audioBitrate) / 8);
    h.start();
    EXPECT_EQ(h.form().statusBar.bar->toolTip(),
              QStringLiteral("Szabad hely a media mappában: kb. 10 óra felvételre elég."));
    EXPECT_TRUE(box().contains(QStringLiteral("Szabad hely a media mappában: kb. ")));
    const auto warnings = [&] {
        return box().count(QStringLiteral("Figyelem: kevés a szabad hely a media mappában"));
    };
    EXPECT_EQ(warnings(), 1);
    // The status icon warns too while nothing records.
    h.statusTick();
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stImage)->toolTip(),
              QStringLiteral("Kevés a szabad hely a media mappában!"));
    for (int minute = 0; minute < 5; ++minute) {
        h.clock.advanceMs(60'000);
        h.window->retention().minuteTick();
        h.settle();
    }
    EXPECT_EQ(warnings(), 1);
    h.clock.advanceMs(24 * 3600 * 1000);
    h.window->retention().minuteTick();
    h.settle();
    EXPECT_EQ(warnings(), 2);

    // Room again: no warning, the tip follows.
    h.storage.free = 100LL * 1000 * 1000 * 1000;
    h.window->retention().minuteTick();
    h.settle();
    EXPECT_FALSE(h.window->state().lowSpace);
    h.statusTick();
    EXPECT_NE(h.form().statusBar.panel(StatusBarWidgets::stImage)->toolTip(),
              QStringLiteral("Kevés a szabad hely a media mappában!"));
}

TEST_F(Retention, ADeletionIsNotedInTheDaysSealSoTheCheckKnowsItWasMeant) {
    keepFor("30");
    const QString old = recordingOf(40);
    touch(old);
    h.start();
    ASSERT_FALSE(QFile::exists(media(old)));
    const QString seal =
        media(QStringLiteral("teszttv-") + h.clock.now().toString(QStringLiteral("yyyyMMdd")) +
              QStringLiteral(".sha256"));
    QElapsedTimer waited;
    waited.start();
    QByteArray text;
    while (!text.contains(old.toUtf8()) && waited.elapsed() < 5000) {
        h.settle();
        QFile file(seal);
        if (file.open(QIODevice::ReadOnly)) text = file.readAll();
    }
    EXPECT_TRUE(
        text.contains("# Törölve " + h.clock.now().toUTC().toString(Qt::ISODateWithMs).toUtf8()))
        << text.constData();
    EXPECT_TRUE(text.contains(": " + old.toUtf8())) << text.constData();
}
