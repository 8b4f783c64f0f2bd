#include "ManualTimerService.h"
#include "capture/VuMeter.h"
#include "support/FakeCapture.h"

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::FakeLevelCapture;
using test::ManualTimerService;
using test::MeterDisplay;

TEST(LevelAnalysis, TheDivisorMakesFullScaleOneHundred) {
    EXPECT_EQ(LevelAnalysis::levelPercent(32767), 100);
    EXPECT_EQ(LevelAnalysis::levelPercent(32768), 100);
    EXPECT_EQ(LevelAnalysis::levelPercent(16339), 50) << "half of 32678";
    EXPECT_EQ(LevelAnalysis::levelPercent(16338), 49);
    EXPECT_EQ(LevelAnalysis::levelPercent(0), 0);
}

CaptureBuffer filled(std::int16_t left, std::int16_t right) {
    CaptureBuffer b;
    for (int i = 0; i < CaptureBuffer::kFrames; ++i) {
        b.samples[size_t(i) * 2] = left;
        b.samples[size_t(i) * 2 + 1] = right;
    }
    return b;
}

TEST(LevelAnalysis, SilenceGivesFlatTracesOnTheMiddleLine) {
    WaveTrace l;
    WaveTrace r;
    const Peaks p = LevelAnalysis::analyse(filled(0, 0), 44, l, r);
    EXPECT_EQ(p.left, 0);
    EXPECT_EQ(p.right, 0);
    ASSERT_EQ(WaveTrace::kPoints, 205);
    for (const QPoint& point : l.points) EXPECT_EQ(point.y(), 22);
    EXPECT_EQ(l.points.front().x(), 0);
    EXPECT_EQ(l.points.back().x(), 3060 / 8);
}

TEST(LevelAnalysis, TracesSwingAtMostTwentyOnePixelsAroundTheMiddle) {
    CaptureBuffer b;
    for (int i = 0; i < CaptureBuffer::kFrames; ++i) {
        b.samples[size_t(i) * 2] = (i / 15) % 2 ? -32768 : 32767;
        b.samples[size_t(i) * 2 + 1] = -1499;  // truncated toward zero: no swing
    }
    WaveTrace l;
    WaveTrace r;
    const Peaks p = LevelAnalysis::analyse(b, 44, l, r);
    EXPECT_EQ(p.left, 32768) << "|-32768| is 32768";
    EXPECT_EQ(p.right, 1499);
    EXPECT_EQ(l.points[0].y(), 43);
    EXPECT_EQ(l.points[1].y(), 1);
    EXPECT_EQ(r.points[7].y(), 22);
    WaveTrace odd;
    LevelAnalysis::analyse(filled(0, 0), 45, odd, r);
    EXPECT_EQ(odd.points[0].y(), 22) << "a picture 45 high has its middle at 22";
}

TEST(LevelAnalysis, PeaksCoverFramesBeyondTheDrawnPoints) {
    CaptureBuffer b = filled(0, 0);
    b.samples[3071 * 2] = 20000;  // the last frame, never a trace point
    WaveTrace l;
    WaveTrace r;
    EXPECT_EQ(LevelAnalysis::analyse(b, 44, l, r).left, 20000);
}

struct Meter {
    ManualTimerService service;
    XtimerTable table{service};
    FakeLevelCapture capture;
    MeterDisplay display;
    VuMeter meter{capture, display, table};

    void square() {
        capture.sample = [](std::int64_t i) {
            const std::int16_t v = (i / 50) % 2 ? -32767 : 32767;
            return std::pair<std::int16_t, std::int16_t>{v, v};
        };
    }
};

TEST(VuMeter, StartsOnlyWithAnOpenedCardAndTicksEveryFortyMilliseconds) {
    Meter m;
    m.capture.refuse << QStringLiteral("busy");
    EXPECT_FALSE(m.meter.startVuMeter(QStringLiteral("busy")));
    EXPECT_TRUE(m.service.running.empty()) << "the meters stay still";
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("card")));
    ASSERT_EQ(m.service.running.size(), 1u);
    EXPECT_EQ(m.service.running.begin()->second, 40);
    EXPECT_EQ(m.capture.added, 0) << "the first tick hands the buffers over";
    m.service.tick(m.meter.timer().timerId());
    EXPECT_EQ(m.capture.queued(), 30);
    m.meter.stopVuMeter();
    EXPECT_TRUE(m.service.running.empty());
    EXPECT_FALSE(m.capture.isOpen());
}

TEST(VuMeter, AFullScaleSquareWaveShowsOneHundredOnBothMeters) {
    Meter m;
    m.square();
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("card")));
    m.meter.timerTick();
    m.capture.pendingFrames = 2 * CaptureBuffer::kFrames + 100;
    m.meter.timerTick();
    EXPECT_EQ(m.display.traces, 2) << "every finished buffer is analysed";
    EXPECT_EQ(m.display.left, 100);
    EXPECT_EQ(m.display.right, 100);
    EXPECT_EQ(m.meter.currentBuffer(), 2);
    EXPECT_EQ(m.capture.queued(), 30) << "the two consumed buffers went back to the device";
}

TEST(VuMeter, ATickWithNoFinishedBufferChangesNothing) {
    Meter m;
    m.square();
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("card")));
    m.meter.timerTick();
    m.capture.pendingFrames = CaptureBuffer::kFrames;
    m.meter.timerTick();
    ASSERT_EQ(m.display.traces, 1);
    const int added = m.capture.added;
    m.capture.sample = [](std::int64_t) { return std::pair<std::int16_t, std::int16_t>{0, 0}; };
    m.capture.pendingFrames = CaptureBuffer::kFrames - 1;  // the next buffer is not full yet
    m.meter.timerTick();
    EXPECT_EQ(m.display.traces, 1);
    EXPECT_EQ(m.display.left, 100) << "the meters keep the last peaks";
    EXPECT_EQ(m.capture.added, added) << "nothing is queued twice";
}

TEST(VuMeter, BuffersQueuedOnTheOldCardAreConsumedOnceThenQueuedOnTheNew) {
    Meter m;
    m.square();
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("old")));
    m.meter.timerTick();
    m.capture.deliver(100);  // the first buffer is partly filled
    m.meter.stopVuMeter();   // every queued buffer comes back marked done
    m.capture.sample = [](std::int64_t) { return std::pair<std::int16_t, std::int16_t>{0, 0}; };
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("new")));
    const int added = m.capture.added;
    m.meter.timerTick();
    EXPECT_EQ(m.display.traces, 30) << "each stale buffer analysed once";
    EXPECT_EQ(m.display.left, 0) << "the last stale buffer held silence";
    EXPECT_EQ(m.capture.added - added, 30) << "then all of them queued on the new card";
    EXPECT_EQ(m.capture.card(), QStringLiteral("new"));
    m.meter.timerTick();
    EXPECT_EQ(m.display.traces, 30);
}

TEST(VuMeter, ALostDeviceStopsTheTimerUntilTheNextStart) {
    Meter m;
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("card")));
    const std::uint32_t id = m.meter.timer().timerId();
    m.capture.lost = true;
    m.service.tick(id);
    EXPECT_FALSE(m.service.running.count(id));
    m.capture.lost = false;
    m.meter.stopVuMeter();
    ASSERT_TRUE(m.meter.startVuMeter(QStringLiteral("card")));
    EXPECT_EQ(m.service.running.size(), 1u);
}

TEST(VuMeter, AMeterGoingAwayTakesItsBuffersBackFromTheDevice) {
    ManualTimerService service;
    XtimerTable table{service};
    FakeLevelCapture capture;
    MeterDisplay display;
    {
        VuMeter meter(capture, display, table);
        ASSERT_TRUE(meter.startVuMeter(QStringLiteral("card")));
        meter.timerTick();
        ASSERT_EQ(capture.queued(), 30);
    }
    EXPECT_FALSE(capture.isOpen());
    EXPECT_EQ(capture.queued(), 0) << "the device holds no buffer of a meter that is gone";
    EXPECT_TRUE(service.running.empty());
}

}  // namespace
}  // namespace kelm
