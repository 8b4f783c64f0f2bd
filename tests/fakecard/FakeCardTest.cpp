#include "AlsaLevelCapture.h"
#include "AlsaSoundCards.h"
#include "EngineFactory.h"
#include "RecordingEngine.h"
#include "SourceResolver.h"
#include "capture/SoundCardSharing.h"
#include "capture/VuMeter.h"
#include "encoder/EncoderProfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

// The level meters and the recording engine on a sound card that, like a
// card's own capture device, takes one opener and refuses the next (EBUSY):
// the fake card of tests/fakecard, loaded into ALSA by a test configuration.

namespace kelm {
namespace {

// Before any ALSA call of this process: the fake cards join the system's
// own configuration.
const bool kFakeCardsConfigured = [] {
    setenv("ALSA_CONFIG_PATH", KELM_FAKECARD_CONFIG, 1);
    return true;
}();

const QString kCard = QStringLiteral("kelmfake");

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Opens the card as another program would: 0 or the negative error.
int openElsewhere(const QString& pcm, snd_pcm_t** handle) {
    return snd_pcm_open(handle, pcm.toUtf8().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
}

bool busyForOthers(const QString& pcm) {
    snd_pcm_t* other = nullptr;
    const int rc = openElsewhere(pcm, &other);
    if (rc == 0) snd_pcm_close(other);
    return rc == -EBUSY;
}

class Levels final : public LevelDisplay {
public:
    int scopeHeight() const override { return 44; }
    void showLevels(int l, int r) override {
        left = l;
        right = r;
    }
    void showTraces(const WaveTrace&, const WaveTrace&) override { ++traces; }
    int left = 0;
    int right = 0;
    int traces = 0;
};

// The meters as the main window runs them: the 40 ms timer on the event loop.
struct Meters {
    explicit Meters(std::shared_ptr<SoundCardSharing> sharing = nullptr)
        : capture(cards, std::move(sharing)) {}
    bool showFifty() const { return display.left == 50 && display.right == 50; }

    AlsaSoundCards cards;
    QtTimerService service;
    XtimerTable timers{service};
    Levels display;
    AlsaLevelCapture capture;
    VuMeter meter{capture, display, timers};
};

// The capture's messages, from whichever thread logs them.
struct CaptureLog {
    static std::mutex mutex;
    static QStringList lines;
    static void handler(QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (!context.category || QLatin1StringView(context.category) != u"kelm.capture") return;
        std::lock_guard lock(mutex);
        lines << text;
    }
    static int count(const QString& part) {
        std::lock_guard lock(mutex);
        return int(lines.filter(part).size());
    }
    CaptureLog() {
        std::lock_guard lock(mutex);
        lines.clear();
        m_previous = qInstallMessageHandler(&handler);
    }
    ~CaptureLog() { qInstallMessageHandler(m_previous); }

private:
    QtMessageHandler m_previous = nullptr;
};
std::mutex CaptureLog::mutex;
QStringList CaptureLog::lines;

std::unique_ptr<RecordingEngine> makeEngine(std::shared_ptr<SoundCardSharing> sharing,
                                            const QString& file) {
    EngineOptions options;
    options.soundCardSharing = std::move(sharing);
    EncoderStatus status;
    auto engine = createRecordingEngine(options, &status);
    if (!engine) return nullptr;
    engine->setVideoInput(QStringLiteral("TEST://ball"));
    engine->setAudioInput(QStringLiteral("Device://") + kCard);
    engine->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    engine->setOutputFileName(file);
    return engine;
}

TEST(FakeSoundCard, RefusesASecondOpenerUntilTheFirstCloses) {
    snd_pcm_t* first = nullptr;
    ASSERT_EQ(openElsewhere(kCard, &first), 0) << "the fake card is not loaded";
    snd_pcm_t* second = nullptr;
    EXPECT_EQ(openElsewhere(kCard, &second), -EBUSY);
    snd_pcm_close(first);
    ASSERT_EQ(openElsewhere(kCard, &second), 0);
    snd_pcm_close(second);
}

TEST(FakeSoundCard, MetersThatKeepTheCardOpenLockTheRecordingOut) {
    // What one opener per card prevents: the meters capture the card on
    // their own and the recording engine is not told.
    QTemporaryDir dir;
    Meters meters;
    ASSERT_TRUE(meters.meter.startVuMeter(kCard));
    ASSERT_TRUE(waitFor([&] { return meters.showFifty(); }, 3000));
    auto engine = makeEngine(nullptr, dir.filePath(QStringLiteral("locked-out.wmv")));
    ASSERT_TRUE(engine);
    const EncoderStatus started = engine->start();
    EXPECT_EQ(started.code, EncoderErrorCode::SoundCard) << started.description.toStdString();
    EXPECT_TRUE(started.description.contains(QStringLiteral("busy"), Qt::CaseInsensitive))
        << started.description.toStdString();
}

TEST(FakeSoundCard, RecordingAndMetersShareTheCardOneOpenerAtATime) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shared.wmv"));
    auto sharing = SoundCardSharing::create();
    Meters meters(sharing);
    ASSERT_TRUE(meters.meter.startVuMeter(kCard));
    ASSERT_TRUE(waitFor([&] { return meters.showFifty(); }, 3000)) << meters.display.left;
    EXPECT_TRUE(busyForOthers(kCard)) << "the meters capture the card themselves";

    auto engine = makeEngine(sharing, file);
    ASSERT_TRUE(engine);
    QElapsedTimer startTook;
    startTook.start();
    const EncoderStatus started = engine->start();
    ASSERT_TRUE(started.ok()) << started.description.toStdString();
    std::printf("[ figures  ] start with the meters on the card took %lld ms\n",
                static_cast<long long>(startTook.elapsed()));

    // While recording, the meters show the engine's sound of the card.
    meters.display.left = meters.display.right = 0;
    const long long before = meters.capture.framesDelivered();
    spin(3000);
    const long long during = meters.capture.framesDelivered() - before;
    EXPECT_TRUE(meters.showFifty()) << meters.display.left << "/" << meters.display.right;
    EXPECT_GT(during, 44100 * 2) << "3 s of recording fed the meters";
    EXPECT_TRUE(busyForOthers(kCard)) << "the recording holds the card";
    EXPECT_EQ(engine->runState(), RunState::Running);
    engine->stop();
    const EncoderStatistics recorded = engine->statistics();
    EXPECT_TRUE(engine->lastFailure().ok()) << engine->lastFailure().description.toStdString();
    EXPECT_GT(recorded.archiveDurationMs, 2500);
    EXPECT_LT(recorded.archiveDurationMs, 4500) << "the card's sound keeps to the clock";
    EXPECT_GT(recorded.audioBitrate, 0);
    EXPECT_GT(QFileInfo(file).size(), 0);
    std::printf(
        "[ figures  ] meters got %lld frames in 3 s of recording; file %lld ms, audio %lld bit/s\n",
        during, static_cast<long long>(recorded.archiveDurationMs),
        static_cast<long long>(recorded.audioBitrate));

    // The sources let the card go: the meters capture it themselves again.
    engine->resetSourceGroup();
    const long long after = meters.capture.framesDelivered();
    ASSERT_TRUE(waitFor([&] { return meters.capture.framesDelivered() > after + 44100; }, 3000))
        << "the meters capture the card again";
    EXPECT_TRUE(busyForOthers(kCard)) << "the meters hold the card again";
    meters.display.left = meters.display.right = 0;
    EXPECT_TRUE(waitFor([&] { return meters.showFifty(); }, 1000));

    // And a second recording takes it over again.
    engine->setVideoInput(QStringLiteral("TEST://ball"));
    engine->setAudioInput(QStringLiteral("Device://") + kCard);
    engine->setOutputFileName(dir.filePath(QStringLiteral("again.wmv")));
    const EncoderStatus again = engine->start();
    ASSERT_TRUE(again.ok()) << again.description.toStdString();
    spin(500);
    engine->stop();
    EXPECT_TRUE(engine->lastFailure().ok()) << engine->lastFailure().description.toStdString();
}

TEST(FakeSoundCard, ACardThatDoesNotAnswerNeverHoldsTheGuiThread) {
    CaptureLog log;
    Meters meters;
    QElapsedTimer call;
    call.start();
    ASSERT_TRUE(meters.meter.startVuMeter(QStringLiteral("kelmfake_slow")));
    const qint64 startMs = call.elapsed();

    // The event loop's longest pause while the card takes 3 s to open.
    qint64 longestGapMs = 0;
    QElapsedTimer gap;
    gap.start();
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, gap.restart()); });
    beat.start(5);
    spin(2600);
    EXPECT_EQ(meters.display.left, 0) << "the meters stay at zero meanwhile";
    EXPECT_EQ(CaptureLog::count(QStringLiteral("does not answer")), 1);
    ASSERT_TRUE(waitFor([&] { return meters.showFifty(); }, 3000)) << "it answers at last";
    beat.stop();
    EXPECT_EQ(CaptureLog::count(QStringLiteral("does not answer")), 1) << "logged once";

    call.restart();
    meters.meter.stopVuMeter();
    const qint64 stopMs = call.elapsed();
    EXPECT_LT(startMs, 20);
    EXPECT_LT(stopMs, 20);
    EXPECT_LT(longestGapMs, 100);
    std::printf(
        "[ figures  ] card answering after 3 s: start %lld ms, stop %lld ms, longest "
        "event-loop gap %lld ms\n",
        static_cast<long long>(startMs), static_cast<long long>(stopMs),
        static_cast<long long>(longestGapMs));
}

