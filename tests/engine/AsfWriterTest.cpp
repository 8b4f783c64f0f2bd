// The file writer fed directly with samples whose timestamps and sizes the
// test chooses: lost pictures, late sound, sound in odd-sized pieces, samples
// from before the start, the duration limit, a still picture under the radio
// profile's bit rate, and files that cannot be created or written to the end,
// read back with ffprobe and ffmpeg.

#include "AsfWriter.h"
#include "EngineTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gst/gst.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace kelm {
namespace {

constexpr quint64 kMs = 1'000'000;
constexpr quint64 kStart = 10'000 * kMs;  // the pipeline has run 10 s when recording starts

// A picture of one grey, or with `seed` >= 0 a pattern with fine noise on
// it that costs the encoder its full rate (and is the same picture again for
// the same seed).
gst::SamplePtr picture(int width, int height, int seed = -1) {
    const gsize size = static_cast<gsize>(width * height * 3 / 2);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    if (seed < 0) {
        gst_buffer_memset(buffer, 0, 0x80, size);
    } else {
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        std::mt19937 random(static_cast<unsigned>(seed));
        for (gsize i = 0; i < size; ++i)
            map.data[i] = static_cast<guint8>(
                ((i % gsize(width)) + i / gsize(width) + gsize(seed)) ^ (random() & 0x1f));
        gst_buffer_unmap(buffer, &map);
    }
    gst::CapsPtr caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                          G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                          "framerate", GST_TYPE_FRACTION, 25, 1, nullptr));
    gst::SamplePtr sample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

// Stereo S16 silence, or with `firstSample` >= 0 a 440 Hz tone at 48 kHz whose
// first sample is that sample of the tone.
gst::SamplePtr sound(int frames, qint64 firstSample = -1) {
    const gsize size = static_cast<gsize>(frames * 4);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    if (firstSample < 0) {
        gst_buffer_memset(buffer, 0, 0, size);
    } else {
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_WRITE);
        auto* pcm = reinterpret_cast<qint16*>(map.data);
        for (int i = 0; i < frames; ++i)
            pcm[2 * i] = pcm[2 * i + 1] = static_cast<qint16>(
                8000 * std::sin(2 * M_PI * 440 * double(firstSample + i) / 48000));
        gst_buffer_unmap(buffer, &map);
    }
    gst::SamplePtr sample(gst_sample_new(buffer, nullptr, nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

struct Packet {
    int timeMs = 0;
    int sizeBytes = 0;
    bool key = false;
};

// The packets of one stream ("v" or "a") as ffprobe reads them.
std::vector<Packet> packets(const QString& path, const QString& stream) {
    const auto r = test::runTool(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), stream,
         QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time,size,flags"),
         QStringLiteral("-of"), QStringLiteral("json"), path});
    std::vector<Packet> out;
    for (const QJsonValue& p :
         QJsonDocument::fromJson(r.out).object().value(QStringLiteral("packets")).toArray()) {
        const QJsonObject o = p.toObject();
        out.push_back({qRound(o.value(QStringLiteral("pts_time")).toString().toDouble() * 1000),
                       o.value(QStringLiteral("size")).toString().toInt(),
                       o.value(QStringLiteral("flags")).toString().startsWith(u'K')});
    }
    return out;
}

// What ffmpeg says while decoding the whole file: nothing for a sound file.
QString decoderErrors(const QString& path) {
    const auto r =
        test::runTool(QStringLiteral("ffmpeg"),
                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                       QStringLiteral("-i"), path, QStringLiteral("-f"), QStringLiteral("null"),
                       QStringLiteral("-")});
    return QString::fromLocal8Bit(r.err).trimmed();
}

