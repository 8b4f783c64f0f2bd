// Recordings made by the real engine and read back by the real tools.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::probe;
using test::streamOf;
using test::waitFor;

class EngineRecording : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        EncoderStatus status;
        m_factory = createEngineFactory();
        m_encoder = m_factory->create(&status);
        ASSERT_TRUE(m_encoder) << status.description.toStdString();
        QObject::connect(m_encoder.get(), &Encoder::runStateChanged,
                         [this](RunState s) { m_states.push_back(s); });
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Records until the engine stops by itself at its duration limit.
    void recordTimed(qint64 limitMs) {
        m_encoder->setDurationLimitMs(limitMs);
        const EncoderStatus status = m_encoder->start();
        ASSERT_TRUE(status.ok()) << status.description.toStdString();
        ASSERT_EQ(m_encoder->runState(), RunState::Running);
        ASSERT_TRUE(waitFor([&] { return m_encoder->runState() == RunState::Stopped; }, limitMs + 10000))
            << "the recording did not end by itself";
    }

    QTemporaryDir m_dir;
    std::unique_ptr<EncoderFactory> m_factory;
    std::unique_ptr<Encoder> m_encoder;
    std::vector<RunState> m_states;
};

TEST_F(EngineRecording, TvProfileFiveSecondsEndsByItselfAtTheLimit) {
    test::useTestSources(*m_encoder);
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    m_encoder->setOutputFileName(path(QStringLiteral("tv.wmv")));
    recordTimed(5000);
    ASSERT_TRUE(waitFor([&] { return m_states.size() >= 2; }, 2000));
    EXPECT_EQ(m_states, (std::vector<RunState>{RunState::Running, RunState::Stopped}));

    const QJsonObject probed = probe(path(QStringLiteral("tv.wmv")));
    const QJsonObject format = probed.value(QStringLiteral("format")).toObject();
    EXPECT_EQ(format.value(QStringLiteral("format_name")).toString(), QStringLiteral("asf"));
    EXPECT_NEAR(format.value(QStringLiteral("duration")).toString().toDouble(), 5.0, 0.04);

    const QJsonObject video = streamOf(probed, QStringLiteral("video"));
    EXPECT_EQ(video.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmv2"));
    EXPECT_EQ(video.value(QStringLiteral("width")).toInt(), 384);
    EXPECT_EQ(video.value(QStringLiteral("height")).toInt(), 288);
    EXPECT_EQ(video.value(QStringLiteral("r_frame_rate")).toString(), QStringLiteral("25/1"));
    EXPECT_EQ(video.value(QStringLiteral("nb_read_frames")).toString().toInt(), 125);

    const QJsonObject audio = streamOf(probed, QStringLiteral("audio"));
    EXPECT_EQ(audio.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmav2"));
    EXPECT_EQ(audio.value(QStringLiteral("sample_rate")).toString(), QStringLiteral("48000"));
    EXPECT_EQ(audio.value(QStringLiteral("channels")).toInt(), 2);

    EXPECT_EQ(test::decodedVideoFrames(path(QStringLiteral("tv.wmv"))), 125);
    const auto discovered = test::runTool(QStringLiteral("gst-discoverer-1.0"), {path(QStringLiteral("tv.wmv"))});
    EXPECT_EQ(discovered.exitCode, 0) << discovered.out.toStdString();
    EXPECT_TRUE(discovered.out.contains("Duration: 0:00:05.0")) << discovered.out.toStdString();

    const EncoderStatistics stats = m_encoder->statistics();
    EXPECT_EQ(stats.archiveDurationMs, 5000);
    EXPECT_EQ(stats.archiveBytes, QFile(path(QStringLiteral("tv.wmv"))).size());
}

}  // namespace
}  // namespace kelm
