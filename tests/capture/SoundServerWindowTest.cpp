#include "AlsaLevelCapture.h"
#include "AlsaMixer.h"
#include "AlsaSoundCards.h"
#include "AudioLines.h"
#include "LedMeter.h"
#include "LevelMeters.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "SoundServer.h"
#include "V4l2VideoDevices.h"
#include "app/Harness.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// KELM's main window on the real ALSA layer and the sound server: the card
// list, the meters, and the capture slider in both directions.

namespace kelm {
namespace {

using namespace kelm::test;

class EmptyV4l2 final : public V4l2Io {
public:
    QStringList nodes() override { return {}; }
    int open(const QString&) override { return -1; }
    void close(int) override {}
    int ioctl(int, unsigned long, void*) override { return -1; }
};

void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class SoundServerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SoundServer::running())
            GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        SoundServer::setSourceVolume(65536);
        MainWindowDeps deps;
        deps.programDir = dir.path();
        deps.clock = &clock;
        deps.encoderFactory = &factory;
        deps.videoDevices = &videoDevices;
        deps.soundCards = &cards;
        deps.soundMixers = &mixers;
        deps.levelCapture = &capture;
        deps.messenger = &messenger;
        deps.process = &process;
        window = std::make_unique<MainWindow>(std::move(deps));
        window->start();
        for (const QString& card : cards.captureDevices()) {
            if (cards.pcmName(card) == u"pulse")
                serverCard = card;
        }
        ASSERT_FALSE(serverCard.isEmpty());
        MainForm& f = window->form();
        f.cboAudioSource->setCurrentIndex(f.cboAudioSource->findText(serverCard));
        Q_EMIT f.cboAudioSource->activated(f.cboAudioSource->currentIndex());
    }
    void TearDown() override {
        window.reset();
        SoundServer::setSourceVolume(65536);
    }

    QTemporaryDir dir;
    SystemClock clock;
    FakeEncoderFactory factory{clock};
    EmptyV4l2 v4l2;
    V4l2VideoDevices videoDevices{v4l2};
    AlsaSoundCards cards;
    AlsaMixerDevices mixers{cards};
    AlsaLevelCapture capture{cards};
    ScriptedMessenger messenger;
    FakeProcess process;
    std::unique_ptr<MainWindow> window;
    QString serverCard;
};

TEST_F(SoundServerWindow, TheCaptureSliderAndTheSoundServersVolumeFollowEachOther) {
    MainForm& f = window->form();
    ASSERT_EQ(f.cboDestLine->currentText(), QStringLiteral("Capture"));
    ASSERT_EQ(f.List3->currentItem()->text(), QStringLiteral("Capture Volume"));
    EXPECT_EQ(f.Slider2->maximum(), 65536);
    EXPECT_EQ(f.Slider2->value(), 65536);

    f.Slider2->setValue(30000);  // the operator moves the slider
    EXPECT_EQ(SoundServer::sourceVolume(), 30000);

    SoundServer::setSourceVolume(45000);  // changed outside KELM
    QElapsedTimer waited;
    waited.start();
    while (f.Slider2->value() != 45000 && waited.elapsed() < 2000)
        runFor(10);
    EXPECT_EQ(f.Slider2->value(), 45000);
    EXPECT_LT(waited.elapsed(), 1000);
    std::printf("[ figures  ] slider followed the outside change after %lld ms (status tick 300 ms)\n",
                static_cast<long long>(waited.elapsed()));
    EXPECT_EQ(SoundServer::sourceVolume(), 45000) << "following does not write back another value";
}

TEST_F(SoundServerWindow, ChoosingTheCardStartsTheMetersOnATone) {
    auto player = SoundServer::playTone(dir.filePath(QStringLiteral("tone.raw")), 0.5, 10);
    ASSERT_TRUE(window->levelMeters().isOpen());
    QElapsedTimer waited;
    waited.start();
    LedMeter* meter = window->form().LEDMeter1;
    while ((meter->level(0) != 50 || meter->level(1) != 50) && waited.elapsed() < 5000)
        runFor(20);
    EXPECT_EQ(meter->level(0), 50);
    EXPECT_EQ(meter->level(1), 50);
    player->kill();
    player->waitForFinished();
}

}  // namespace
}  // namespace kelm