// The duration the file's header gives, in ms; -1 when there is none.
int headerDurationMs(const QString& path) {
    const auto r =
        test::runTool(QStringLiteral("ffprobe"),
                      {QStringLiteral("-v"), QStringLiteral("error"),
                       QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                       QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    bool ok = false;
    const double seconds = QString::fromLocal8Bit(r.out).trimmed().toDouble(&ok);
    return ok ? qRound(seconds * 1000) : -1;
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

    void useRadioProfile() {
        ASSERT_TRUE(
            EncoderProfile::parse(EncoderProfile::builtInText(BuiltInProfile::Radio), &m_profile)
                .ok());
    }

    void open(qint64 limitMs, int width = 384, int height = 288) {
        const EncoderStatus status = m_writer.open(m_path, m_profile, width, height, limitMs,
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
    // One second of pictures and sound from `second` on, at the profile's rates.
    void oneSecond(int second, int pictureSeed, int width = 384, int height = 288) {
        const int frames = m_profile.frameRateNum / m_profile.frameRateDen;
        for (int f = 0; f < frames; ++f)
            m_writer.pushVideo(
                picture(width, height, pictureSeed),
                kStart + quint64(second) * 1000 * kMs + quint64(f) * 1000 * kMs / quint64(frames));
        for (int part = 0; part < 10; ++part)
            m_writer.pushAudio(sound(m_profile.sampleRate / 10),
                               kStart + (quint64(second) * 1000 + quint64(part) * 100) * kMs);
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

// --- Sound in pieces of any size ---------------------------------------------

// Pushes `totalFrames` of the tone in pieces of the given sizes, in turn.
void pushTone(AsfWriter& writer, qint64 totalFrames, const std::vector<int>& pieces) {
    qint64 at = 0;
    for (std::size_t i = 0; at < totalFrames; ++i) {
        const int n = int(std::min<qint64>(pieces[i % pieces.size()], totalFrames - at));
        writer.pushAudio(sound(n, at), kStart + quint64(at * 1'000'000'000 / 48000));
        at += n;
    }
}

TEST_F(AsfWriterFeed, SoundInOddSizedPiecesGivesTheSamePacketsAsInWholeOnes) {
    constexpr qint64 kFrames = 2 * 48000 + 777;
    const QString even = m_dir.filePath(QStringLiteral("even.wmv"));
    {
        AsfWriter writer;
        ASSERT_TRUE(
            writer.open(even, m_profile, 384, 288, 0, [](const QString&) { return true; }).ok());
        writer.start(kStart, {});
        for (int ms = 0; ms < 2000; ms += 40)
            writer.pushVideo(picture(384, 288), kStart + ms * kMs);
        pushTone(writer, kFrames, {1920});
        ASSERT_TRUE(writer.finish().ok());
    }
    open(0);
    for (int ms = 0; ms < 2000; ms += 40) video(quint64(ms));
    // Single samples, pieces just under and over the encoder's frame, and
    // pieces of several frames: the FIFO must frame them all alike.
    pushTone(m_writer, kFrames, {1, 441, 2047, 2049, 7, 6000, 999, 13});
    ASSERT_TRUE(m_writer.finish().ok());

    const std::vector<Packet> expected = packets(even, QStringLiteral("a"));
    const std::vector<Packet> got = packets(m_path, QStringLiteral("a"));
    ASSERT_EQ(got.size(), expected.size());
    ASSERT_GT(got.size(), 40u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].timeMs, expected[i].timeMs) << "packet " << i;
        EXPECT_EQ(got[i].sizeBytes, expected[i].sizeBytes) << "packet " << i;
    }
    EXPECT_NEAR(got.back().timeMs, kFrames * 1000 / 48000, 100);
}

// --- A picture that does not change -------------------------------------------

TEST_F(AsfWriterFeed, StillPictureOfTheRadioProfileStaysWithinItsBitRate) {
    useRadioProfile();
    open(0);
    constexpr int kSeconds = 120;
    for (int second = 0; second < kSeconds; ++second) oneSecond(second, 7);
    ASSERT_TRUE(m_writer.finish().ok());

    const std::vector<Packet> video = packets(m_path, QStringLiteral("v"));
    ASSERT_EQ(video.size(), std::size_t(kSeconds)) << "one frame a second, none left out";
    qint64 bytes = 0;
    int keys = 0;
    for (std::size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].timeMs, int(i) * 1000);
        bytes += video[i].sizeBytes;
        keys += video[i].key;
    }
    // The profile asks for 12000 bit/s; a picture of noise costs a key frame
    // far more than that, so it is not repeated every second.
    EXPECT_LE(bytes * 8 / kSeconds, 14400);
    EXPECT_GE(keys, 2) << "key frames are still refreshed, for seeking";
    EXPECT_EQ(test::decodedVideoFrames(m_path), kSeconds);
    EXPECT_EQ(decoderErrors(m_path), QString());
}

TEST_F(AsfWriterFeed, PicturesThatChangeAreEncodedAsTheProfileSays) {
    useRadioProfile();
    open(0);
    for (int second = 0; second < 10; ++second) oneSecond(second, second);
    ASSERT_TRUE(m_writer.finish().ok());
    const std::vector<Packet> video = packets(m_path, QStringLiteral("v"));
    ASSERT_EQ(video.size(), 10u);
    for (const Packet& p : video) {
        EXPECT_TRUE(p.key) << "a key frame every second, at " << p.timeMs << " ms";
        EXPECT_GT(p.sizeBytes, 1000);
    }
}

TEST_F(AsfWriterFeed, FirstNewPictureAfterRepeatedOnesIsAKeyFrame) {
    open(0);
    for (int f = 0; f < 20; ++f)
        m_writer.pushVideo(picture(384, 288, f < 10 ? 1 : 2), kStart + quint64(f) * 40 * kMs);
    for (int ms = 0; ms < 800; ms += 40) audio(ms);
    ASSERT_TRUE(m_writer.finish().ok());
    const std::vector<Packet> video = packets(m_path, QStringLiteral("v"));
    ASSERT_EQ(video.size(), 20u);
    EXPECT_TRUE(video[0].key);
    for (int f = 1; f < 10; ++f) EXPECT_LT(video[f].sizeBytes, 100) << "frame " << f << " repeats";
    EXPECT_TRUE(video[10].key) << "decoders need not agree on what a repeat leaves behind";
    EXPECT_FALSE(video[11].key);
    EXPECT_EQ(test::decodedVideoFrames(m_path), 20);
    EXPECT_EQ(test::gstDecodedVideoFrames(m_path), 20);
    EXPECT_EQ(decoderErrors(m_path), QString());
}

// --- Files that cannot be created or written -------------------------------------

// The kernel's calls on a device of `capacityBytes`: room beyond it cannot be
// reserved, and a write beyond it writes what fits and then fails with
// `writeErrno`, as on a full or failing disk. Without `reserveOffered` the
// file system does not offer reserving at all.
class SmallDiskCalls final : public FileCalls {
public:
    SmallDiskCalls(qint64 capacityBytes, bool reserveOffered, int writeErrno)
        : m_capacity(capacityBytes), m_reserveOffered(reserveOffered), m_writeErrno(writeErrno) {}
    int open(const char* path, int flags, mode_t mode) override {
        return m_real.open(path, flags, mode);
    }
    ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) override {
        if (offset >= m_capacity) {
            errno = m_writeErrno;
            return -1;
        }
        return m_real.pwrite(fd, data, std::min<size_t>(size, size_t(m_capacity - offset)), offset);
    }
    int reserve(int fd, off_t offset, off_t length) override {
        if (!m_reserveOffered || offset + length > m_capacity) {
            errno = m_reserveOffered ? ENOSPC : EOPNOTSUPP;
            return -1;
        }
        return m_real.reserve(fd, offset, length);
    }
    int truncate(int fd, off_t size) override { return m_real.truncate(fd, size); }
    int linkCount(int fd) override { return m_real.linkCount(fd); }
    int close(int fd) override { return m_real.close(fd); }

private:
    PosixFileCalls m_real;
    const qint64 m_capacity;
    const bool m_reserveOffered;
    const int m_writeErrno;
};

class AsfWriterFileFailure : public AsfWriterFeed {
protected:
    // Records changing pictures (which cost the profile's full rate) until
    // the writer ends by itself, for at most a minute of media.
    void recordUntilTheWriterEnds() {
        for (int second = 0; second < 60 && !m_ended; ++second) {
            for (int f = 0; f < 25; ++f)
                m_writer.pushVideo(picture(384, 288, second * 25 + f),
                                   kStart + (quint64(second) * 1000 + quint64(f) * 40) * kMs);
            for (int part = 0; part < 10; ++part)
                m_writer.pushAudio(sound(4800, 0),
                                   kStart + (quint64(second) * 1000 + quint64(part) * 100) * kMs);
            // Keeps the queue short, so no sample is dropped on the way.
            test::waitFor(
                [&] { return m_ended || m_writer.statistics().durationMs >= second * 1000; },
                10000);
        }
        ASSERT_TRUE(test::waitFor([&] { return m_ended.load(); }, 10000))
            << "the writer must stop by itself";
    }
    void expectFileThatPlaysToItsEnd() {
        EXPECT_EQ(decoderErrors(m_path), QString()) << "no torn packet";
        const std::vector<int> video = packetTimesMs(m_path, QStringLiteral("v"));
        ASSERT_GT(video.size(), 25u);
        EXPECT_EQ(video.front(), 0);
    }
};

TEST_F(AsfWriterFileFailure, FullDeviceEndsTheRecordingAsAFailureWithAFinishedFile) {
    constexpr qint64 kCapacity = 3'000'000;
    m_writer.setFileCalls(std::make_shared<SmallDiskCalls>(kCapacity, true, ENOSPC));
    open(0);
    recordUntilTheWriterEnds();
    EXPECT_FALSE(m_endedOk) << "a full disk is never a normal end";
    const EncoderStatus status = m_writer.finish();
    EXPECT_EQ(status.code, EncoderErrorCode::DiskFull);
    EXPECT_TRUE(m_writer.failureCause().startsWith(QStringLiteral("Nincs elég hely az eszközön: ")))
        << m_writer.failureCause().toStdString();
    EXPECT_TRUE(m_writer.failureCause().contains(m_path));
    EXPECT_LE(QFileInfo(m_path).size(), kCapacity);
    EXPECT_EQ(QFileInfo(m_path).size(), m_writer.statistics().fileBytes);
    expectFileThatPlaysToItsEnd();
    // The room kept back took the index and the header's duration.
    const int lastPictureMs = packetTimesMs(m_path, QStringLiteral("v")).back();
    EXPECT_NEAR(headerDurationMs(m_path), lastPictureMs, 500);
}

struct WriteFailureRow {
    int writeErrno;
    std::uint32_t code;
};

class AsfWriterWriteFailure : public AsfWriterFileFailure,
                              public ::testing::WithParamInterface<WriteFailureRow> {};

TEST_P(AsfWriterWriteFailure, FailedWriteCutsTheFileBackToItsLastWholePacket) {
    // An odd capacity: the failing write tears a data packet in two.
    constexpr qint64 kCapacity = 1'500'001;
    m_writer.setFileCalls(
        std::make_shared<SmallDiskCalls>(kCapacity, false, GetParam().writeErrno));
    open(0);
    const qint64 headerBytes = m_writer.statistics().fileBytes;
    recordUntilTheWriterEnds();
    EXPECT_FALSE(m_endedOk);
    const EncoderStatus finished = m_writer.finish();
    EXPECT_EQ(finished.code, GetParam().code) << finished.description.toStdString();
    const QString cause = m_writer.failureCause();
    EXPECT_TRUE(cause.contains(m_path)) << cause.toStdString();
    EXPECT_TRUE(cause.contains(QString::fromLocal8Bit(std::strerror(GetParam().writeErrno))))
        << cause.toStdString();
    const qint64 size = QFileInfo(m_path).size();
    EXPECT_LE(size, kCapacity);
    EXPECT_EQ((size - headerBytes) % 3200, 0) << "whole data packets only";
    expectFileThatPlaysToItsEnd();
}

INSTANTIATE_TEST_SUITE_P(Errors, AsfWriterWriteFailure,
                         ::testing::Values(WriteFailureRow{ENOSPC, EncoderErrorCode::DiskFull},
                                           WriteFailureRow{EIO, EncoderErrorCode::WriteFault}),
                         [](const auto& info) {
                             return std::string(info.param.writeErrno == EIO ? "IoError"
                                                                             : "NoRoom");
                         });

TEST_F(AsfWriterFileFailure, DeletedFileEndsTheRecordingAsAFailure) {
    open(0);
    oneSecond(0, 1);
    ASSERT_TRUE(test::waitFor([&] { return m_writer.statistics().durationMs >= 500; }, 5000));
    ASSERT_TRUE(QFile::remove(m_path));
    recordUntilTheWriterEnds();
    EXPECT_FALSE(m_endedOk);
    EXPECT_EQ(m_writer.finish().code, EncoderErrorCode::WriteFault);
    EXPECT_EQ(m_writer.failureCause(),
              QStringLiteral("A(z) %1 fájlt a rögzítés közben törölték.").arg(m_path));
}

struct CreateFailureRow {
    const char* name;
    std::function<QString(const QString& dir)> prepare;  // gives the output path
    int expectedErrno;
};

class AsfWriterCreateFailure : public ::testing::TestWithParam<CreateFailureRow> {};

TEST_P(AsfWriterCreateFailure, FileThatCannotBeCreatedIsNotACodecFailure) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EncoderProfile profile;
    ASSERT_TRUE(
        EncoderProfile::parse(EncoderProfile::builtInText(BuiltInProfile::Tv), &profile).ok());
    const QString path = GetParam().prepare(dir.path());
    AsfWriter writer;
    const EncoderStatus status =
        writer.open(path, profile, 384, 288, 0, [](const QString&) { return true; });
    EXPECT_EQ(status.code, EncoderErrorCode::OutputFileCreate);
    const QString reason = QString::fromLocal8Bit(std::strerror(GetParam().expectedErrno));
    EXPECT_TRUE(status.description.contains(path)) << status.description.toStdString();
    EXPECT_TRUE(status.description.contains(reason)) << status.description.toStdString();
    EXPECT_EQ(writer.failureCause(),
              QStringLiteral("A(z) %1 fájl nem hozható létre: %2").arg(path, reason));
    EXPECT_TRUE(writer.finish().ok()) << "nothing ran, so nothing more fails";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AsfWriterCreateFailure,
    ::testing::Values(CreateFailureRow{"FolderMissing",
                                       [](const QString& dir) {
                                           return dir + QStringLiteral("/no/such/a.wmv");
                                       },
                                       ENOENT},
                      CreateFailureRow{"PlainFileWhereTheFolderShouldBe",
                                       [](const QString& dir) {
                                           QFile file(dir + QStringLiteral("/media"));
                                           file.open(QIODevice::WriteOnly);
                                           return dir + QStringLiteral("/media/a.wmv");
                                       },
                                       ENOTDIR}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelm
