#include "PostHarness.h"

#include <gtest/gtest.h>

using namespace kelm;
using namespace kelm::test;

namespace {

int countOf(const QStringList& lines, const QString& line) {
    return int(lines.count(line));
}

const QString kStarted = QStringLiteral("Timecode generálás...");
const QString kFinished = QStringLiteral("Timecode generálása befejeződött.");

}  // namespace

class SubtitleJobsTest : public ::testing::Test {
protected:
    void SetUp() override {
        p.installTiplon();
        p.writeSettings(p.h.file(QStringLiteral("Media")));
    }
    QString marker(const char* extension) {
        return TimecodeJob::markerBase(p.recording()) + QLatin1String(extension);
    }
    PostHarness p;
};

TEST_F(SubtitleJobsTest, LiveJobStartsThreeSecondsAfterTheStartAndLeavesOnlyTheSubtitleFile) {
    p.start();
    p.record(QStringLiteral("00:00:08"));
    ASSERT_EQ(p.h.encoder().starts, 1);
    EXPECT_TRUE(p.jobs().liveLaunch().isActive());
    EXPECT_EQ(p.jobs().liveLaunch().interval(), 3000);
    EXPECT_TRUE(p.launcher.calls.empty()) << "nothing before the timer's tick";

    p.jobs().launchLive();
    EXPECT_FALSE(p.jobs().liveLaunch().isActive());
    ASSERT_EQ(p.launcher.calls.size(), 1u);
    EXPECT_EQ(p.launcher.calls[0].program, p.h.file(QStringLiteral("tiplon")));
    EXPECT_EQ(p.launcher.calls[0].arguments,
              (QStringList{p.recording(), QStringLiteral("32400"), QStringLiteral("8"),
                           QStringLiteral("2026.12.07."), QStringLiteral("teszttv")}));
    EXPECT_TRUE(p.jobs().liveWatch().isActive());

    p.jobs().watchLive();
    const QStringList lines = messages(p.box());
    EXPECT_EQ(countOf(lines, kStarted), 1);
    EXPECT_EQ(countOf(lines, kFinished), 1);
    EXPECT_LT(lines.indexOf(kStarted), lines.indexOf(kFinished));
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
    EXPECT_FALSE(QFile::exists(marker(".startsub")));
    EXPECT_FALSE(QFile::exists(marker(".stopsub")));
    QFile sub(marker(".sub"));
    ASSERT_TRUE(sub.open(QIODevice::ReadOnly));
    const QByteArray text = sub.readAll();
    EXPECT_EQ(text.count("-->"), 9) << "one entry per second plus one";
    EXPECT_TRUE(text.contains("T: 09:00:00\n")) << "the first entry shows the start time";
}

TEST_F(SubtitleJobsTest, StartMarkerAloneIsLoggedOnceUntilAnotherMessageComesBetween) {
    p.launcher.runTiplon = false;
    p.start();
    p.record(QStringLiteral("00:01:00"));
    p.jobs().launchLive();
    p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kStarted), 0) << "no marker yet";
    p.h.write(QFileInfo(marker(".startsub")).fileName().prepend(QStringLiteral("Media/")),
              QByteArray());
    for (int i = 0; i < 5; ++i) p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kStarted), 1);
    p.h.window->log().logEvent(QStringLiteral("más üzenet"));
    p.jobs().watchLive();
    p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kStarted), 2);
    EXPECT_TRUE(p.jobs().liveWatch().isActive()) << "the watch goes on until the stop marker";

    p.h.write(QFileInfo(marker(".stopsub")).fileName().prepend(QStringLiteral("Media/")),
              QByteArray());
    p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 1);
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
    EXPECT_FALSE(QFile::exists(marker(".startsub")));
    EXPECT_FALSE(QFile::exists(marker(".stopsub")));
}

TEST_F(SubtitleJobsTest, WithTheTimecodeSettingOffTheJobRunsSilentlyAndStillLeavesNoMarker) {
    p.writeSettings(p.h.file(QStringLiteral("Media")), QStringLiteral("/usr/bin/mpv"), 0);
    p.start();
    p.record(QStringLiteral("00:00:05"));
    p.jobs().launchLive();
    ASSERT_EQ(p.launcher.calls.size(), 1u);
    p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kStarted), 0);
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 0);
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
    EXPECT_FALSE(QFile::exists(marker(".startsub")));
    EXPECT_FALSE(QFile::exists(marker(".stopsub")));
    EXPECT_TRUE(QFile::exists(marker(".sub")));
}

TEST_F(SubtitleJobsTest, MissingTiplonIsLoggedAndNothingIsLeftWatching) {
    QFile::remove(p.h.file(QStringLiteral("tiplon")));
    p.start();
    p.record(QStringLiteral("00:00:05"));
    p.jobs().launchLive();
    EXPECT_TRUE(p.launcher.calls.empty());
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) ") +
                                           p.h.file(QStringLiteral("tiplon")) +
                                           QStringLiteral(" program nem található!")));
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
}

TEST_F(SubtitleJobsTest, TiplonThatCannotBeStartedIsLogged) {
    p.launcher.failing = true;
    p.start();
    p.record(QStringLiteral("00:00:05"));
    p.jobs().launchLive();
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) ") +
                                           p.h.file(QStringLiteral("tiplon")) +
                                           QStringLiteral(" program nem indítható!")));
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
}

