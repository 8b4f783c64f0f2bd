#include "AsfWriter.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cmath>

namespace kelm {
namespace {

// How much the streaming threads may run ahead of the writer before samples
// are dropped: about ten seconds of pictures and sound.
constexpr std::size_t kMaxQueuedItems = 1500;
// When one stream has reached the duration limit and the other has not, the
// recording still ends once the first has run this much further.
constexpr qint64 kLimitGraceNs = 2'000'000'000;
constexpr qint64 kNsPerSecond = 1'000'000'000;

}  // namespace

AsfWriter::~AsfWriter() {
    finish();
}

EncoderStatus AsfWriter::open(const QString& path, const EncoderProfile& profile, int width,
                              int height, qint64 durationLimitMs,
                              const EncoderLookup& encoderAvailable) {
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
    m_channels = profile.channels;
    m_sampleRate = profile.sampleRate;

    // Video: constant frame rate, numbered from 0 in a 1/fps time base; key
    // frames at the profile's spacing; no B-frames (the format has none).
    m_video.reset(avcodec_alloc_context3(videoCodec));
    m_video->width = m_width;
    m_video->height = m_height;
    m_video->pix_fmt = AV_PIX_FMT_YUV420P;
    m_video->time_base = AVRational{profile.frameRateDen, profile.frameRateNum};
    m_video->framerate = AVRational{profile.frameRateNum, profile.frameRateDen};
    m_video->bit_rate = profile.videoBitrate;
    m_video->gop_size = profile.keyFrameSpacingFrames();
    m_video->max_b_frames = 0;
    m_video->sample_aspect_ratio = AVRational{1, 1};

    m_audio.reset(avcodec_alloc_context3(audioCodec));
    m_audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_audio->sample_rate = profile.sampleRate;
    av_channel_layout_default(&m_audio->ch_layout, profile.channels);
    m_audio->bit_rate = profile.audioBitrate;
    m_audio->time_base = AVRational{1, profile.sampleRate};

    AVFormatContext* raw = nullptr;
    const QByteArray nativePath = path.toLocal8Bit();
    int rc = avformat_alloc_output_context2(&raw, nullptr, "asf", nativePath.constData());
    if (rc < 0 || !raw)
        return engineStatus(EngineFailure::Encoding,
                            QStringLiteral("ASF muxer: ") + avErrorText(rc));
    m_output.reset(raw);
    if (m_output->oformat->flags & AVFMT_GLOBALHEADER) {
        m_video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        m_audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // Settings the encoder cannot honour are the profile's fault.
    if ((rc = avcodec_open2(m_video.get(), videoCodec, nullptr)) < 0)
        return engineStatus(
            EngineFailure::ProfileRefused,
            QStringLiteral("video encoder refuses the profile: ") + avErrorText(rc));
    if ((rc = avcodec_open2(m_audio.get(), audioCodec, nullptr)) < 0)
        return engineStatus(
            EngineFailure::ProfileRefused,
            QStringLiteral("audio encoder refuses the profile: ") + avErrorText(rc));

    // Audio first (stream 1), video second (stream 2), as the profile orders them.
    m_audioStream = avformat_new_stream(m_output.get(), nullptr);
    m_videoStream = avformat_new_stream(m_output.get(), nullptr);
    if (!m_audioStream || !m_videoStream)
        return engineStatus(EngineFailure::Encoding, QStringLiteral("cannot add the streams"));
    avcodec_parameters_from_context(m_audioStream->codecpar, m_audio.get());
    avcodec_parameters_from_context(m_videoStream->codecpar, m_video.get());
    m_audioStream->time_base = m_audio->time_base;
    m_videoStream->time_base = m_video->time_base;
    m_videoStream->avg_frame_rate = m_video->framerate;

    if ((rc = avio_open2(&m_output->pb, nativePath.constData(), AVIO_FLAG_WRITE, nullptr,
                         nullptr)) < 0)
        return engineStatus(EngineFailure::OutputFile,
                            QStringLiteral("cannot create %1: %2").arg(path, avErrorText(rc)));
    if ((rc = avformat_write_header(m_output.get(), nullptr)) < 0)
        return engineStatus(EngineFailure::OutputFile,
                            QStringLiteral("cannot write the header: ") + avErrorText(rc));
    avio_flush(m_output->pb);
    m_fileBytes = avio_tell(m_output->pb);

    m_videoFrame.reset(av_frame_alloc());
    m_videoFrame->format = AV_PIX_FMT_YUV420P;
    m_videoFrame->width = m_width;
    m_videoFrame->height = m_height;
    m_audioFrame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (av_frame_get_buffer(m_videoFrame.get(), 0) < 0)
        return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    m_audioFifo.assign(static_cast<std::size_t>(m_channels), {});

    m_frameDurationNs = kNsPerSecond * profile.frameRateDen / profile.frameRateNum;
    if (durationLimitMs > 0) {
        m_videoLimitFrames = std::max<qint64>(
            1, (durationLimitMs * profile.frameRateNum + 500LL * profile.frameRateDen) /
                   (1000LL * profile.frameRateDen));
        m_audioLimitSamples = durationLimitMs * profile.sampleRate / 1000;
    }
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
    push({ItemKind::Video, std::move(sample), runningTimeNs});
}

void AsfWriter::pushAudio(gst::SamplePtr sample, quint64 runningTimeNs) {
    push({ItemKind::Audio, std::move(sample), runningTimeNs});
}

void AsfWriter::push(Item item) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting) return;
        if (item.kind != ItemKind::End && m_queue.size() >= kMaxQueuedItems) {
            ++m_droppedItems;
            return;
        }
        if (item.kind == ItemKind::End) m_accepting = false;
        m_queue.push_back(std::move(item));
    }
    m_wake.notify_one();
}

EncoderStatus AsfWriter::finish() {
    if (m_thread.joinable()) {
        push({ItemKind::End, nullptr, 0});
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
    s.audioBytes = m_audioBytes.load(std::memory_order_relaxed);
    s.videoBytes = m_videoBytes.load(std::memory_order_relaxed);
    s.durationMs = m_durationMs.load(std::memory_order_relaxed);
    s.videoFrames = m_videoFramesOut.load(std::memory_order_relaxed);
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
        if (item.kind == ItemKind::End) {
            close(EndReason::Stopped);
            return;
        }
        const bool ok = item.kind == ItemKind::Video
                            ? writeVideo(item.sample.get(), item.runningTimeNs)
                            : writeAudio(item.sample.get(), item.runningTimeNs);
        item.sample.reset();
        if (!ok || limitReached()) {
            {
                std::lock_guard lock(m_mutex);
                m_accepting = false;
                m_queue.clear();
            }
            // A failed recording is still closed as well as it can be.
            close(ok ? EndReason::LimitReached : EndReason::Stopped);
            if (m_endedByItself) m_endedByItself(m_status);
            return;
        }
    }
}

bool AsfWriter::limitReached() const {
    if (m_videoLimitFrames <= 0) return false;
    const bool videoDone = m_videoFramesIn >= m_videoLimitFrames;
    const bool audioDone = m_audioSamplesIn >= m_audioLimitSamples;
    if (videoDone && audioDone) return true;
    // One stream stalled: end when the other is well past the limit.
    const qint64 graceFrames = kLimitGraceNs / std::max<qint64>(1, m_frameDurationNs);
    const qint64 graceSamples = kLimitGraceNs / kNsPerSecond * m_sampleRate;
    return m_videoFramesIn >= m_videoLimitFrames + graceFrames ||
           m_audioSamplesIn >= m_audioLimitSamples + graceSamples;
}

bool AsfWriter::writeVideo(GstSample* sample, quint64 runningTimeNs) {
    // The frame number follows the picture's time, so pictures lost on the
    // way leave a gap instead of pulling everything after them forward; the
    // pipeline's constant rate makes it the next number otherwise.
    const qint64 sinceStartNs = static_cast<qint64>(runningTimeNs) - static_cast<qint64>(m_startNs);
    if (sinceStartNs + m_frameDurationNs / 2 < 0)
        return true;  // from before the start: the live preview's only
    const qint64 byTime = (sinceStartNs + m_frameDurationNs / 2) / m_frameDurationNs;
    const qint64 frameNumber = std::max(m_videoFramesIn, byTime);
    if (m_videoLimitFrames > 0 && frameNumber >= m_videoLimitFrames) {
        m_videoFramesIn = frameNumber + 1;  // counts towards the stall grace only
        return true;
    }
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420 ||
        GST_VIDEO_INFO_WIDTH(&info) < m_width || GST_VIDEO_INFO_HEIGHT(&info) < m_height)
        return true;  // a picture of another size (a source change): skipped
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ))
        return true;
    if (av_frame_make_writable(m_videoFrame.get()) < 0) {
        gst_video_frame_unmap(&frame);
        fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
        return false;
    }
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? m_width : m_width / 2;
        const int h = plane == 0 ? m_height : m_height / 2;
        av_image_copy_plane(m_videoFrame->data[plane], m_videoFrame->linesize[plane],
                            static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, plane)),
                            GST_VIDEO_FRAME_PLANE_STRIDE(&frame, plane), w, h);
    }
    gst_video_frame_unmap(&frame);
    m_videoFrame->pts = frameNumber;
    m_videoFramesIn = frameNumber + 1;
    return sendFrame(m_video.get(), m_videoStream, m_videoFrame.get());
}

