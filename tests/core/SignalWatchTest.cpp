#include "capture/PictureWatch.h"
#include "capture/SilenceWatch.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kelm;

namespace {

SoundLevels levels(double left, double right) {
    SoundLevels l;
    l.rmsDb = {left, right};
    return l;
}
const SoundLevels kSilence = levels(-90, -90);
const SoundLevels kTone = levels(-12, -12);

PictureMeasures picture(double meanLuma, double changedShare) {
    PictureMeasures m;
    m.meanLuma = meanLuma;
    m.changedShare = changedShare;
    m.pictures = 5;
    return m;
}
const PictureMeasures kMoving = picture(110, 0.2);
const PictureMeasures kStill = picture(110, 0.001);
const PictureMeasures kBlack = picture(16.5, 0.0);

class SignalWatchTest : public ::testing::Test {
protected:
    ManualClock clock{QDateTime(QDate(2006, 5, 12), QTime(9, 5, 3))};

    // Feeds `sound` every 100 ms for `ms`, the first one now; the events in order.
    std::vector<SignalAlarmEvent> feed(SilenceWatch& watch, const SoundLevels& sound, int ms) {
        std::vector<SignalAlarmEvent> events;
        for (int t = 0; t < ms; t += 100) {
            if (auto e = watch.observe(sound)) events.push_back(*e);
            clock.advanceMs(100);
        }
        return events;
    }
    std::vector<SignalAlarmEvent> feed(PictureWatch& watch, const PictureMeasures& m, int ms) {
        std::vector<SignalAlarmEvent> events;
        for (int t = 0; t < ms; t += 200) {
            for (const auto& e : watch.observe(m)) events.push_back(e);
            clock.advanceMs(200);
        }
        return events;
    }
};

}  // namespace

// Silence ---------------------------------------------------------------

TEST_F(SignalWatchTest, SilenceOfExactlyFiveSecondsRaisesNothingAndMoreDoes) {
    SilenceWatch watch(clock);
    ASSERT_FALSE(watch.observe(kSilence));  // 09:05:03.000
    clock.advanceMs(5000);
    EXPECT_FALSE(watch.observe(kSilence)) << "held exactly 5 s is not more than 5 s";
    clock.advanceMs(1);
    const auto began = watch.observe(kSilence);
    ASSERT_TRUE(began);
    EXPECT_EQ(began->kind, SignalAlarmEvent::Kind::Began);
    EXPECT_EQ(began->message(), QStringLiteral("Jelhiba: csend 09:05:03 óta."));
    EXPECT_TRUE(watch.alarmed());
    EXPECT_FALSE(watch.observe(kSilence)) << "an alarm begins once";
}

TEST_F(SignalWatchTest, SilenceEndsAtTheFirstSoundWithItsSpanInWholeSeconds) {
    SilenceWatch watch(clock);
    const auto during = feed(watch, kSilence, 9000);  // 09:05:03 to 09:05:12
    ASSERT_EQ(during.size(), 1u);
    const auto ended = watch.observe(kTone);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->kind, SignalAlarmEvent::Kind::Ended);
    EXPECT_EQ(ended->heldMs, 9000);
    EXPECT_EQ(ended->message(),
              QStringLiteral("Jelhiba vége: csend, 09:05:03\u201309:05:12 (9 mp)."));
    EXPECT_FALSE(watch.alarmed());
}

TEST_F(SignalWatchTest, LevelExactlyAtTheLimitIsSoundNotSilence) {
    SilenceWatch watch(clock);
    EXPECT_TRUE(feed(watch, levels(-50.0, -50.0), 8000).empty());
    EXPECT_TRUE(feed(watch, levels(-50.01, -50.01), 5000).empty());
    clock.advanceMs(1);
    EXPECT_TRUE(watch.observe(levels(-50.01, -50.01)));
}

