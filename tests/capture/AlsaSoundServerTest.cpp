#include "AlsaLevelCapture.h"
#include "AlsaMixer.h"
#include "AlsaSoundCards.h"
#include "SoundServer.h"
#include "capture/VuMeter.h"
#include "support/FakeCapture.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

// The ALSA layer against the user-space sound server: a real capture device
// and a real mixer (scripts/sound-server.sh starts it; CI always has it).

namespace kelm {
namespace {

using namespace kelm::test;

// The card the sound server's own ALSA plug-in offers.
QString soundServerCard(AlsaSoundCards& cards) {
    for (const QString& card : cards.captureDevices()) {
        const QString pcm = cards.pcmName(card);
        if (pcm == u"pulse" || pcm == u"default") return card;
    }
    return {};
}

class AlsaSoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SoundServer::running()) GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        card = soundServerCard(cards);
        ASSERT_FALSE(card.isEmpty()) << cards.captureDevices().join(u',').toStdString();
        SoundServer::setSourceVolume(65536);
    }
    void TearDown() override { SoundServer::setSourceVolume(65536); }

    // The recording destination's capture volume.
    static std::optional<MixerControl> captureVolume(SoundMixer& mixer) {
        for (int d = 0; d < mixer.destinationCount(); ++d) {
            const auto line = mixer.destination(d);
            if (!line || line->name != u"Capture") continue;
            for (const MixerControl& c :
                 mixer.controls(*line).value_or(std::vector<MixerControl>{})) {
                if (c.shortName == u"Capture Volume") return c;
            }
        }
        return std::nullopt;
    }

    AlsaSoundCards cards;
    QString card;
};

TEST_F(AlsaSoundServer, TheCardListShowsTheSoundServersCaptureDevice) {
    EXPECT_TRUE(cards.captureDevices().contains(card));
}

TEST_F(AlsaSoundServer, MixerPresentsCaptureAsTheSecondDestinationWithItsSourceLine) {
    AlsaMixerDevices mixers(cards);
    auto mixer = mixers.open(card);
    ASSERT_TRUE(mixer);
    ASSERT_EQ(mixer->destinationCount(), 2);
    EXPECT_EQ(mixer->destination(0)->name, QStringLiteral("Playback"));
    const auto capture = mixer->destination(1);
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->name, QStringLiteral("Capture"));
    ASSERT_EQ(capture->connections, 1);
    EXPECT_EQ(mixer->source(1, 0)->name, QStringLiteral("Capture"));
    EXPECT_FALSE(mixer->source(1, 1));
    const auto control = captureVolume(*mixer);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->minimum, 0);
    EXPECT_EQ(control->maximum, 65536);
}

TEST_F(AlsaSoundServer, CaptureVolumeReachesTheSoundServerAndFollowsItsChanges) {
    AlsaMixerDevices mixers(cards);
    auto mixer = mixers.open(card);
    ASSERT_TRUE(mixer);
    const auto control = captureVolume(*mixer);
    ASSERT_TRUE(control);

    ASSERT_TRUE(MixerValues::set(*mixer, *control, 20000));
    EXPECT_EQ(SoundServer::sourceVolume(), 20000);
    EXPECT_FALSE(MixerValues::set(*mixer, *control, 70000)) << "beyond the control's maximum";
    EXPECT_EQ(SoundServer::sourceVolume(), 20000);

    // A change made outside KELM is read back within a second.
    SoundServer::setSourceVolume(32768);
    QElapsedTimer waited;
    waited.start();
    int seen = MixerValues::get(*mixer, *control);
    while (seen != 32768 && waited.elapsed() < 1000) {
        QThread::msleep(20);
        seen = MixerValues::get(*mixer, *control);
    }
    EXPECT_EQ(seen, 32768);
    std::printf("[ figures  ] outside change read back after %lld ms\n",
                static_cast<long long>(waited.elapsed()));
}

TEST_F(AlsaSoundServer, AToneSixDecibelsBelowFullScaleShowsFifty) {
    QTemporaryDir dir;
    auto player = SoundServer::playTone(dir.filePath(QStringLiteral("tone.raw")), 0.5);
    ASSERT_EQ(player->state(), QProcess::Running);
    QtTimerService service;
    XtimerTable timers(service);
    AlsaLevelCapture capture(cards);
    MeterDisplay display;
    VuMeter meter(capture, display, timers);
    ASSERT_TRUE(meter.startVuMeter(card));
    meter.timer().setEnabled(false);  // ticks driven here
    // The card is opened in the background: the two seconds count from its first sound.
    for (int waited = 0; capture.framesDelivered() == 0 && waited < 3000; waited += 10)
        QThread::msleep(10);
    ASSERT_GT(capture.framesDelivered(), 0);
    // Two seconds of ticks: the first buffers may still hold the start of the tone.
    for (int i = 0; i < 50; ++i) {
        QThread::msleep(40);
        ASSERT_EQ(meter.timerTick(), TickResult::Continue);
    }
    EXPECT_GT(display.traces, 20);
    EXPECT_EQ(display.left, 50);
    EXPECT_EQ(display.right, 50);
    std::printf("[ figures  ] -6 dB tone: peaks %d/%d, levels %d/%d\n", meter.peaks().left,
                meter.peaks().right, display.left, display.right);
    meter.stopVuMeter();
    EXPECT_FALSE(capture.isOpen());
    player->kill();
    player->waitForFinished();
}

TEST_F(AlsaSoundServer, AnUnknownCardCannotBeOpened) {
    AlsaLevelCapture capture(cards);
    EXPECT_FALSE(capture.open(QStringLiteral("hw:CARD=NoSuchCard,DEV=0")));
    EXPECT_FALSE(capture.isOpen());
    AlsaMixerDevices mixers(cards);
    EXPECT_FALSE(mixers.open(QStringLiteral("hw:CARD=NoSuchCard,DEV=0")));
}

}  // namespace
}  // namespace kelm
