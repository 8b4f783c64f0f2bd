// Recordings made by the real engine and read back by the real tools.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
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
        ASSERT_TRUE(
            waitFor([&] { return m_encoder->runState() == RunState::Stopped; }, limitMs + 10000))
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
    EXPECT_EQ(test::gstDecodedVideoFrames(path(QStringLiteral("tv.wmv"))), 125);
    const auto discovered =
        test::runTool(QStringLiteral("gst-discoverer-1.0"), {path(QStringLiteral("tv.wmv"))});
    EXPECT_EQ(discovered.exitCode, 0) << discovered.out.toStdString();
    EXPECT_TRUE(discovered.out.contains("Duration: 0:00:05.0")) << discovered.out.toStdString();

    const EncoderStatistics stats = m_encoder->statistics();
    EXPECT_EQ(stats.archiveDurationMs, 5000);
    EXPECT_EQ(stats.archiveBytes, QFile(path(QStringLiteral("tv.wmv"))).size());
}

// A picture of the given size made by ffmpeg's test source.
QString makePicture(const QString& path, int width, int height) {
    const auto made =
        test::runTool(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                       QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("testsrc=size=%1x%2").arg(width).arg(height),
                       QStringLiteral("-frames:v"), QStringLiteral("1"), path});
    EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
    return path;
}

TEST_F(EngineRecording, RadioProfileWithAPictureRecordsOneFramePerSecondAtThePictureSize) {
    m_encoder->setVideoInput(makePicture(path(QStringLiteral("card.png")), 320, 240));
    m_encoder->setAudioInput(QStringLiteral("TEST://"));
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Radio));
    m_encoder->setOutputFileName(path(QStringLiteral("radio.wmv")));
    recordTimed(4000);

    const QJsonObject probed = probe(path(QStringLiteral("radio.wmv")));
    const QJsonObject video = streamOf(probed, QStringLiteral("video"));
    EXPECT_EQ(video.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmv2"));
    EXPECT_EQ(video.value(QStringLiteral("width")).toInt(), 320);
    EXPECT_EQ(video.value(QStringLiteral("height")).toInt(), 240);
    EXPECT_EQ(video.value(QStringLiteral("r_frame_rate")).toString(), QStringLiteral("1/1"));
    EXPECT_EQ(video.value(QStringLiteral("nb_read_frames")).toString().toInt(), 4);
    const QJsonObject audio = streamOf(probed, QStringLiteral("audio"));
    EXPECT_EQ(audio.value(QStringLiteral("sample_rate")).toString(), QStringLiteral("44100"));
    EXPECT_EQ(audio.value(QStringLiteral("channels")).toInt(), 2);
    EXPECT_NEAR(probed.value(QStringLiteral("format"))
                    .toObject()
                    .value(QStringLiteral("duration"))
                    .toString()
                    .toDouble(),
                4.0, 0.05);
    EXPECT_EQ(test::decodedVideoFrames(path(QStringLiteral("radio.wmv"))), 4);
    EXPECT_EQ(test::gstDecodedVideoFrames(path(QStringLiteral("radio.wmv"))), 4);
}

TEST_F(EngineRecording, PictureOfOddSizeLosesItsLastColumnAndRow) {
    // WMV2 codes even sizes only.
    m_encoder->setVideoInput(makePicture(path(QStringLiteral("odd.png")), 201, 151));
    m_encoder->setAudioInput(QStringLiteral("TEST://"));
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Radio));
    m_encoder->setOutputFileName(path(QStringLiteral("odd.wmv")));
    recordTimed(2000);
    const QJsonObject video =
        streamOf(probe(path(QStringLiteral("odd.wmv"))), QStringLiteral("video"));
    EXPECT_EQ(video.value(QStringLiteral("width")).toInt(), 200);
    EXPECT_EQ(video.value(QStringLiteral("height")).toInt(), 150);
}

