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
    EXPECT_TRUE(p.form().preStartSub->isActive());
    EXPECT_EQ(p.form().preStartSub->interval(), 3000);
    EXPECT_TRUE(p.launcher.calls.empty()) << "nothing before the timer's tick";

    p.jobs().launchLive();
    EXPECT_FALSE(p.form().preStartSub->isActive());
    ASSERT_EQ(p.launcher.calls.size(), 1u);
    EXPECT_EQ(p.launcher.calls[0].program, p.h.file(QStringLiteral("tiplon")));
    EXPECT_EQ(p.launcher.calls[0].arguments,
              (QStringList{p.recording(), QStringLiteral("32400"), QStringLiteral("8"),
                           QStringLiteral("2026.12.07."), QStringLiteral("teszttv")}));
    EXPECT_TRUE(p.form().startSub->isActive());

    p.jobs().watchLive();
    const QStringList lines = messages(p.box());
    EXPECT_EQ(countOf(lines, kStarted), 1);
    EXPECT_EQ(countOf(lines, kFinished), 1);
    EXPECT_LT(lines.indexOf(kStarted), lines.indexOf(kFinished));
    EXPECT_FALSE(p.form().startSub->isActive());
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
    EXPECT_TRUE(p.form().startSub->isActive()) << "the watch goes on until the stop marker";

    p.h.write(QFileInfo(marker(".stopsub")).fileName().prepend(QStringLiteral("Media/")),
              QByteArray());
    p.jobs().watchLive();
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 1);
    EXPECT_FALSE(p.form().startSub->isActive());
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
    EXPECT_FALSE(p.form().startSub->isActive());
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
    EXPECT_FALSE(p.form().startSub->isActive());
}

TEST_F(SubtitleJobsTest, TiplonThatCannotBeStartedIsLogged) {
    p.launcher.failing = true;
    p.start();
    p.record(QStringLiteral("00:00:05"));
    p.jobs().launchLive();
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) ") +
                                           p.h.file(QStringLiteral("tiplon")) +
                                           QStringLiteral(" program nem indítható!")));
    EXPECT_FALSE(p.form().startSub->isActive());
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
    EXPECT_TRUE(p.form().startSub->isActive());
    EXPECT_EQ(countOf(messages(p.box()), kFinished), 0);
}
