// What a recording's file says about itself, read back from the file: the
// creation date (to the millisecond, from the header's own bytes), title,
// author and the plan as ffprobe reads them, a maximum bit rate that covers
// the whole file, and a name that is already taken left alone.

#include "AsfWriter.h"
#include "EngineTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gst/gst.h>

#include <cerrno>
#include <random>

#include <gtest/gtest.h>

namespace kelm {
namespace {

constexpr quint64 kMs = 1'000'000;

gst::SamplePtr noisyPicture(int width, int height, unsigned seed) {
    const gsize size = static_cast<gsize>(width * height * 3 / 2);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::mt19937 random(seed);
    for (gsize i = 0; i < size; ++i) map.data[i] = static_cast<guint8>(random());
    gst_buffer_unmap(buffer, &map);
    gst::CapsPtr caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                          G_TYPE_INT, width, "height", G_TYPE_INT, height,
                                          "framerate", GST_TYPE_FRACTION, 25, 1, nullptr));
    gst::SamplePtr sample(gst_sample_new(buffer, caps.get(), nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

gst::SamplePtr silence(int frames) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(frames) * 4, nullptr);
    gst_buffer_memset(buffer, 0, 0, gsize(frames) * 4);
    gst::SamplePtr sample(gst_sample_new(buffer, nullptr, nullptr, nullptr));
    gst_buffer_unref(buffer);
    return sample;
}

// The file properties object of an ASF header, read from the file's bytes.
struct FileProperties {
    bool found = false;
    qint64 creationMsSinceEpoch = 0;
    quint32 maximumBitrate = 0;
};

FileProperties fileProperties(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(4096);
    const QByteArray guid = QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365");
    const qsizetype at = head.indexOf(guid);
    if (at < 0 || at + 104 > head.size()) return {};
    auto le = [&](qsizetype offset, int bytes) {
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | quint8(head[at + offset + i]);
        return v;
    };
    FileProperties p;
    p.found = true;
    // 100 ns steps since 1601-01-01.
    p.creationMsSinceEpoch = qint64(le(48, 8) / 10000) - 11644473600000;
    p.maximumBitrate = quint32(le(100, 4));
    return p;
}

QJsonObject formatTags(const QString& path) {
    return test::probe(path)
        .value(QStringLiteral("format"))
        .toObject()
        .value(QStringLiteral("tags"))
        .toObject();
}

class AsfHeader : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(
            EncoderProfile::parse(EncoderProfile::builtInText(BuiltInProfile::Tv), &m_profile)
                .ok());
    }

    EncoderStatus open() {
        return m_writer.open(m_path, m_profile, 384, 288, 0, [](const QString&) { return true; });
    }

    // Seconds of noise at the profile's rates, then the finished file.
    void record(int seconds) {
        ASSERT_TRUE(open().ok());
        const quint64 start = 5000 * kMs;
        m_writer.start(start, [](const EncoderStatus&) {});
        for (int f = 0; f < seconds * 25; ++f)
            m_writer.pushVideo(noisyPicture(384, 288, unsigned(f)), start + quint64(f) * 40 * kMs);
        for (int part = 0; part < seconds * 10; ++part)
            m_writer.pushAudio(silence(4800), start + quint64(part) * 100 * kMs);
        ASSERT_TRUE(m_writer.finish().ok());
    }

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("h.wmv"));
    EncoderProfile m_profile;
    AsfWriter m_writer;
};

TEST_F(AsfHeader, CreationDateIsTheFirstSampleToTheMillisecond) {
    const QDateTime first =
        QDateTime::fromString(QStringLiteral("2026-03-29T00:59:58.437Z"), Qt::ISODateWithMs);
    ASSERT_TRUE(first.isValid());
    m_writer.setDescription({}, first);
    record(1);
    const FileProperties p = fileProperties(m_path);
    ASSERT_TRUE(p.found);
    EXPECT_EQ(p.creationMsSinceEpoch, first.toMSecsSinceEpoch());
}