TEST_F(SignalWatchTest, OneChannelWithSoundIsNoSilence) {
    SilenceWatch watch(clock);
    EXPECT_TRUE(feed(watch, levels(-120, -30), 10000).empty());
    EXPECT_TRUE(feed(watch, levels(-30, -700), 10000).empty());
}

TEST_F(SignalWatchTest, FlickerAroundTheLimitNeverHoldsLongEnough) {
    SilenceWatch watch(clock);
    std::vector<SignalAlarmEvent> events;
    for (int i = 0; i < 300; ++i) {  // 30 s of -50.5 and -49.5 dBFS in turn
        if (auto e = watch.observe(i % 2 ? levels(-49.5, -49.5) : levels(-50.5, -50.5)))
            events.push_back(*e);
        clock.advanceMs(100);
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(SignalWatchTest, PausesShorterThanFiveSecondsRaiseNothing) {
    SilenceWatch watch(clock);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(feed(watch, kTone, 1000).empty());
        EXPECT_TRUE(feed(watch, kSilence, 4900).empty()) << "pause " << i;
    }
}

TEST_F(SignalWatchTest, ALevelReadingWithoutChannelsNeitherBreaksNorExtendsSilence) {
    SilenceWatch watch(clock);
    feed(watch, kSilence, 3000);
    EXPECT_FALSE(watch.observe(SoundLevels{}));
    clock.advanceMs(2500);
    EXPECT_TRUE(watch.observe(kSilence)) << "the silence counts from its first reading";
}

TEST_F(SignalWatchTest, RecordingEndingDuringSilenceEndsTheAlarmThen) {
    SilenceWatch watch(clock);
    feed(watch, kSilence, 7000);
    clock.advanceMs(450);  // the recording ends after the last reading
    const auto ended = watch.recordingEnded();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->heldMs, 7450);
    EXPECT_EQ(ended->message(),
              QStringLiteral("Jelhiba vége: csend, 09:05:03\u201309:05:10 (7 mp)."));
    EXPECT_FALSE(watch.recordingEnded()) << "ended once";
}

TEST_F(SignalWatchTest, RecordingEndingBeforeTheThresholdLeavesNoTrace) {
    SilenceWatch watch(clock);
    feed(watch, kSilence, 4000);
    EXPECT_FALSE(watch.recordingEnded());
    // The next recording's silence counts from its own start.
    EXPECT_TRUE(feed(watch, kSilence, 2000).empty());
}

TEST_F(SignalWatchTest, WallClockStepNeitherRaisesNorStretchesTheAlarm) {
    SilenceWatch watch(clock);
    feed(watch, kSilence, 2000);
    clock.jumpTo(clock.now().addSecs(3600));  // stepped an hour on, no time passed
    EXPECT_FALSE(watch.observe(kSilence));
    const auto events = feed(watch, kSilence, 7000);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events.front().message(), QStringLiteral("Jelhiba: csend 09:05:03 óta."));
    clock.jumpTo(clock.now().addSecs(-7200));  // and two hours back
    const auto ended = watch.observe(kTone);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->heldMs, 9000);
    EXPECT_EQ(ended->message(),
              QStringLiteral("Jelhiba vége: csend, 09:05:03\u201308:05:12 (9 mp)."));
}

TEST_F(SignalWatchTest, SilenceAcrossMidnightNamesBothDaysTimes) {
    clock.set(QDateTime(QDate(2006, 5, 12), QTime(23, 59, 58)));
    SilenceWatch watch(clock);
    feed(watch, kSilence, 9400);
    const auto ended = watch.observe(kTone);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->message(),
              QStringLiteral("Jelhiba vége: csend, 23:59:58\u201300:00:07 (9 mp)."));
}

// Picture ---------------------------------------------------------------

