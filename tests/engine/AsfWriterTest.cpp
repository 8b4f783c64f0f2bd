// The file writer fed directly with samples whose timestamps the test
// chooses: lost pictures, late sound, samples from before the start, and the
// duration limit, read back with ffprobe.

#include "AsfWriter.h"
#include "EngineTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gst/gst.h>

#include <atomic>

#include <gtest/gtest.h>

namespace kelm {
namespace {

constexpr quint64 kMs = 1'000'000;
constexpr quint64 kStart = 10'000 * kMs;  // the pipeline has run 10 s when recording starts

gst::SamplePtr picture(int width, int height) {
    const gsize size = static_cast<gsize>(width * height * 3 / 2);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    gst_buffer_memset(buffer, 0, 0x80, size);
    gst::CapsPtr caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                          G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                          "framerate", GST_TYPE_FRACTION, 25, 1, nullptr));
    gst::SamplePtr sample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

gst::SamplePtr sound(int frames) {
    const gsize size = static_cast<gsize>(frames * 4);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    gst_buffer_memset(buffer, 0, 0, size);
    gst::SamplePtr sample(gst_sample_new(buffer, nullptr, nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

// Packet times (ms) of one stream as ffprobe reads them.
std::vector<int> packetTimesMs(const QString& path, const QString& stream) {
    const auto r = test::runTool(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), stream,
         QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time"), QStringLiteral("-of"),
         QStringLiteral("json"), path});
    std::vector<int> out;
    for (const QJsonValue& p :
         QJsonDocument::fromJson(r.out).object().value(QStringLiteral("packets")).toArray())
        out.push_back(
            qRound(p.toObject().value(QStringLiteral("pts_time")).toString().toDouble() * 1000));
    return out;
}

class AsfWriterFeed : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(
            EncoderProfile::parse(EncoderProfile::builtInText(BuiltInProfile::Tv), &m_profile)
                .ok());
    }

    void open(qint64 limitMs) {
        const EncoderStatus status = m_writer.open(m_path, m_profile, 384, 288, limitMs,
                                                   [](const QString&) { return true; });
        ASSERT_TRUE(status.ok()) << status.description.toStdString();
        m_writer.start(kStart, [this](const EncoderStatus& s) {
            m_endedOk = s.ok();
            m_ended = true;
        });
    }
    void video(quint64 atMs) { m_writer.pushVideo(picture(384, 288), kStart + atMs * kMs); }
    // 40 ms of 48 kHz stereo starting at `atMs` after the start (may be negative).
    void audio(qint64 atMs) {
        m_writer.pushAudio(sound(1920), quint64(qint64(kStart) + atMs * qint64(kMs)));
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("w.wmv"));
    EncoderProfile m_profile;
    AsfWriter m_writer;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_endedOk{false};
};

TEST_F(AsfWriterFeed, LostPicturesLeaveAGapInsteadOfPullingLaterOnesForward) {
    open(0);
    for (int ms : {0, 40, 80, 400, 440}) video(quint64(ms));
    for (int ms = 0; ms < 480; ms += 40) audio(ms);
    ASSERT_TRUE(m_writer.finish().ok());
    EXPECT_EQ(packetTimesMs(m_path, QStringLiteral("v")), (std::vector<int>{0, 40, 80, 400, 440}));
}

TEST_F(AsfWriterFeed, PicturesFromBeforeTheStartAreNotRecorded) {
    open(0);
    for (int ms = -200; ms < 400; ms += 40)
        m_writer.pushVideo(picture(384, 288), quint64(qint64(kStart) + ms * qint64(kMs)));
    for (int ms = -200; ms < 400; ms += 40) audio(ms);
    ASSERT_TRUE(m_writer.finish().ok());
    const std::vector<int> times = packetTimesMs(m_path, QStringLiteral("v"));
    ASSERT_FALSE(times.empty());
    EXPECT_EQ(times.front(), 0);
    EXPECT_EQ(times.size(), 10u);
    EXPECT_GE(packetTimesMs(m_path, QStringLiteral("a")).front(), 0);
}

TEST_F(AsfWriterFeed, SoundStartingLateIsPaddedSoItStaysInStepWithThePicture) {
    open(0);
    for (int ms = 0; ms < 2000; ms += 40) video(quint64(ms));
    for (int ms = 500; ms < 2000; ms += 40)  // the first half second of sound is missing
        audio(ms);
    ASSERT_TRUE(m_writer.finish().ok());
    const std::vector<int> sound = packetTimesMs(m_path, QStringLiteral("a"));
    ASSERT_FALSE(sound.empty());
    // The last sound packet ends where the picture ends, not half a second early.
    EXPECT_NEAR(sound.back(), 2000, 100);
}

TEST_F(AsfWriterFeed, GapInTheSoundIsFilledWithSilence) {
    open(0);
    for (int ms = 0; ms < 2000; ms += 40) video(quint64(ms));
    for (int ms = 0; ms < 2000; ms += 40)
        if (ms < 600 || ms >= 1200) audio(ms);
    ASSERT_TRUE(m_writer.finish().ok());
    EXPECT_NEAR(packetTimesMs(m_path, QStringLiteral("a")).back(), 2000, 100);
}

TEST_F(AsfWriterFeed, DurationLimitEndsTheFileByItselfAtTheLimit) {
    open(1000);
    for (int ms = 0; ms < 3000 && !m_ended; ms += 40) {
        video(quint64(ms));
        audio(ms);
    }
    ASSERT_TRUE(test::waitFor([&] { return m_ended.load(); }, 5000));
    EXPECT_TRUE(m_endedOk);
    ASSERT_TRUE(m_writer.finish().ok());
    const std::vector<int> pictures = packetTimesMs(m_path, QStringLiteral("v"));
    EXPECT_EQ(pictures.size(), 25u);
    EXPECT_EQ(pictures.back(), 960);
    EXPECT_LE(packetTimesMs(m_path, QStringLiteral("a")).back(), 1000);
    EXPECT_EQ(m_writer.statistics().durationMs, 1000);
}

TEST_F(AsfWriterFeed, PushesAfterTheEndAreIgnored) {
    open(0);
    video(0);
    audio(0);
    ASSERT_TRUE(m_writer.finish().ok());
    const qint64 bytes = m_writer.statistics().fileBytes;
    video(40);
    audio(40);
    EXPECT_TRUE(m_writer.finish().ok());
    EXPECT_EQ(m_writer.statistics().fileBytes, bytes);
}

}  // namespace
}  // namespace kelm
