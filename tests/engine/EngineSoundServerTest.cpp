// The engine against the user-space sound server when the server hangs
// (SIGSTOP) and comes back (SIGCONT): the recording that was running fails
// as a sound card failure with a finished file, a start while the server
// still hangs fails within its bounded wait instead of making a file, and one
// after it is back records again. The GUI thread is never held meanwhile.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "SoundServer.h"
#include "encoder/EncoderProfile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <signal.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::waitFor;

// The server's process, from the pid file it keeps in the runtime folder.
pid_t soundServerPid() {
    QFile pidFile(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/pid"));
    if (!pidFile.open(QIODevice::ReadOnly)) return 0;
    return pid_t(pidFile.readAll().trimmed().toInt());
}

// Hangs the server until it goes out of scope (or resume()), whatever the
// test does in between: a server left stopped would hang every later test.
class HungSoundServer {
public:
    explicit HungSoundServer(pid_t pid) : m_pid(pid) { ::kill(m_pid, SIGSTOP); }
    ~HungSoundServer() { resume(); }
    void resume() {
        if (m_pid > 0) ::kill(m_pid, SIGCONT);
        m_pid = 0;
    }

private:
    pid_t m_pid;
};

// The longest the event loop went without running a 20 ms timer.
class EventLoopWatch {
public:
    EventLoopWatch() {
        m_sinceTick.start();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestGapMs = std::max(m_longestGapMs, m_sinceTick.restart());
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestGapMs = 0;
};

class EngineSoundServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        if (!test::SoundServer::running() || soundServerPid() <= 0)
            GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        EncoderStatus status;
        m_encoder = createRecordingEngine({}, &status);
        ASSERT_TRUE(m_encoder);
        QObject::connect(m_encoder.get(), &RecordingEngine::runStateChanged,
                         [this](RunState s) { m_states.push_back(s); });
        QObject::connect(m_encoder.get(), &RecordingEngine::errorOccurred,
                         [this](const EncoderStatus& s) { m_errors.push_back(s); });
        m_encoder->setVideoInput(QStringLiteral("TEST://ball"));
        ASSERT_TRUE(m_encoder->setAudioInput(QStringLiteral("Device://default")).ok());
        m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingEngine> m_encoder;
    std::vector<RunState> m_states;
    std::vector<EncoderStatus> m_errors;
};

TEST_F(EngineSoundServer, HungServerEndsTheRecordingAndHoldsBackTheNextUntilItIsBack) {
    m_encoder->setOutputFileName(path(QStringLiteral("a.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    test::spin(1500);
    ASSERT_EQ(m_encoder->runState(), RunState::Running);

    EventLoopWatch loop;
    QElapsedTimer hungFor;
    HungSoundServer hung(soundServerPid());
    hungFor.start();
    ASSERT_TRUE(waitFor([&] { return m_encoder->runState() == RunState::Stopped; }, 8000))
        << "the recording went on without sound";
    const qint64 endedAfterMs = hungFor.elapsed();
    EXPECT_GE(endedAfterMs, 2000) << "two seconds of quiet are allowed";
    EXPECT_LE(endedAfterMs, 3500);

    ASSERT_TRUE(waitFor([&] { return m_errors.size() == 1 && m_states.size() == 2; }, 2000));
    const EncoderStatus failure = m_errors.front();
    EXPECT_EQ(failure.code, EncoderErrorCode::SoundCard);
    EXPECT_TRUE(failure.description.startsWith(QStringLiteral("sound card default")))
        << failure.description.toStdString();
    EXPECT_TRUE(failure.description.contains(QStringLiteral("has delivered nothing for 2.")))
        << failure.description.toStdString();
    EXPECT_EQ(m_encoder->lastFailure().code, EncoderErrorCode::SoundCard);
    EXPECT_EQ(m_encoder->lastFailure().description, failure.description);
    EXPECT_EQ(m_states, (std::vector<RunState>{RunState::Running, RunState::Stopped}));

    // The file is finished up to where the sound stopped, and plays.
    const QJsonObject format =
        test::probe(path(QStringLiteral("a.wmv"))).value(QStringLiteral("format")).toObject();
    const double seconds = format.value(QStringLiteral("duration")).toString().toDouble();
    EXPECT_GT(seconds, 1.4);
    EXPECT_LT(seconds, 1.5 + endedAfterMs / 1000.0 + 0.5);
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("a.wmv"))), 35);

    // Resuming while the server still hangs: the quiet source is reported
    // at once, by the preparation the recorder runs first and by a start
    // alike, and no file is made.
    QElapsedTimer startTook;
    startTook.start();
    const EncoderStatus prepared = m_encoder->prepareToEncode();
    EXPECT_EQ(prepared.code, EncoderErrorCode::SoundCard) << prepared.description.toStdString();
    m_encoder->setOutputFileName(path(QStringLiteral("b.wmv")));
    const EncoderStatus again = m_encoder->start();
    EXPECT_EQ(again.code, EncoderErrorCode::SoundCard) << again.description.toStdString();
    EXPECT_LE(startTook.elapsed(), 500) << "no wait on the GUI thread for sound that is not coming";
    EXPECT_EQ(m_encoder->runState(), RunState::Stopped);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("b.wmv"))));

    // The GUI thread never stood still.
    EXPECT_LT(loop.longestGapMs(), 1000);

    hung.resume();
    test::spin(500);
    m_encoder->setOutputFileName(path(QStringLiteral("c.wmv")));
    bool started = false;
    // The server may take a moment to catch up; the recorder tries once a second.
    for (int attempt = 0; attempt < 5 && !started; ++attempt)
        started = m_encoder->start().ok() || (test::spin(1000), false);
    ASSERT_TRUE(started) << m_encoder->lastFailure().description.toStdString();
    test::spin(3000);
    EXPECT_EQ(m_encoder->runState(), RunState::Running)
        << m_encoder->lastFailure().description.toStdString();
    m_encoder->stop();
    EXPECT_TRUE(m_encoder->lastFailure().ok());
    const QJsonObject audio =
        test::streamOf(test::probe(path(QStringLiteral("c.wmv"))), QStringLiteral("audio"));
    EXPECT_GE(audio.value(QStringLiteral("nb_read_frames")).toString().toInt(), 60);
}

// A server that answers late holds the start back; the file's first sample,
// and so its creation date, is then late too.
TEST_F(EngineSoundServer, ServerThatAnswersLateMakesTheFirstSampleLate) {
    m_encoder->setOutputFileName(path(QStringLiteral("late.wmv")));
    auto hung = std::make_unique<HungSoundServer>(soundServerPid());
    std::thread answer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        hung->resume();
    });
    const QDateTime askedAt = QDateTime::currentDateTimeUtc();
    const EncoderStatus started = m_encoder->start();
    answer.join();
    ASSERT_TRUE(started.ok()) << started.description.toStdString();
    const QDateTime first = m_encoder->firstSampleUtc();
    EXPECT_GE(askedAt.msecsTo(first), 1400) << first.toString(Qt::ISODateWithMs).toStdString();
    EXPECT_LE(first, QDateTime::currentDateTimeUtc());
    m_encoder->stop();
}

}  // namespace
}  // namespace kelm
