#pragma once

#include "StreamEncoder.h"
#include "encoder/EncoderProfile.h"

#include <vector>

namespace kelm {

// The sound of a recording: S16 interleaved samples at the profile's rate
// and channel count, gathered in an audio FIFO and handed to the encoder in
// its own frame size, numbered from sample 0.
//
// The first sample lies at 0: sound that starts late is padded with silence,
// sound from before the start is dropped. A gap of more than 100 ms (an
// overrun, samples lost on the way) is filled with silence, so the sound stays
// in step with the picture. Nothing beyond the duration limit is kept.
class AudioStreamEncoder final : public StreamEncoder {
public:
    AudioStreamEncoder(PacketSink& sink, const EncoderProfile& profile, qint64 durationLimitMs);

    EncoderStatus open(const AVCodec* codec, AVFormatContext* output);

    bool write(GstSample* sample, qint64 sinceStartNs) override;
    bool drain(DrainKind kind) override;
    qint64 acceptedNs() const override;
    qint64 limitNs() const override;
    const CodecStream& codecStream() const override { return m_stream; }

private:
    bool appendSilence(qint64 frames);
    bool append(const qint16* interleaved, qint64 frames);
    bool toFifo(qint64 frames);
    bool encodeFrames(bool withPartial);

    PacketSink& m_sink;
    CodecStream m_stream;
    const EncoderProfile m_profile;
    const int m_channels;
    const int m_sampleRate;
    qint64 m_limitSamples = 0;  // 0: no limit
    qint64 m_samplesIn = 0;     // samples accepted, counted from 0
    qint64 m_framesOut = 0;     // encoder frames sent
    bool m_started = false;
    av::AudioFifoPtr m_fifo;
    av::FramePtr m_frame;
    std::vector<std::vector<float>> m_planes;  // conversion space, one per channel
};

}  // namespace kelm
