// Recordings made by the real engine and read back by the real tools.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
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
        m_encoder = createRecordingEngine({}, &status);
        ASSERT_TRUE(m_encoder) << status.description.toStdString();
        QObject::connect(m_encoder.get(), &RecordingEngine::runStateChanged,
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
        // At its limit, not by a failure: no source counts as gone quiet.
        EXPECT_TRUE(m_encoder->lastFailure().ok())
            << m_encoder->lastFailure().description.toStdString();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingEngine> m_encoder;
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

// The creation date in the file's header, to the millisecond: 100 ns steps
// since 1601 in the file properties object.
QDateTime headerCreationUtc(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = f.read(4096);
    const qsizetype at = head.indexOf(QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365"));
    if (at < 0 || at + 56 > head.size()) return {};
    quint64 steps = 0;
    for (int i = 7; i >= 0; --i) steps = steps << 8 | quint8(head[at + 48 + i]);
    return QDateTime::fromMSecsSinceEpoch(qint64(steps / 10000) - 11644473600000, Qt::UTC);
}

TEST_F(EngineRecording, FirstSampleTimeIsTheFirstPicturesCaptureAndTheFilesCreationDate) {
    EXPECT_FALSE(m_encoder->firstSampleUtc().isValid()) << "nothing recorded yet";
    test::useTestSources(*m_encoder);
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    RecordingTags tags;
    tags.title = QStringLiteral("Kék Duna Rádió");
    tags.author = QStringLiteral("KDR");
    m_encoder->setRecordingTags(tags);
    ASSERT_TRUE(m_encoder->prepareToEncode().ok());
    test::spin(300);
    for (const QString& name : {QStringLiteral("first1.wmv"), QStringLiteral("first2.wmv")}) {
        m_encoder->setOutputFileName(path(name));
        const QDateTime asked = QDateTime::currentDateTimeUtc();
        ASSERT_TRUE(m_encoder->start().ok());
        const QDateTime returned = QDateTime::currentDateTimeUtc();
        const QDateTime first = m_encoder->firstSampleUtc();
        ASSERT_TRUE(first.isValid());
        EXPECT_EQ(first.timeSpec(), Qt::UTC);
        // The first picture captured after the call, a frame or two later.
        EXPECT_GE(asked.msecsTo(first), -5) << first.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_LE(first, returned);
        test::spin(600);
        m_encoder->stop();
        EXPECT_EQ(m_encoder->firstSampleUtc(), first) << "kept after the recording";
        EXPECT_EQ(headerCreationUtc(path(name)), first);
        const QJsonObject tagsRead = probe(path(name))
                                         .value(QStringLiteral("format"))
                                         .toObject()
                                         .value(QStringLiteral("tags"))
                                         .toObject();
        EXPECT_EQ(tagsRead.value(QStringLiteral("title")).toString(), tags.title)
            << "kept for every later start";
        test::spin(200);
    }
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

// Per-frame PSNR of the recording's pictures against the clip's, scaled to
// 384x288; `shift` pairs recorded frame n with clip frame n + shift.
std::vector<double> framePsnr(const QString& recording, const QString& clip, int shift,
                              const QString& stats) {
    const QString trimRecording =
        shift < 0 ? QStringLiteral("trim=start_frame=%1,").arg(-shift) : QString();
    const QString trimClip =
        shift > 0 ? QStringLiteral("trim=start_frame=%1,").arg(shift) : QString();
    const auto run = test::runTool(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), recording,
         QStringLiteral("-i"), clip, QStringLiteral("-lavfi"),
         QStringLiteral("[0:v]%1setpts=PTS-STARTPTS[a];[1:v]scale=384:288,%2setpts=PTS-STARTPTS[b];"
                        "[a][b]psnr=shortest=1:stats_file=%3")
             .arg(trimRecording, trimClip, stats),
         QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    std::vector<double> out;
    QFile file(stats);
    if (run.exitCode != 0 || !file.open(QIODevice::ReadOnly)) return out;
    static const QRegularExpression psnr(QStringLiteral("psnr_avg:(\\S+)"));
    for (const QByteArray& line : file.readAll().split('\n')) {
        const auto match = psnr.match(QString::fromLatin1(line));
        if (match.hasMatch())
            out.push_back(
                match.captured(1) == QStringLiteral("inf") ? 99.0 : match.captured(1).toDouble());
    }
    return out;
}

// A video file is recorded frame for frame from its first picture: no doubled
// first frame, no picture dropped or repeated, also across the loop's seam.
TEST_F(EngineRecording, VideoFileIsRecordedFrameForFrameFromItsFirstPicture) {
    const QString clip = path(QStringLiteral("frames.avi"));
    // Every picture differs from its neighbours: a moving pattern with noise.
    const auto made = test::runTool(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
         QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc2=size=352x288:rate=25,noise=alls=20:allf=t"), QStringLiteral("-t"),
         QStringLiteral("1.2"), QStringLiteral("-c:v"), QStringLiteral("rawvideo"),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), clip});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    m_encoder->setVideoInput(clip);
    m_encoder->setAudioInput(QStringLiteral("TEST://"));
    m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    m_encoder->setOutputFileName(path(QStringLiteral("frames.wmv")));
    // Started twice on the running sources: the second starts at the file's
    // first picture as well.
    ASSERT_TRUE(m_encoder->prepareToEncode().ok());
    test::spin(300);
    recordTimed(1200);
    m_encoder->setOutputFileName(path(QStringLiteral("frames2.wmv")));
    test::spin(500);
    recordTimed(2000);  // 50 frames: the clip's 30 and 20 of its second pass

    for (const char* name : {"frames.wmv", "frames2.wmv"}) {
        const QString recording = path(QString::fromLatin1(name));
        // The clip twice over, for the second pass.
        const QString twice = path(QStringLiteral("twice.avi"));
        const QString list = path(QStringLiteral("twice.txt"));
        QFile listFile(list);
        ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
        listFile.write("file 'frames.avi'\nfile 'frames.avi'\n");
        listFile.close();
        ASSERT_EQ(
            test::runTool(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                           QStringLiteral("-f"), QStringLiteral("concat"), QStringLiteral("-safe"),
                           QStringLiteral("0"), QStringLiteral("-i"), list, QStringLiteral("-c"),
                           QStringLiteral("copy"), twice})
                .exitCode,
            0);
        const auto same = framePsnr(recording, twice, 0, path(QStringLiteral("same.log")));
        const auto before = framePsnr(recording, twice, -1, path(QStringLiteral("before.log")));
        const auto after = framePsnr(recording, twice, 1, path(QStringLiteral("after.log")));
        ASSERT_GE(same.size(), 30u) << name;
        for (std::size_t n = 0; n < same.size(); ++n) {
            // before[k] pairs recorded frame k + 1 with clip frame k.
            if (n >= 1 && n - 1 < before.size()) {
                EXPECT_GT(same[n], before[n - 1] + 1.0)
                    << name << " frame " << n << " is the clip's previous one";
            }
            if (n < after.size()) {
                EXPECT_GT(same[n], after[n] + 1.0)
                    << name << " frame " << n << " is the clip's next one";
            }
        }
    }
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
    m_encoder = createRecordingEngine(options, &status);
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
