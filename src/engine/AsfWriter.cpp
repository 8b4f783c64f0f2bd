#include "AsfWriter.h"

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelm {
namespace {

// How much the streaming threads may run ahead of the writer before samples
// are dropped: about ten seconds of pictures and sound.
constexpr std::size_t kMaxQueuedItems = 1500;
// When one stream has reached the duration limit and the other has not, the
// recording still ends once the first has run this much further.
constexpr qint64 kLimitGraceNs = 2'000'000'000;
// The muxer's data packets, each a whole unit a player can read.
constexpr int kAsfPacketBytes = 3200;
// Room kept free beyond the end of the file for finishing it: what the muxer
// and the encoders may still hand over when the device runs full (a large key
// frame at most), the last data packet, and the index of 6 bytes per second
// of recording (a day where no limit is set).
constexpr qint64 kFinishingReserveBytes = 512 * 1024;
constexpr qint64 kIndexBytesPerSecond = 8;
constexpr qint64 kLongestRecordingS = 24 * 3600;

// The file properties object of an ASF header, as its GUID is stored, and
// where its maximum bit rate lies in it: after the GUID and object size, the
// file id, six 64-bit fields (size, creation date, packets, play and send
// duration, preroll), the flags and the two packet sizes.
constexpr unsigned char kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr qint64 kMaximumBitrateOffset = 16 + 8 + 16 + 6 * 8 + 3 * 4;

// "01:30:00": a planned length as the operator writes it.
QString lengthText(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

AsfWriter::AsfWriter() : m_fileCalls(std::make_shared<PosixFileCalls>()) {}

AsfWriter::~AsfWriter() {
    finish();
}

void AsfWriter::setDescription(const RecordingTags& tags, const QDateTime& firstSampleUtc) {
    m_tags = tags;
    m_firstSampleUtc = firstSampleUtc;
}

// The muxer takes the creation date from "creation_time" and the content
// description from "title" and "author"; every other entry becomes a named
// entry of the extended content description. Strings go in as UTF-8 and are
// written as UTF-16.
void AsfWriter::setMetadata() {
    auto set = [this](const char* key, const QString& value) {
        if (value.isEmpty()) return;
        av_dict_set(&m_output->metadata, key, value.toUtf8().constData(), 0);
    };
    if (m_firstSampleUtc.isValid())
        set("creation_time",
            m_firstSampleUtc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz000Z")));
    set("title", m_tags.title);
    set("author", m_tags.author);
    if (m_tags.plannedStart.isValid())
        set("Planned start",
            m_tags.plannedStart.toOffsetFromUtc(m_tags.plannedStart.offsetFromUtc())
                .toString(Qt::ISODate));
    if (m_tags.plannedDurationMs > 0) set("Planned duration", lengthText(m_tags.plannedDurationMs));
    set("Profile", m_tags.profileName);
}

EncoderStatus AsfWriter::discardCreatedFile(EncoderStatus status) {
    if (m_file) {
        if (m_output) m_output->pb = nullptr;
        m_file.reset();
        ::unlink(m_path.toLocal8Bit().constData());
    }
    return status;
}

EncoderStatus AsfWriter::open(const QString& path, const EncoderProfile& profile, int width,
                              int height, qint64 durationLimitMs,
                              const EncoderLookup& encoderAvailable) {
    m_path = path;
    const QByteArray videoName = profile.videoCodec.toLatin1();
    const QByteArray audioName = profile.audioCodec.toLatin1();
    const AVCodec* videoCodec = encoderAvailable(profile.videoCodec)
                                    ? avcodec_find_encoder_by_name(videoName.constData())
                                    : nullptr;
    if (!videoCodec)
        return engineStatus(
            EngineFailure::VideoCodecMissing,
            QStringLiteral("video encoder %1 is not available").arg(profile.videoCodec));
    const AVCodec* audioCodec = encoderAvailable(profile.audioCodec)
                                    ? avcodec_find_encoder_by_name(audioName.constData())
                                    : nullptr;
    if (!audioCodec)
        return engineStatus(
            EngineFailure::AudioCodecMissing,
            QStringLiteral("audio encoder %1 is not available").arg(profile.audioCodec));

    m_width = width & ~1;
    m_height = height & ~1;
    if (m_width < 16 || m_height < 16)
        return engineStatus(
            EngineFailure::ProfileRefused,
            QStringLiteral("picture size %1x%2 cannot be encoded").arg(width).arg(height));
    m_sampleRate = profile.sampleRate;

    AVFormatContext* raw = nullptr;
    const QByteArray nativePath = path.toLocal8Bit();
    int rc = avformat_alloc_output_context2(&raw, nullptr, "asf", nativePath.constData());
    if (rc < 0 || !raw)
        return engineStatus(EngineFailure::Encoding,
                            QStringLiteral("ASF muxer: ") + avErrorText(rc));
    m_output.reset(raw);

    // Audio first (stream 1), video second (stream 2), as the profile orders them.
    PacketSink& sink = *this;
    m_audio = std::make_unique<AudioStreamEncoder>(sink, profile, durationLimitMs);
    m_video =
        std::make_unique<VideoStreamEncoder>(sink, profile, m_width, m_height, durationLimitMs);
    EncoderStatus status = m_audio->open(audioCodec, m_output.get());
    if (status.ok()) status = m_video->open(videoCodec, m_output.get());
    if (!status.ok()) return status;

    const qint64 recordingS =
        durationLimitMs > 0 ? durationLimitMs / 1000 + 60 : kLongestRecordingS;
    m_file = std::make_unique<OutputFile>(
        m_fileCalls, kFinishingReserveBytes + kIndexBytesPerSecond * recordingS);
    if (const int err = m_file->create(path)) {
        m_file.reset();
        if (err == EEXIST)
            return engineStatus(EngineFailure::FileExists,
                                QStringLiteral("%1 already exists").arg(path));
        m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
        return engineStatus(EngineFailure::OutputFileCreate,
                            QStringLiteral("cannot create %1: %2").arg(path, systemErrorText(err)));
    }
    m_output->pb = m_file->io();
    m_output->flags |= AVFMT_FLAG_CUSTOM_IO;
    av_opt_set_int(m_output->priv_data, "packet_size", kAsfPacketBytes, 0);
    setMetadata();
    rc = avformat_write_header(m_output.get(), nullptr);
    if (rc >= 0) avio_flush(m_output->pb);
    if (const int err = m_file->writeError()) {
        m_failureCause = outputFileCause(OutputFileStage::Write, err, path);
        return discardCreatedFile(engineStatus(
            writeFailureFor(err),
            QStringLiteral("cannot write the header of %1: %2").arg(path, systemErrorText(err))));
    }
    if (rc < 0)
        return discardCreatedFile(
            engineStatus(EngineFailure::Encoding,
                         QStringLiteral("ASF muxer refuses the streams: ") + avErrorText(rc)));
    m_file->setPacketLayout(m_file->sizeBytes(), kAsfPacketBytes);
    m_fileBytes = m_file->sizeBytes();
    m_openOk = true;
    return EncoderStatus::success();
}

void AsfWriter::start(quint64 startRunningTimeNs, EndedByItself endedByItself) {
    if (!m_openOk || m_thread.joinable()) return;
    m_startNs = startRunningTimeNs;
    m_endedByItself = std::move(endedByItself);
    {
        std::lock_guard lock(m_mutex);
        m_accepting = true;
    }
    m_thread = std::thread([this] { run(); });
}

void AsfWriter::pushVideo(gst::SamplePtr sample, quint64 runningTimeNs) {
    push({m_video.get(), std::move(sample), runningTimeNs});
}

void AsfWriter::pushAudio(gst::SamplePtr sample, quint64 runningTimeNs) {
    push({m_audio.get(), std::move(sample), runningTimeNs});
}

void AsfWriter::push(Item item) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting) return;
        if (item.target && m_queue.size() >= kMaxQueuedItems) {
            ++m_droppedItems;
            return;
        }
        if (!item.target) m_accepting = false;
        m_queue.push_back(std::move(item));
    }
    m_wake.notify_one();
}

void AsfWriter::discard() {
    if (!m_openOk || m_closed || m_thread.joinable()) return;
    m_closed = true;
    discardCreatedFile(EncoderStatus::success());
}

EncoderStatus AsfWriter::finish() {
    if (m_thread.joinable()) {
        push({nullptr, nullptr, 0});
        m_thread.join();
    } else if (m_openOk && !m_closed) {
        // Opened but never started: still leave a valid, empty file.
        close(EndReason::Stopped);
    }
    std::lock_guard lock(m_mutex);
    m_accepting = false;
    m_queue.clear();
    return m_status;
}

AsfWriter::Statistics AsfWriter::statistics() const {
    Statistics s;
    s.fileBytes = m_fileBytes.load(std::memory_order_relaxed);
    if (m_audio) s.audioBytes = m_audio->codecStream().payloadBytes();
    if (m_video) {
        s.videoBytes = m_video->codecStream().payloadBytes();
        s.videoFrames = m_video->codecStream().packets();
    }
    s.durationMs = m_durationMs.load(std::memory_order_relaxed);
    return s;
}

void AsfWriter::run() {
    for (;;) {
        Item item;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (!item.target) {
            close(EndReason::Stopped);
            return;
        }
        const qint64 sinceStartNs =
            static_cast<qint64>(item.runningTimeNs) - static_cast<qint64>(m_startNs);
        const bool ok = item.target->write(item.sample.get(), sinceStartNs);
        item.sample.reset();
        if (!ok || limitReached()) {
            {
                std::lock_guard lock(m_mutex);
                m_accepting = false;
                m_queue.clear();
            }
            // A failed recording is still closed as well as it can be.
            close(ok ? EndReason::LimitReached : EndReason::Failed);
            if (m_endedByItself) m_endedByItself(m_status);
            return;
        }
    }
}

bool AsfWriter::limitReached() const {
    const StreamEncoder* streams[] = {m_audio.get(), m_video.get()};
    bool allAtLimit = true;
    for (const StreamEncoder* stream : streams) {
        if (stream->limitNs() <= 0) return false;
        // One stream stalled: end when the other is well past the limit.
        if (stream->acceptedNs() >= stream->limitNs() + kLimitGraceNs) return true;
        allAtLimit = allAtLimit && stream->acceptedNs() >= stream->limitNs();
    }
    return allAtLimit;
}

// The muxer's side of every packet: written and flushed at once, then the
// file is asked whether it can go on.
bool AsfWriter::writePacket(AVPacket* packet) {
    const AVRational timeBase = m_output->streams[packet->stream_index]->time_base;
    const qint64 endMs =
        av_rescale_q(packet->pts + packet->duration, timeBase, AVRational{1, 1000});
    const int rc = av_interleaved_write_frame(m_output.get(), packet);
    if (rc >= 0) avio_flush(m_output->pb);
    if (rc < 0 || m_output->pb->error < 0 || m_file->writeError()) {
        const int err = m_file->writeError()      ? m_file->writeError()
                        : m_output->pb->error < 0 ? AVUNERROR(m_output->pb->error)
                                                  : AVUNERROR(rc);
        failFile(OutputFileStage::Write, err);
        return false;
    }
    m_fileBytes.store(m_file->sizeBytes(), std::memory_order_relaxed);
    if (endMs > m_durationMs.load(std::memory_order_relaxed))
        m_durationMs.store(endMs, std::memory_order_relaxed);
    return fileStillWritable();
}

bool AsfWriter::fileStillWritable() {
    if (const int err = m_file->stopReason()) {
        failFile(m_file->deleted() ? OutputFileStage::Deleted : OutputFileStage::Write, err);
        return false;
    }
    return true;
}

void AsfWriter::failFile(OutputFileStage stage, int errnum) {
    if (!m_status.ok()) return;
    const EngineFailure failure = stage == OutputFileStage::Deleted ? EngineFailure::OutputFileWrite
                                                                    : writeFailureFor(errnum);
    m_status = engineStatus(failure, QStringLiteral("cannot write %1: %2")
                                         .arg(m_path, stage == OutputFileStage::Deleted
                                                          ? QStringLiteral("the file was deleted")
                                                          : systemErrorText(errnum)));
    m_failureCause = outputFileCause(stage, errnum, m_path);
}

void AsfWriter::fail(EngineFailure failure, const QString& detail) {
    if (m_status.ok()) m_status = engineStatus(failure, detail);
}

void AsfWriter::close(EndReason reason) {
    if (m_closed || !m_openOk) return;
    m_closed = true;
    if (m_status.ok()) {
        const DrainKind kind =
            reason == EndReason::LimitReached ? DrainKind::LimitReached : DrainKind::Stopped;
        if (m_audio->drain(kind)) m_video->drain(kind);
    }
    // After a failure of the file the trailer goes into the room kept back
    // for it; where none could be kept the file stays as it was cut.
    const int rc = av_write_trailer(m_output.get());
    if (rc >= 0) avio_flush(m_output->pb);
    if ((rc < 0 || m_file->writeError()) && m_status.ok())
        failFile(OutputFileStage::Write,
                 m_file->writeError() ? m_file->writeError() : AVUNERROR(rc));
    if (rc >= 0 && !m_file->writeError() && !patchMaximumBitrate() && m_status.ok())
        failFile(OutputFileStage::Write, m_file->writeError() ? m_file->writeError() : EIO);
    m_file->close();
    m_fileBytes.store(m_file->sizeBytes(), std::memory_order_relaxed);
}

}  // namespace kelm

