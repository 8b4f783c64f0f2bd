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
#include "capture/VuMeter.h"
#include "support/FakeCapture.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <signal.h>

#include <chrono>
#include <thread>

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
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class SoundServerWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SoundServer::running()) GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        SoundServer::setSourceVolume(65536);
        window = std::make_unique<MainWindow>(testWindowDeps(
            dir.path(),
            {&clock, &factory, &videoDevices, &cards, &mixers, &capture, &messenger, &process},
            system));
        window->start();
        for (const QString& card : cards.captureDevices()) {
            if (cards.pcmName(card) == u"pulse") serverCard = card;
        }
        ASSERT_FALSE(serverCard.isEmpty());
        MainForm& f = window->form();
        f.sources.audioSource->setCurrentIndex(f.sources.audioSource->findText(serverCard));
        Q_EMIT f.sources.audioSource->activated(f.sources.audioSource->currentIndex());
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
    SystemParts system;
    std::unique_ptr<MainWindow> window;
    QString serverCard;
};

TEST_F(SoundServerWindow, TheCaptureSliderAndTheSoundServersVolumeFollowEachOther) {
    MainForm& f = window->form();
    ASSERT_EQ(f.mixerLines.destinationLine->currentText(), QStringLiteral("Capture"));
    ASSERT_EQ(f.mixerLines.destinationLines->currentItem()->text(),
              QStringLiteral("Capture Volume"));
    EXPECT_EQ(f.mixerLines.destinationVolume->maximum(), 65536);
    EXPECT_EQ(f.mixerLines.destinationVolume->value(), 65536);

    f.mixerLines.destinationVolume->setValue(30000);  // the operator moves the slider
    EXPECT_EQ(SoundServer::sourceVolume(), 30000);

    SoundServer::setSourceVolume(45000);  // changed outside KELM
    QElapsedTimer waited;
    waited.start();
    while (f.mixerLines.destinationVolume->value() != 45000 && waited.elapsed() < 2000) runFor(10);
    EXPECT_EQ(f.mixerLines.destinationVolume->value(), 45000);
    EXPECT_LT(waited.elapsed(), 1000);
    std::printf(
        "[ figures  ] slider followed the outside change after %lld ms (status tick 300 ms)\n",
        static_cast<long long>(waited.elapsed()));
    EXPECT_EQ(SoundServer::sourceVolume(), 45000) << "following does not write back another value";
}

TEST_F(SoundServerWindow, ChoosingTheCardStartsTheMetersOnATone) {
    auto player = SoundServer::playTone(dir.filePath(QStringLiteral("tone.raw")), 0.5, 10);
    ASSERT_TRUE(window->levelMeters().isOpen());
    QElapsedTimer waited;
    waited.start();
    LedMeter* meter = window->form().levels.meter;
    while ((meter->level(0) != 50 || meter->level(1) != 50) && waited.elapsed() < 5000) runFor(20);
    EXPECT_EQ(meter->level(0), 50);
    EXPECT_EQ(meter->level(1), 50);
    player->kill();
    player->waitForFinished();
}

// The server's process, from the pid file it keeps in the runtime folder.
pid_t soundServerPid() {
    QFile pidFile(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return 0;
    return pid_t(pidFile.readAll().trimmed().toInt());
}

TEST(SoundServerMeters, AStoppedSoundServerNeverHoldsTheWindowsThread) {
    if (!SoundServer::running()) GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
    const pid_t server = soundServerPid();
    ASSERT_GT(server, 0);
    QTemporaryDir dir;
    auto player = SoundServer::playTone(dir.filePath(QStringLiteral("tone.raw")), 0.5, 15);
    AlsaSoundCards cards;
    cards.captureDevices();
    QtTimerService service;
    XtimerTable timers(service);
    AlsaLevelCapture capture(cards);
    MeterDisplay display;
    VuMeter meter(capture, display, timers);

    qint64 longestGapMs = 0;
    QElapsedTimer sinceBeat;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceBeat.restart()); });
    // Resumed from another thread after 3 s, so a start that waits for the
    // server fails the test instead of hanging it.
    ::kill(server, SIGSTOP);
    std::thread resumer([server] {
        std::this_thread::sleep_for(std::chrono::milliseconds(3000));
        ::kill(server, SIGCONT);
    });
    QElapsedTimer call;
    call.start();
    const bool started = meter.startVuMeter(QStringLiteral("pulse"));
    const qint64 startMs = call.elapsed();
    sinceBeat.start();
    beat.start(10);
    runFor(3000);  // the meters tick on the event loop, the server does not answer
    const int levelWhileStopped = display.left;
    const qint64 gapWhileStoppedMs = longestGapMs;
    resumer.join();
    QElapsedTimer waited;
    waited.start();
    while ((display.left != 50 || display.right != 50) && waited.elapsed() < 5000) runFor(20);
    beat.stop();
    call.restart();
    meter.stopVuMeter();
    const qint64 stopMs = call.elapsed();

    EXPECT_TRUE(started);
    EXPECT_LT(startMs, 20);
    EXPECT_LT(gapWhileStoppedMs, 100);
    EXPECT_EQ(levelWhileStopped, 0);
    EXPECT_EQ(display.left, 50) << "the meters come up once the server answers";
    EXPECT_LT(stopMs, 20);
    std::printf(
        "[ figures  ] server stopped 3 s: start %lld ms, longest event-loop gap %lld ms; "
        "meters at 50 %lld ms after it resumed; stop %lld ms\n",
        static_cast<long long>(startMs), static_cast<long long>(gapWhileStoppedMs),
        static_cast<long long>(waited.elapsed()), static_cast<long long>(stopMs));
    player->kill();
    player->waitForFinished();
}

}  // namespace
}  // namespace kelm