bool AsfWriter::writeAudio(GstSample* sample, quint64 runningTimeNs) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return true;
    const auto* pcm = reinterpret_cast<const qint16*>(map.data);
    qint64 frames = static_cast<qint64>(map.size) / (2 * m_channels);
    qint64 skip = 0;
    if (!m_audioStarted) {
        // Align the first sample with the start: pad with silence when the
        // sound starts late, drop what lies before the start.
        const qint64 offset =
            (static_cast<qint64>(runningTimeNs) - static_cast<qint64>(m_startNs)) * m_sampleRate /
            kNsPerSecond;
        if (offset + frames <= 0) {
            gst_buffer_unmap(buffer, &map);
            return true;
        }
        m_audioStarted = true;
        if (offset < 0) {
            skip = -offset;
        } else {
            const qint64 pad = std::min<qint64>(offset, m_sampleRate);
            for (auto& channel : m_audioFifo)
                channel.insert(channel.end(), static_cast<std::size_t>(pad), 0.0f);
            m_audioSamplesIn += pad;
        }
    } else {
        // A gap in the sound (an overrun, samples dropped on the way) is
        // filled with silence, so the sound stays in step with the picture.
        const qint64 position =
            (static_cast<qint64>(runningTimeNs) - static_cast<qint64>(m_startNs)) * m_sampleRate /
            kNsPerSecond;
        const qint64 gap = position - m_audioSamplesIn;
        if (gap > m_sampleRate / 10) {
            const qint64 pad = std::min<qint64>(gap, m_sampleRate);
            for (auto& channel : m_audioFifo)
                channel.insert(channel.end(), static_cast<std::size_t>(pad), 0.0f);
            m_audioSamplesIn += pad;
        }
    }
    if (m_audioLimitSamples > 0) {
        const qint64 room = std::max<qint64>(0, m_audioLimitSamples - m_audioSamplesIn);
        if (frames - skip > room) {
            m_audioSamplesIn += frames - skip - room;  // beyond the limit: counted, not kept
            frames = skip + room;
        }
    }
    for (qint64 i = skip; i < frames; ++i)
        for (int c = 0; c < m_channels; ++c)
            m_audioFifo[static_cast<std::size_t>(c)].push_back(pcm[i * m_channels + c] / 32768.0f);
    m_audioSamplesIn += std::max<qint64>(0, frames - skip);
    gst_buffer_unmap(buffer, &map);
    return encodeAudioFrames(false);
}

// Sends every whole encoder frame waiting in the FIFO; with flushPartial the
// remainder too, padded with silence.
bool AsfWriter::encodeAudioFrames(bool flushPartial) {
    const auto frameSize = static_cast<std::size_t>(m_audio->frame_size);
    while (!m_audioFifo.empty() &&
           (m_audioFifo[0].size() >= frameSize || (flushPartial && !m_audioFifo[0].empty()))) {
        m_audioFrame->nb_samples = m_audio->frame_size;
        m_audioFrame->format = m_audio->sample_fmt;
        av_channel_layout_copy(&m_audioFrame->ch_layout, &m_audio->ch_layout);
        m_audioFrame->sample_rate = m_sampleRate;
        if (av_frame_get_buffer(m_audioFrame.get(), 0) < 0) {
            fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
            return false;
        }
        for (int c = 0; c < m_channels; ++c) {
            auto& fifo = m_audioFifo[static_cast<std::size_t>(c)];
            const std::size_t n = std::min(frameSize, fifo.size());
            auto* out = reinterpret_cast<float*>(m_audioFrame->extended_data[c]);
            std::copy_n(fifo.begin(), n, out);
            std::fill(out + n, out + frameSize, 0.0f);
            fifo.erase(fifo.begin(), fifo.begin() + static_cast<std::ptrdiff_t>(n));
        }
        m_audioFrame->pts = m_audioFramesOut++ * m_audio->frame_size;
        const bool ok = sendFrame(m_audio.get(), m_audioStream, m_audioFrame.get());
        av_frame_unref(m_audioFrame.get());
        if (!ok) return false;
    }
    return true;
}

