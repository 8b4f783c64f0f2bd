// The engine as the recorder uses it: on its own thread, every call returning
// at once, outcomes by signal, and a deadline for a start that hangs.

#include "BackgroundEncoder.h"
#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::waitFor;

class BackgroundEncoderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    std::unique_ptr<BackgroundEncoder> make(BackgroundEncoder::Deadlines deadlines = {}) {
        EncoderStatus status;
        auto engine = createRecordingEngine({}, &status);
        if (!engine) return nullptr;
        auto encoder = std::make_unique<BackgroundEncoder>(std::move(engine), deadlines);
        encoder->setVideoInput(QStringLiteral("TEST://ball"));
        encoder->setAudioInput(QStringLiteral("TEST://"));
        encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
        QObject::connect(encoder.get(), &Encoder::started,
                         [this, e = encoder.get()](EncoderStatus s) {
                             m_started.push_back(s);
                             m_stateWhenStarted.push_back(e->runState());
                         });
        QObject::connect(encoder.get(), &Encoder::runStateChanged,
                         [this](RunState s) { m_states.push_back(s); });
        return encoder;
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::vector<EncoderStatus> m_started;
    std::vector<RunState> m_stateWhenStarted;
    std::vector<RunState> m_states;
};

TEST_F(BackgroundEncoderTest, CallsReturnAtOnceAndTheOutcomeComesWithTheStateItSpeaksOf) {
    auto encoder = make();
    ASSERT_TRUE(encoder);
    encoder->setOutputFileName(path(QStringLiteral("a.wmv")));
    encoder->setDurationLimitMs(0);

    // Cold sources take a GStreamer pipeline's start-up and the first picture.
    QElapsedTimer call;
    call.start();
    encoder->start();
    const qint64 callMs = call.elapsed();
    EXPECT_LT(callMs, 50) << "start() waited on the engine";
    EXPECT_TRUE(m_started.empty()) << "the outcome came inside the call";
    EXPECT_EQ(encoder->runState(), RunState::Stopped);

    ASSERT_TRUE(waitFor([&] { return !m_started.empty(); }, 15000));
    ASSERT_TRUE(m_started.front().ok()) << m_started.front().description.toStdString();
    EXPECT_EQ(m_stateWhenStarted.front(), RunState::Running)
        << "a handler of started() must read the new run state";
    EXPECT_TRUE(encoder->firstSampleUtc().isValid());

    // The figures go on being renewed while the engine records.
    ASSERT_TRUE(waitFor([&] { return encoder->statistics().archiveDurationMs >= 1500; }, 10000));
    const qint64 bytes = encoder->statistics().archiveBytes;
    ASSERT_TRUE(waitFor([&] { return encoder->statistics().archiveBytes > bytes; }, 5000));

    call.restart();
    encoder->stop();
    EXPECT_LT(call.elapsed(), 50) << "stop() waited for the file";
    ASSERT_TRUE(waitFor([&] { return encoder->runState() == RunState::Stopped; }, 10000));
    EXPECT_TRUE(encoder->lastFailure().ok());
    ASSERT_TRUE(waitFor([&] { return m_states.size() >= 2; }, 2000));
    EXPECT_EQ(m_states, (std::vector<RunState>{RunState::Running, RunState::Stopped}));
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("a.wmv"))), 25);
}

TEST_F(BackgroundEncoderTest, AFailedStartIsAnsweredWithItsCauseAndNothingRuns) {
    auto encoder = make();
    ASSERT_TRUE(encoder);
    encoder->setOutputFileName(path(QStringLiteral("no/such/folder/a.wmv")));
    encoder->start();
    ASSERT_TRUE(waitFor([&] { return !m_started.empty(); }, 15000));
    EXPECT_FALSE(m_started.front().ok());
    EXPECT_EQ(m_stateWhenStarted.front(), RunState::Stopped);
    EXPECT_FALSE(encoder->lastFailure().description.isEmpty());
    EXPECT_TRUE(m_states.empty());
}

TEST_F(BackgroundEncoderTest, AStartPastItsDeadlineIsNoAnswerAndIsStoppedWhenItComesUp) {
    BackgroundEncoder::Deadlines deadlines;
    deadlines.startMs = 1;  // no engine starts a pipeline that fast
    auto encoder = make(deadlines);
    ASSERT_TRUE(encoder);
    encoder->setOutputFileName(path(QStringLiteral("late.wmv")));
    encoder->start();
    ASSERT_TRUE(waitFor([&] { return !m_started.empty(); }, 15000));
    EXPECT_EQ(m_started.front().code, EncoderErrorCode::NoAnswer);
    EXPECT_TRUE(encoder->lastFailure().description.contains(QStringLiteral("no answer")));

    // The engine's own success comes later: the recording it began is ended,
    // and never reported as a start.
    ASSERT_TRUE(waitFor([&] { return m_states.size() >= 2; }, 15000));
    EXPECT_EQ(m_states, (std::vector<RunState>{RunState::Running, RunState::Stopped}));
    EXPECT_EQ(m_started.size(), 1u);
    EXPECT_EQ(encoder->runState(), RunState::Stopped);
}

TEST_F(BackgroundEncoderTest, StopBeforeExitReturnsWithTheFileFinished) {
    auto encoder = make();
    ASSERT_TRUE(encoder);
    encoder->setOutputFileName(path(QStringLiteral("exit.wmv")));
    encoder->start();
    ASSERT_TRUE(waitFor([&] { return encoder->statistics().archiveDurationMs >= 1000; }, 15000));
    EXPECT_TRUE(encoder->stopBeforeExit(10000));
    EXPECT_EQ(encoder->runState(), RunState::Stopped);
    const QJsonObject probed = test::probe(path(QStringLiteral("exit.wmv")));
    EXPECT_GE(probed.value(QStringLiteral("format"))
                  .toObject()
                  .value(QStringLiteral("duration"))
                  .toString()
                  .toDouble(),
              0.9);
}

TEST_F(BackgroundEncoderTest, GoingAwayDuringARecordingFinishesItsFile) {
    {
        auto encoder = make();
        ASSERT_TRUE(encoder);
        encoder->setOutputFileName(path(QStringLiteral("gone.wmv")));
        encoder->start();
        ASSERT_TRUE(
            waitFor([&] { return encoder->statistics().archiveDurationMs >= 1000; }, 15000));
    }
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("gone.wmv"))), 20);
}

}  // namespace
}  // namespace kelm