namespace kelm {

// Raises the header's maximum bit rate to the finished file's overall rate
// (every byte of it over its play time, rounded up), never below what the
// muxer wrote (the streams' sum). False when the rewrite failed.
bool AsfWriter::patchMaximumBitrate() {
    const qint64 durationMs = m_durationMs.load(std::memory_order_relaxed);
    const QByteArray& head = m_file->headBytes();
    const QByteArray guid(reinterpret_cast<const char*>(kFilePropertiesGuid),
                          sizeof kFilePropertiesGuid);
    const qsizetype at = head.indexOf(guid);
    if (durationMs <= 0 || at < 0 || at + kMaximumBitrateOffset + 4 > head.size()) return true;
    const qint64 field = at + kMaximumBitrateOffset;
    const quint32 written = AV_RL32(head.constData() + field);
    const qint64 overall = (m_file->sizeBytes() * 8000 + durationMs - 1) / durationMs;
    const qint64 wanted = std::min<qint64>(std::max<qint64>(written, overall), UINT32_MAX - 1);
    if (wanted == written) return true;
    AVIOContext* pb = m_output->pb;
    const int64_t end = avio_tell(pb);
    if (avio_seek(pb, field, SEEK_SET) < 0) return false;
    avio_wl32(pb, static_cast<unsigned int>(wanted));
    avio_flush(pb);
    avio_seek(pb, end, SEEK_SET);
    return pb->error >= 0 && !m_file->writeError();
}

}  // namespace kelm
