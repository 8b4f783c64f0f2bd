// The live preview around recordings, statistics while recording, and
// repeated recordings in one process.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::spin;
using test::waitFor;

class EngineLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        EncoderStatus status;
        m_encoder = createRecordingEngine({}, &status);
        ASSERT_TRUE(m_encoder) << status.description.toStdString();
        test::useTestSources(*m_encoder);
        m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
        QObject::connect(m_encoder.get(), &RecordingEngine::previewFrame,
                         [this](const PreviewFrame& f) {
                             ++m_frames;
                             m_lastFrame = f;
                         });
        QObject::connect(m_encoder.get(), &RecordingEngine::runStateChanged,
                         [this](RunState s) { m_states.push_back(s); });
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Preview frames arriving within `ms`.
    int framesWithin(int ms) {
        const int before = m_frames;
        spin(ms);
        return m_frames - before;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingEngine> m_encoder;
    int m_frames = 0;
    PreviewFrame m_lastFrame;
    std::vector<RunState> m_states;
};

TEST_F(EngineLifecycle, PreviewRunsBeforeDuringAndAfterARecording) {
    m_encoder->setPreviewEnabled(true);
    ASSERT_TRUE(m_encoder->prepareToEncode().ok());
    EXPECT_GE(framesWithin(1000), 10) << "the preview runs before any recording";
    EXPECT_EQ(m_lastFrame.width, 720);
    EXPECT_EQ(m_lastFrame.height, 576);
    EXPECT_GE(m_lastFrame.stride, 720 * 3);
    EXPECT_EQ(m_lastFrame.rgb.size(), m_lastFrame.stride * 576);

    m_encoder->setOutputFileName(path(QStringLiteral("one.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    EXPECT_GE(framesWithin(1000), 10) << "the preview runs while recording";
    m_encoder->stop();
    EXPECT_EQ(m_encoder->runState(), RunState::Stopped);
    EXPECT_GE(framesWithin(1000), 10) << "stopping the recording must not stop the sources";

    // A second recording from the same live sources.
    m_encoder->setOutputFileName(path(QStringLiteral("two.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    spin(1000);
    m_encoder->stop();
    EXPECT_GE(framesWithin(500), 5);
    for (const char* name : {"one.wmv", "two.wmv"}) {
        const int frames = test::decodedVideoFrames(path(QString::fromLatin1(name)));
        EXPECT_GE(frames, 22) << name;
        EXPECT_LE(frames, 28) << name;
    }
    ASSERT_TRUE(waitFor([&] { return m_states.size() >= 4; }, 2000));
    EXPECT_EQ(m_states, (std::vector<RunState>{RunState::Running, RunState::Stopped,
                                               RunState::Running, RunState::Stopped}));
}

TEST_F(EngineLifecycle, NoPreviewFramesWhileThePreviewIsOff) {
    ASSERT_TRUE(m_encoder->prepareToEncode().ok());
    EXPECT_EQ(framesWithin(600), 0);
    m_encoder->setPreviewEnabled(true);
    EXPECT_GT(framesWithin(600), 0);
    m_encoder->setPreviewEnabled(false);
    spin(100);  // frames already on their way may still land
    EXPECT_EQ(framesWithin(600), 0);
}

TEST_F(EngineLifecycle, StatisticsGrowWhileRecordingAndStayAfterTheStop) {
    m_encoder->setOutputFileName(path(QStringLiteral("stats.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    spin(2500);
    const EncoderStatistics during = m_encoder->statistics();
    EXPECT_GT(during.archiveBytes, 0);
    EXPECT_NEAR(during.archiveDurationMs, 2500, 500);
    EXPECT_NEAR(during.encodingTimeMs, 2500, 300);
    // A test tone costs WMA2 its full rate; the picture adds to the overall rate.
    EXPECT_NEAR(during.audioBitrate, 64000, 64000 * 0.15);
    EXPECT_GT(during.overallBitrate, during.audioBitrate);

    m_encoder->stop();
    const EncoderStatistics after = m_encoder->statistics();
    EXPECT_EQ(after.archiveBytes, QFile(path(QStringLiteral("stats.wmv"))).size());
    EXPECT_GE(after.archiveDurationMs, during.archiveDurationMs);
    spin(300);
    EXPECT_EQ(m_encoder->statistics().encodingTimeMs, after.encodingTimeMs)
        << "the clock stops with the recording";
}

TEST_F(EngineLifecycle, ResettingTheSourceGroupEndsTheRecordingWithAUsableFile) {
    m_encoder->setOutputFileName(path(QStringLiteral("reset.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    spin(1000);
    EXPECT_TRUE(m_encoder->resetSourceGroup().ok());
    EXPECT_EQ(m_encoder->runState(), RunState::Stopped);
    EXPECT_EQ(m_encoder->videoInput(), QString());
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("reset.wmv"))), 20);
    EXPECT_EQ(m_encoder->start().code, EncoderErrorCode::SoundCard) << "no inputs after a reset";
}

TEST_F(EngineLifecycle, DestroyingARecordingEngineFinishesItsFile) {
    m_encoder->setOutputFileName(path(QStringLiteral("destroyed.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    spin(1000);
    m_encoder.reset();
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("destroyed.wmv"))), 20);
}

TEST_F(EngineLifecycle, HundredStartStopCyclesKeepDescriptorsThreadsAndMemoryFlat) {
    ASSERT_TRUE(m_encoder->prepareToEncode().ok());
    auto cycle = [&](int i) {
        m_encoder->setOutputFileName(path(QStringLiteral("cycle%1.wmv").arg(i)));
        ASSERT_TRUE(m_encoder->start().ok()) << i;
        spin(20);
        m_encoder->stop();
    };
    for (int i = 0; i < 10; ++i) cycle(i);
    const int fds = test::openFdCount();
    const int threads = test::threadCount();
    const qint64 rssKb = test::residentKb();
    for (int i = 10; i < 100; ++i) cycle(i);
    EXPECT_EQ(test::openFdCount(), fds);
    EXPECT_TRUE(waitFor([&] { return test::threadCount() <= threads; }, 3000))
        << test::threadCount() << " threads, " << threads << " after the first ten";
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer holds freed memory back on purpose
    EXPECT_LT(test::residentKb() - rssKb, 8 * 1024) << "resident memory grew by more than 8 MB";
#else
    (void)rssKb;
#endif
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("cycle99.wmv"))), 0);
}

}  // namespace
}  // namespace kelm
