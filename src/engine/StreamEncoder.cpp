#include "StreamEncoder.h"

namespace kelm {

CodecStream::CodecStream(PacketSink& sink, qint64 packetDuration)
    : m_sink(sink), m_packetDuration(packetDuration), m_packet(av_packet_alloc()) {}

AVCodecContext* CodecStream::allocate(const AVCodec* codec) {
    m_codecType = codec;
    m_codec.reset(avcodec_alloc_context3(codec));
    return m_codec.get();
}

EncoderStatus CodecStream::open(AVFormatContext* output, const QString& what) {
    if (!m_codec || !m_packet)
        return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    if (output->oformat->flags & AVFMT_GLOBALHEADER) m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Settings the encoder cannot honour are the profile's fault.
    int rc = avcodec_open2(m_codec.get(), m_codecType, nullptr);
    if (rc < 0)
        return engineStatus(
            EngineFailure::ProfileRefused,
            QStringLiteral("%1 encoder refuses the profile: %2").arg(what, avErrorText(rc)));
    m_stream = avformat_new_stream(output, nullptr);
    if (!m_stream)
        return engineStatus(EngineFailure::Encoding,
                            QStringLiteral("cannot add the %1 stream").arg(what));
    if ((rc = avcodec_parameters_from_context(m_stream->codecpar, m_codec.get())) < 0)
        return engineStatus(EngineFailure::Encoding, avErrorText(rc));
    m_stream->time_base = m_codec->time_base;
    if (m_codec->framerate.num > 0) m_stream->avg_frame_rate = m_codec->framerate;
    return EncoderStatus::success();
}

bool CodecStream::send(AVFrame* frame) {
    int rc = avcodec_send_frame(m_codec.get(), frame);
    if (rc < 0 && rc != AVERROR_EOF) {
        m_sink.fail(EngineFailure::Encoding,
                    QStringLiteral("encoder refused a frame: ") + avErrorText(rc));
        return false;
    }
    for (;;) {
        rc = avcodec_receive_packet(m_codec.get(), m_packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) {
            m_sink.fail(EngineFailure::Encoding,
                        QStringLiteral("encoding failed: ") + avErrorText(rc));
            return false;
        }
        // A packet before 0 only primes the encoder (the sound encoder's
        // first overlap): it would shift the whole file, so it is left out.
        if (m_packet->pts != AV_NOPTS_VALUE && m_packet->pts < 0) {
            av_packet_unref(m_packet.get());
            continue;
        }
        if (!write(m_packet.get())) return false;
    }
}

bool CodecStream::writeOwnPacket(AVPacket* packet) {
    return write(packet);
}

bool CodecStream::write(AVPacket* packet) {
    if (m_packetDuration > 0) packet->duration = m_packetDuration;
    const qint64 payload = packet->size;
    const bool key = packet->flags & AV_PKT_FLAG_KEY;
    packet->stream_index = m_stream->index;
    av_packet_rescale_ts(packet, m_codec->time_base, m_stream->time_base);
    const bool ok = m_sink.writePacket(packet);
    av_packet_unref(packet);
    if (!ok) return false;
    m_lastPacketBytes = payload;
    m_lastPacketKey = key;
    m_payloadBytes.fetch_add(payload, std::memory_order_relaxed);
    m_packets.fetch_add(1, std::memory_order_relaxed);
    return true;
}

}  // namespace kelm