bool AsfWriter::sendFrame(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int rc = avcodec_send_frame(codec, frame);
    if (rc < 0 && rc != AVERROR_EOF) {
        fail(EngineFailure::Encoding,
             QStringLiteral("encoder refused a frame: ") + avErrorText(rc));
        return false;
    }
    for (;;) {
        rc = avcodec_receive_packet(codec, m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) {
            fail(EngineFailure::Encoding, QStringLiteral("encoding failed: ") + avErrorText(rc));
            return false;
        }
        // The audio encoder's first packet only primes its overlap: it lies
        // before 0 and would shift the whole file. It is left out.
        if (m_packet->pts != AV_NOPTS_VALUE && m_packet->pts < 0) {
            av_packet_unref(m_packet.get());
            continue;
        }
        if (codec == m_video.get()) m_packet->duration = 1;
        const qint64 payload = m_packet->size;
        m_packet->stream_index = stream->index;
        av_packet_rescale_ts(m_packet.get(), codec->time_base, stream->time_base);
        const qint64 endMs = av_rescale_q(m_packet->pts + m_packet->duration, stream->time_base,
                                          AVRational{1, 1000});
        rc = av_interleaved_write_frame(m_output.get(), m_packet.get());
        if (rc < 0) {
            fail(EngineFailure::OutputFile,
                 QStringLiteral("cannot write the file: ") + avErrorText(rc));
            return false;
        }
        avio_flush(m_output->pb);
        if (m_output->pb->error < 0) {
            fail(EngineFailure::OutputFile,
                 QStringLiteral("cannot write the file: ") + avErrorText(m_output->pb->error));
            return false;
        }
        (codec == m_video.get() ? m_videoBytes : m_audioBytes)
            .fetch_add(payload, std::memory_order_relaxed);
        if (codec == m_video.get()) m_videoFramesOut.fetch_add(1, std::memory_order_relaxed);
        m_fileBytes.store(avio_tell(m_output->pb), std::memory_order_relaxed);
        if (endMs > m_durationMs.load(std::memory_order_relaxed))
            m_durationMs.store(endMs, std::memory_order_relaxed);
    }
}

void AsfWriter::close(EndReason reason) {
    if (m_closed || !m_openOk) return;
    m_closed = true;
    if (m_status.ok()) {
        // The last partial frame of sound, padded. A stopped recording gets one
        // more silent frame, which pushes the encoder's last real frame out;
        // a timed one ends within one sound frame of its limit and no later.
        bool ok = encodeAudioFrames(true);
        if (ok && reason == EndReason::Stopped && m_audioFramesOut > 0) {
            for (auto& channel : m_audioFifo)
                channel.assign(static_cast<std::size_t>(m_audio->frame_size), 0.0f);
            ok = encodeAudioFrames(true);
        }
        if (ok) ok = sendFrame(m_video.get(), m_videoStream, nullptr);
        if (ok) sendFrame(m_audio.get(), m_audioStream, nullptr);
    }
    const int rc = av_write_trailer(m_output.get());
    if (rc < 0 && m_status.ok())
        fail(EngineFailure::OutputFile,
             QStringLiteral("cannot finish the file: ") + avErrorText(rc));
    avio_flush(m_output->pb);
    // The trailer rewrites the header, so the position is no longer the end.
    const qint64 size = avio_size(m_output->pb);
    if (size > 0) m_fileBytes.store(size, std::memory_order_relaxed);
    m_output.reset();
    m_video.reset();
    m_audio.reset();
}

void AsfWriter::fail(EngineFailure failure, const QString& detail) {
    if (m_status.ok()) m_status = engineStatus(failure, detail);
}

}  // namespace kelm