TEST(FakeSoundCard, AStalledCardIsLoggedOnceAndTheMetersStayAtZero) {
    CaptureLog log;
    Meters meters;
    ASSERT_TRUE(meters.meter.startVuMeter(QStringLiteral("kelmfake_stalled")));
    // Two rounds: 2 s of nothing, 2 s of rest, open again, 2 s of nothing.
    spin(6500);
    EXPECT_EQ(CaptureLog::count(QStringLiteral("delivers nothing")), 1);
    EXPECT_EQ(meters.display.left, 0);
    EXPECT_EQ(meters.capture.framesDelivered(), 0);
    meters.meter.stopVuMeter();
}

}  // namespace
}  // namespace kelm

namespace kelm {
namespace {

// A sound server takes any number of openers, so only a card's own devices
// are claimed from the meters; the configuration tells which is which
// without opening anything.
TEST(FakeSoundCard, OnlyTheSoundServersDevicesGoUnclaimed) {
    EXPECT_FALSE(SourceResolver::servedBySoundServer(kCard));
    EXPECT_FALSE(SourceResolver::servedBySoundServer(QStringLiteral("hw:CARD=PCH,DEV=0")));
    EXPECT_FALSE(SourceResolver::servedBySoundServer(QStringLiteral("no-such-device")));
    EXPECT_FALSE(SourceResolver::servedBySoundServer(QString()));
    if (!QFileInfo::exists(QStringLiteral("/usr/share/alsa/alsa.conf.d/pulse.conf")) &&
        !QFileInfo::exists(QStringLiteral("/etc/alsa/conf.d/99-pulse.conf")))
        GTEST_SKIP() << "ALSA's sound server plug-in is not configured here";
    EXPECT_TRUE(SourceResolver::servedBySoundServer(QStringLiteral("pulse")));
}

}  // namespace
}  // namespace kelm