TEST_F(EngineRecording, VideoFileShorterThanTheRecordingPlaysInALoop) {
    const QString clip = path(QStringLiteral("clip.avi"));
    const auto made =
        test::runTool(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                       QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("testsrc=size=352x288:rate=25:duration=1"),
                       QStringLiteral("-c:v"), QStringLiteral("mjpeg"), clip});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    m_encoder->setVideoInput(clip);
    m_encoder->setAudioInput(QStringLiteral("TEST://"));
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    m_encoder->setOutputFileName(path(QStringLiteral("looped.wmv")));
    recordTimed(3000);
    EXPECT_EQ(test::decodedVideoFrames(path(QStringLiteral("looped.wmv"))), 75);
}

TEST_F(EngineRecording, DefaultVideoFileOfTheProgramFolderRecordsAsARadioPicture) {
    const QString card = QStringLiteral(KELM_PROGRAM_DIR "/video.wmv");
    ASSERT_TRUE(QFile::exists(card)) << "the build makes the test card";
    m_encoder->setVideoInput(card);
    m_encoder->setAudioInput(QStringLiteral("TEST://"));
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Radio));
    m_encoder->setOutputFileName(path(QStringLiteral("card.wmv")));
    recordTimed(2000);
    const QJsonObject video =
        streamOf(probe(path(QStringLiteral("card.wmv"))), QStringLiteral("video"));
    EXPECT_EQ(video.value(QStringLiteral("width")).toInt(), 384);
    EXPECT_EQ(video.value(QStringLiteral("height")).toInt(), 288);
    EXPECT_EQ(video.value(QStringLiteral("nb_read_frames")).toString().toInt(), 2);
}

// ALSA's "default" device, read through the sound server's own interface
// (the engine's choice) and through ALSA's plugin: the same sound either way.
class SoundCardCapture : public EngineRecording, public ::testing::WithParamInterface<bool> {};

TEST_P(SoundCardCapture, RecordsAlsaDefaultAt48kHzStereo) {
    EngineOptions options;
    options.soundServerDirect = GetParam();
    EncoderStatus status;
    m_encoder = createEngineFactory(options)->create(&status);
    ASSERT_TRUE(m_encoder);
    m_encoder->setVideoInput(QStringLiteral("TEST://"));
    if (!m_encoder->setAudioInput(QStringLiteral("Device://default")).ok() ||
        !m_encoder->prepareToEncode().ok())
        GTEST_SKIP() << "no ALSA capture device here (start scripts/sound-server.sh)";
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    m_encoder->setOutputFileName(path(QStringLiteral("alsa.wmv")));
    recordTimed(2000);
    const QJsonObject probed = probe(path(QStringLiteral("alsa.wmv")));
    const QJsonObject audio = streamOf(probed, QStringLiteral("audio"));
    EXPECT_EQ(audio.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmav2"));
    EXPECT_EQ(audio.value(QStringLiteral("sample_rate")).toString(), QStringLiteral("48000"));
    EXPECT_EQ(audio.value(QStringLiteral("channels")).toInt(), 2);
    EXPECT_GE(audio.value(QStringLiteral("nb_read_frames")).toString().toInt(), 40);
}

INSTANTIATE_TEST_SUITE_P(Paths, SoundCardCapture, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "SoundServer" : "AlsaPlugin");
                         });

TEST_F(EngineRecording, KilledRecorderLeavesAFileThatDecodesToItsLastSeconds) {
    const QString file = path(QStringLiteral("killed.wmv"));
    QProcess recorder;
    recorder.start(QStringLiteral(KELM_ENGINE_RECORD_HELPER), {file});
    ASSERT_TRUE(recorder.waitForStarted(5000));
    ASSERT_TRUE(recorder.waitForReadyRead(10000)) << recorder.readAllStandardError().toStdString();
    ASSERT_TRUE(recorder.readAllStandardOutput().startsWith("recording"));
    test::spin(10000);
    recorder.kill();  // SIGKILL: no trailer, no index
    ASSERT_TRUE(recorder.waitForFinished(5000));
    EXPECT_EQ(recorder.exitStatus(), QProcess::CrashExit);
    EXPECT_GE(test::decodedVideoFrames(file), 8 * 25);
}

}  // namespace
}  // namespace kelm