TEST_F(SignalWatchTest, BlackPictureAfterMoreThanTenSeconds) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    ASSERT_TRUE(watch.observe(kBlack).empty());
    clock.advanceMs(10000);
    EXPECT_TRUE(watch.observe(kBlack).empty());
    clock.advanceMs(1);
    const auto began = watch.observe(kBlack);
    ASSERT_EQ(began.size(), 1u) << "black only, not frozen as well";
    EXPECT_EQ(began.front().message(), QStringLiteral("Jelhiba: fekete kép 09:05:03 óta."));
    clock.advanceMs(1999);
    const auto ended = watch.observe(kMoving);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended.front().message(),
              QStringLiteral("Jelhiba vége: fekete kép, 09:05:03\u201309:05:15 (12 mp)."));
}

TEST_F(SignalWatchTest, BlackLimitIsInclusiveAndADarkSceneIsNotBlack) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    EXPECT_TRUE(feed(watch, picture(24.5, 0.3), 15000).empty());
    EXPECT_EQ(feed(watch, picture(24.0, 0.3), 12000).size(), 1u);
    EXPECT_TRUE(watch.blackAlarmed());
}

TEST_F(SignalWatchTest, FrozenPictureIsRaisedAndEndsWithMotion) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    const auto began = feed(watch, kStill, 10400);
    ASSERT_EQ(began.size(), 1u);
    EXPECT_EQ(began.front().message(), QStringLiteral("Jelhiba: állókép 09:05:03 óta."));
    EXPECT_FALSE(watch.blackAlarmed());
    const auto ended = watch.observe(kMoving);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended.front().alarm, SignalAlarm::FrozenPicture);
    EXPECT_EQ(ended.front().kind, SignalAlarmEvent::Kind::Ended);
}

TEST_F(SignalWatchTest, FewChangedBlocksAreStillAndAFewMoreAreMotion) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    // 3 of 768 blocks: noise sparkles; 4 of 768: something moves.
    EXPECT_TRUE(feed(watch, picture(110, 4.0 / 768), 20000).empty());
    EXPECT_EQ(feed(watch, picture(110, 3.0 / 768), 10400).size(), 1u);
}

TEST_F(SignalWatchTest, OneMovingIntervalStartsTheFrozenCountAgain) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(feed(watch, kStill, 9800).empty());
        EXPECT_TRUE(feed(watch, kMoving, 200).empty());
    }
}

TEST_F(SignalWatchTest, PictureFileIsNotWatchedForStillnessButForBlack) {
    PictureWatch watch(clock, PictureWatch::Stillness::ByDesign);
    EXPECT_TRUE(feed(watch, kStill, 60000).empty());
    EXPECT_EQ(feed(watch, kBlack, 10400).size(), 1u);
}

TEST_F(SignalWatchTest, BlackTurningIntoAStillPictureHandsOverBetweenTheAlarms) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    ASSERT_EQ(feed(watch, kBlack, 10400).size(), 1u);
    const auto handover = watch.observe(kStill);
    ASSERT_EQ(handover.size(), 1u);
    EXPECT_EQ(handover.front().alarm, SignalAlarm::BlackPicture);
    EXPECT_EQ(handover.front().kind, SignalAlarmEvent::Kind::Ended);
    const auto frozen = feed(watch, kStill, 10400);
    ASSERT_EQ(frozen.size(), 1u);
    EXPECT_EQ(frozen.front().alarm, SignalAlarm::FrozenPicture);
}

TEST_F(SignalWatchTest, RecordingEndEndsEveryRunningPictureAlarm) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    feed(watch, kStill, 10400);
    const auto ended = watch.recordingEnded();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended.front().alarm, SignalAlarm::FrozenPicture);
    EXPECT_TRUE(watch.recordingEnded().empty());
}

TEST_F(SignalWatchTest, AnIntervalWithoutPicturesChangesNothing) {
    PictureWatch watch(clock, PictureWatch::Stillness::Watched);
    feed(watch, kBlack, 6000);
    PictureMeasures empty;  // no picture: its defaults must not read as motion
    EXPECT_TRUE(watch.observe(empty).empty());
    clock.advanceMs(4200);
    EXPECT_EQ(watch.observe(kBlack).size(), 1u);
}