TEST_F(AsfHeader, TitleAuthorAndThePlanSurviveTheRoundTripWithTheirAccents) {
    RecordingTags tags;
    tags.title = QStringLiteral("Kék Duna Rádió");
    tags.author = QStringLiteral("KDR–ő");
    tags.plannedStart = QDateTime(QDate(2026, 7, 1), QTime(18, 30), QTimeZone(7200));
    tags.plannedDurationMs = (90 * 60 + 5) * 1000;
    tags.profileName = QStringLiteral("TV műsor");
    m_writer.setDescription(tags, QDateTime::currentDateTimeUtc());
    record(1);
    const QJsonObject t = formatTags(m_path);
    EXPECT_EQ(t.value(QStringLiteral("title")).toString(), tags.title);
    // FFmpeg gives the content description's author its generic name.
    EXPECT_EQ(t.value(QStringLiteral("artist")).toString(), tags.author)
        << QJsonDocument(t).toJson().toStdString();
    EXPECT_EQ(t.value(QStringLiteral("Planned start")).toString(),
              QStringLiteral("2026-07-01T18:30:00+02:00"));
    EXPECT_EQ(t.value(QStringLiteral("Planned duration")).toString(), QStringLiteral("01:30:05"));
    EXPECT_EQ(t.value(QStringLiteral("Profile")).toString(), tags.profileName);
}

TEST_F(AsfHeader, NoPlanNoEntries) {
    m_writer.setDescription({}, QDateTime::currentDateTimeUtc());
    record(1);
    const QJsonObject t = formatTags(m_path);
    for (const char* key : {"title", "artist", "Planned start", "Planned duration", "Profile"})
        EXPECT_FALSE(t.contains(QLatin1StringView(key))) << key;
}

// Players and analysers take the header's maximum for the file's peak; the
// packets' framing, the header and the index come on top of the streams.
TEST_F(AsfHeader, MaximumBitrateCoversTheWholeFileAndTheStreams) {
    record(4);
    const FileProperties p = fileProperties(m_path);
    ASSERT_TRUE(p.found);
    const double seconds = test::probe(m_path)
                               .value(QStringLiteral("format"))
                               .toObject()
                               .value(QStringLiteral("duration"))
                               .toString()
                               .toDouble();
    ASSERT_GT(seconds, 3.9);
    const double overall = double(QFileInfo(m_path).size()) * 8 / seconds;
    EXPECT_GE(double(p.maximumBitrate), overall);
    EXPECT_GE(p.maximumBitrate, quint32(m_profile.videoBitrate + m_profile.audioBitrate));
    EXPECT_LT(double(p.maximumBitrate), overall * 1.05) << "the file's rate, not a guess";
}

TEST_F(AsfHeader, ExistingFileOfTheNameIsNeverOpened) {
    QFile existing(m_path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("an earlier recording");
    existing.close();
    const EncoderStatus status = open();
    EXPECT_EQ(status.code, EncoderErrorCode::FileExists);
    EXPECT_EQ(status.description, m_path + QStringLiteral(" already exists"));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("an earlier recording"));
    EXPECT_TRUE(m_writer.finish().ok()) << "nothing ran, so nothing more fails";
}

TEST_F(AsfHeader, FolderOfTheNameTakesItToo) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("h.wmv")));
    EXPECT_EQ(open().code, EncoderErrorCode::FileExists);
    EXPECT_TRUE(QFileInfo(m_path).isDir());
}

// The kernel's calls, except that no write reaches the disk.
class UnwritableDisk final : public FileCalls {
public:
    int open(const char* path, int flags, mode_t mode) override {
        return m_real.open(path, flags, mode);
    }
    ssize_t pwrite(int, const void*, size_t, off_t) override {
        errno = EIO;
        return -1;
    }
    int reserve(int fd, off_t offset, off_t length) override {
        return m_real.reserve(fd, offset, length);
    }
    int truncate(int fd, off_t size) override { return m_real.truncate(fd, size); }
    int linkCount(int fd) override { return m_real.linkCount(fd); }
    int close(int fd) override { return m_real.close(fd); }

private:
    PosixFileCalls m_real;
};

TEST_F(AsfHeader, OpenThatFailsAfterCreatingTheFileRemovesItAgain) {
    m_writer.setFileCalls(std::make_shared<UnwritableDisk>());
    const EncoderStatus status = open();
    EXPECT_EQ(status.code, EncoderErrorCode::WriteFault) << status.description.toStdString();
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "a failed start leaves nothing behind";
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

}  // namespace
}  // namespace kelm
