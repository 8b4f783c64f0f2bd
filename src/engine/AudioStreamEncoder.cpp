#include "AudioStreamEncoder.h"

#include "GstMaps.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>

namespace kelm {
namespace {

constexpr qint64 kNsPerSecond = 1'000'000'000;

}  // namespace

AudioStreamEncoder::AudioStreamEncoder(PacketSink& sink, const EncoderProfile& profile,
                                       qint64 durationLimitMs)
    : m_sink(sink),
      m_stream(sink, 0),
      m_profile(profile),
      m_channels(profile.channels),
      m_sampleRate(profile.sampleRate) {
    if (durationLimitMs > 0) m_limitSamples = durationLimitMs * m_sampleRate / 1000;
    m_planes.resize(static_cast<std::size_t>(m_channels));
}

EncoderStatus AudioStreamEncoder::open(const AVCodec* codec, AVFormatContext* output) {
    AVCodecContext* c = m_stream.allocate(codec);
    if (!c) return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = m_sampleRate;
    c->bit_rate = m_profile.audioBitrate;
    av_channel_layout_default(&c->ch_layout, m_channels);
    c->time_base = AVRational{1, m_sampleRate};
    const EncoderStatus status = m_stream.open(output, QStringLiteral("audio"));
    if (!status.ok()) return status;
    m_fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, m_channels, std::max(1, c->frame_size)));
    m_frame.reset(av_frame_alloc());
    if (!m_fifo || !m_frame)
        return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    return EncoderStatus::success();
}

qint64 AudioStreamEncoder::acceptedNs() const {
    return m_samplesIn * kNsPerSecond / m_sampleRate;
}

qint64 AudioStreamEncoder::limitNs() const {
    return m_limitSamples * kNsPerSecond / m_sampleRate;
}

bool AudioStreamEncoder::write(GstSample* sample, qint64 sinceStartNs) {
    const gst::BufferMap map(gst_sample_get_buffer(sample));
    if (!map.mapped()) return true;
    const auto* pcm = reinterpret_cast<const qint16*>(map.data());
    qint64 frames = static_cast<qint64>(map.sizeBytes()) / (2 * m_channels);
    const qint64 position = sinceStartNs * m_sampleRate / kNsPerSecond;
    qint64 skip = 0;
    if (!m_started) {
        // Align the first sample with the start.
        if (position + frames <= 0) return true;
        m_started = true;
        if (position < 0)
            skip = -position;
        else if (!appendSilence(std::min<qint64>(position, m_sampleRate)))
            return false;
    } else {
        const qint64 gap = position - m_samplesIn;
        if (gap > m_sampleRate / 10 && !appendSilence(std::min<qint64>(gap, m_sampleRate)))
            return false;
    }
    frames -= skip;
    if (m_limitSamples > 0) {
        const qint64 room = std::max<qint64>(0, m_limitSamples - m_samplesIn);
        if (frames > room) {
            m_samplesIn += frames - room;  // beyond the limit: counted, not kept
            frames = room;
        }
    }
    if (frames > 0 && !append(pcm + skip * m_channels, frames)) return false;
    return encodeFrames(false);
}

bool AudioStreamEncoder::appendSilence(qint64 frames) {
    if (frames <= 0) return true;
    for (auto& plane : m_planes) plane.assign(static_cast<std::size_t>(frames), 0.0f);
    return toFifo(frames);
}

bool AudioStreamEncoder::append(const qint16* interleaved, qint64 frames) {
    for (int c = 0; c < m_channels; ++c) {
        auto& plane = m_planes[static_cast<std::size_t>(c)];
        plane.resize(static_cast<std::size_t>(frames));
        for (qint64 i = 0; i < frames; ++i)
            plane[static_cast<std::size_t>(i)] = interleaved[i * m_channels + c] / 32768.0f;
    }
    return toFifo(frames);
}

// Moves `frames` samples of the conversion space into the FIFO, which grows
// as needed.
bool AudioStreamEncoder::toFifo(qint64 frames) {
    std::vector<void*> planes;
    for (auto& plane : m_planes) planes.push_back(plane.data());
    if (av_audio_fifo_write(m_fifo.get(), planes.data(), static_cast<int>(frames)) < frames) {
        m_sink.fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
        return false;
    }
    m_samplesIn += frames;
    return true;
}

// Sends every whole encoder frame waiting in the FIFO; withPartial the
// remainder too, padded with silence.
bool AudioStreamEncoder::encodeFrames(bool withPartial) {
    AVCodecContext* c = m_stream.context();
    const int frameSize = c->frame_size;
    for (;;) {
        const int waiting = av_audio_fifo_size(m_fifo.get());
        if (waiting <= 0 || (waiting < frameSize && !withPartial)) return true;
        m_frame->nb_samples = frameSize;
        m_frame->format = c->sample_fmt;
        m_frame->sample_rate = m_sampleRate;
        av_channel_layout_copy(&m_frame->ch_layout, &c->ch_layout);
        if (av_frame_get_buffer(m_frame.get(), 0) < 0) {
            m_sink.fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
            return false;
        }
        const int got =
            av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(m_frame->extended_data),
                               std::min(waiting, frameSize));
        if (got < frameSize)
            av_samples_set_silence(m_frame->extended_data, std::max(got, 0),
                                   frameSize - std::max(got, 0), m_channels, c->sample_fmt);
        m_frame->pts = m_framesOut++ * frameSize;
        const bool ok = m_stream.send(m_frame.get());
        av_frame_unref(m_frame.get());
        if (!ok) return false;
    }
}

// The last partial frame of sound is padded. A stopped recording gets one
// more silent frame, which pushes the encoder's last real frame out; a timed
// one ends within one sound frame of its limit and no later.
bool AudioStreamEncoder::drain(DrainKind kind) {
    if (!encodeFrames(true)) return false;
    if (kind == DrainKind::Stopped && m_framesOut > 0) {
        const int frameSize = m_stream.context()->frame_size;
        const qint64 before = m_samplesIn;
        if (!appendSilence(frameSize) || !encodeFrames(true)) return false;
        m_samplesIn = before;
    }
    return m_stream.send(nullptr);
}

}  // namespace kelm
