#pragma once

#include "AvHandles.h"
#include "EngineError.h"

#include <QString>

#include <gst/gst.h>

#include <atomic>
#include <functional>

namespace kelm {

// Where the stream encoders' packets go (the one muxer), and where their
// failures are told. Called on the writer thread only.
class PacketSink {
public:
    // Muxes one packet whose times are in its stream's time base. false when
    // the file failed; the failure is then already recorded.
    virtual bool writePacket(AVPacket* packet) = 0;
    virtual void fail(EngineFailure failure, const QString& detail) = 0;

protected:
    ~PacketSink() = default;
};

// How a recording ends, as the encoders see it.
enum class DrainKind {
    Stopped,       // stopped by hand: everything taken in is written
    LimitReached,  // the duration limit: nothing beyond it is written
};

// One stream of the file: its libavcodec encoder, its stream in the muxer and
// the packets between them. The stream encoders own one each.
class CodecStream final {
public:
    // `packetDuration`: the duration every packet gets, in the codec's time
    // base; 0 keeps the encoder's own.
    CodecStream(PacketSink& sink, qint64 packetDuration);

    // Allocates the encoder; the caller sets its parameters and then calls open().
    AVCodecContext* allocate(const AVCodec* codec);
    // Opens the encoder and adds its stream to `output`. On failure the
    // status says why (ProfileRefused: the encoder refuses the settings).
    EncoderStatus open(AVFormatContext* output, const QString& what);

    // Encodes one frame (nullptr: drains the encoder) and writes its packets.
    bool send(AVFrame* frame);
    // Writes one packet made without the encoder, in the codec's time base.
    bool writeOwnPacket(AVPacket* packet);

    AVCodecContext* context() const { return m_codec.get(); }
    qint64 payloadBytes() const { return m_payloadBytes.load(std::memory_order_relaxed); }
    qint64 packets() const { return m_packets.load(std::memory_order_relaxed); }
    // Bytes of the last packet written, and whether it was a key frame.
    qint64 lastPacketBytes() const { return m_lastPacketBytes; }
    bool lastPacketKey() const { return m_lastPacketKey; }

private:
    bool write(AVPacket* packet);

    PacketSink& m_sink;
    const qint64 m_packetDuration;
    const AVCodec* m_codecType = nullptr;
    av::CodecContextPtr m_codec;
    AVStream* m_stream = nullptr;
    av::PacketPtr m_packet;
    qint64 m_lastPacketBytes = 0;
    bool m_lastPacketKey = false;
    std::atomic<qint64> m_payloadBytes{0};
    std::atomic<qint64> m_packets{0};
};

// One stream's share of a recording: takes the pipeline's samples, turns them
// into frames numbered from 0 and hands them to its CodecStream. Writer
// thread only, except the counters of its CodecStream.
class StreamEncoder {
public:
    virtual ~StreamEncoder() = default;

    // Takes one sample whose first picture or sound sample lies `sinceStartNs`
    // after the start of the recording (negative: before it). false when the
    // recording cannot go on (the failure is told to the sink).
    virtual bool write(GstSample* sample, qint64 sinceStartNs) = 0;
    // Writes what is held back and drains the encoder.
    virtual bool drain(DrainKind kind) = 0;

    // Media time taken in so far, counted from 0, including what lay beyond
    // the limit and was dropped; and the limit (0: none).
    virtual qint64 acceptedNs() const = 0;
    virtual qint64 limitNs() const = 0;

    virtual const CodecStream& codecStream() const = 0;
};

}  // namespace kelm