TEST_F(SubtitleJobsTest, StaleMarkersOfAnEarlierRunDoNotEndTheNewWatch) {
    p.launcher.runTiplon = false;
    p.start();
    p.record(QStringLiteral("00:00:05"));
    // left by a run that was killed before KELM saw its end
    QDir().mkpath(p.h.file(QStringLiteral("Media")));
    QFile(marker(".stopsub")).open(QIODevice::WriteOnly);
    p.jobs().launchLive();
    p.jobs().watchLive();
    EXPECT_TRUE(p.jobs().liveWatch().isActive());
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 0);
}

// Every file's subtitles count from that file's own first second and cover
// only what the file holds.
namespace {

QByteArray subtitleOf(const QString& recording) {
    QFile sub(TimecodeJob::markerBase(recording) + QStringLiteral(".sub"));
    return sub.open(QIODevice::ReadOnly) ? sub.readAll() : QByteArray();
}

QString firstTimecode(const QByteArray& sub) {
    const qsizetype at = sub.indexOf("T: ");
    return at < 0 ? QString() : QString::fromLatin1(sub.mid(at + 3, 8));
}

}  // namespace

TEST_F(SubtitleJobsTest, ResumedFileCountsFromItsOwnFirstSecondAndTheBrokenFileIsCutToItsLength) {
    p.start();
    p.record(QStringLiteral("00:00:20"));  // 09:00:00 to 09:00:20
    const QString first = p.recording();
    p.jobs().launchLive();
    p.jobs().watchLive();
    ASSERT_EQ(p.launcher.calls.size(), 1u);
    EXPECT_EQ(p.launcher.calls[0].arguments.mid(1, 2),
              (QStringList{QStringLiteral("32400"), QStringLiteral("20")}));

    p.h.run(5000);
    p.h.encoder().fail(EncoderStatus::failure(EncoderErrorCode::SoundCard, QStringLiteral("gone")));
    p.h.run(1400);  // broken off at 09:00:05, going on at about 09:00:06
    const QString second = p.recording();
    ASSERT_NE(second, first);
    EXPECT_TRUE(second.contains(QStringLiteral("-090006-"))) << second.toStdString();

    p.jobs().launchLive();
    p.jobs().watchLive();
    ASSERT_EQ(p.launcher.calls.size(), 3u) << "the broken file again, the new file once";
    const QByteArray firstSub = subtitleOf(first);
    EXPECT_EQ(firstTimecode(firstSub), QStringLiteral("09:00:00"));
    EXPECT_EQ(firstSub.count("-->"), 6) << "5 s held: seconds 0 to 5";
    const QByteArray secondSub = subtitleOf(second);
    EXPECT_EQ(firstTimecode(secondSub), QStringLiteral("09:00:06"));
    const int plannedSeconds = int((p.h.encoder().durationLimitMs() + 500) / 1000);
    EXPECT_EQ(secondSub.count("-->"), plannedSeconds + 1);
    EXPECT_LE(plannedSeconds, 14) << "it ends when the recording was planned to";
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 3) << "each run, the remade one too";
    EXPECT_FALSE(QFile::exists(TimecodeJob::stopMarker(first)));
    EXPECT_FALSE(QFile::exists(TimecodeJob::stopMarker(second)));
}

TEST_F(SubtitleJobsTest, FileStoppedWhileItsJobRunsIsRemadeOnceThatJobHasFinished) {
    p.launcher.runTiplon = false;  // the first run is still writing when the stop comes
    p.start();
    p.record(QStringLiteral("00:01:00"));
    const QString file = p.recording();
    p.jobs().launchLive();
    p.h.run(10000);
    p.h.window->recordingControl().toggleRecording();  // the operator stops at 10 s
    ASSERT_EQ(p.h.encoder().runState(), RunState::Stopped);
    EXPECT_EQ(p.launcher.calls.size(), 1u) << "never two writers on one subtitle file";

    p.launcher.runTiplon = true;
    QProcess::execute(p.h.file(QStringLiteral("tiplon")), p.launcher.calls[0].arguments);
    p.jobs().watchLive();
    ASSERT_EQ(p.launcher.calls.size(), 2u);
    EXPECT_EQ(p.launcher.calls[1].arguments.at(2), QStringLiteral("10"));
    p.jobs().watchLive();
    EXPECT_EQ(subtitleOf(file).count("-->"), 11);
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 1) << "reported when the file's job is done";
    EXPECT_FALSE(p.jobs().liveWatch().isActive());
}

TEST_F(SubtitleJobsTest, FileShorterThanThreeSecondsGetsItsJobAtItsEnd) {
    p.start();
    p.record(QStringLiteral("00:00:30"));
    const QString file = p.recording();
    p.h.run(2000);
    p.h.window->recordingControl().toggleRecording();
    p.jobs().launchLive();  // the 3-s tick comes after the stop
    ASSERT_EQ(p.launcher.calls.size(), 1u);
    EXPECT_EQ(p.launcher.calls[0].arguments.at(2), QStringLiteral("2"));
    p.jobs().watchLive();
    EXPECT_EQ(subtitleOf(file).count("-->"), 3);
}

TEST_F(SubtitleJobsTest, ClosingKelmDuringARecordingLeavesSubtitlesForWhatTheFileHolds) {
    p.start();
    p.record(QStringLiteral("00:01:00"));
    const QString file = p.recording();
    p.jobs().launchLive();
    p.jobs().watchLive();
    p.h.run(7000);
    ASSERT_TRUE(p.h.window->close());  // the exit is confirmed with the default answer
    ASSERT_TRUE(p.h.process.ended());
    EXPECT_EQ(subtitleOf(file).count("-->"), 8) << "7 s held: seconds 0 to 7";
    EXPECT_FALSE(QFile::exists(TimecodeJob::startMarker(file)));
    EXPECT_FALSE(QFile::exists(TimecodeJob::stopMarker(file)));
}
