#pragma once

#include "StreamEncoder.h"
#include "encoder/EncoderProfile.h"

namespace kelm {

// The picture of a recording: raw I420 pictures at the profile's size and
// constant rate, numbered from frame 0 at the start. A picture's number
// follows its time, so pictures lost on the way leave a gap instead of
// pulling later ones forward; nothing at or beyond the duration limit is kept.
//
// A picture that does not change (the still picture of a radio channel, a
// frozen source) is not paid for again and again: a picture equal to the one
// before it is written as a frame that repeats the last one (every macroblock
// skipped, a few bytes), and a fresh key frame of it is made only when the
// stream's bit budget has room for one, and never sooner than the profile's
// key-frame spacing. So a still picture keeps the
// stream within its bit rate however large the picture is, while pictures
// that change are encoded exactly as the profile says. After a repeated frame
// the next encoded frame is always a key frame, so decoders never have to
// agree with the encoder on the state a repeated frame leaves behind.
class VideoStreamEncoder final : public StreamEncoder {
public:
    VideoStreamEncoder(PacketSink& sink, const EncoderProfile& profile, int width, int height,
                       qint64 durationLimitMs);

    EncoderStatus open(const AVCodec* codec, AVFormatContext* output);

    bool write(GstSample* sample, qint64 sinceStartNs) override;
    bool drain(DrainKind kind) override;
    qint64 acceptedNs() const override { return m_framesIn * m_frameDurationNs; }
    qint64 limitNs() const override { return m_limitFrames * m_frameDurationNs; }
    const CodecStream& codecStream() const override { return m_stream; }

    // Frames written as repeats of the one before, and key frames written.
    qint64 repeatedFrames() const { return m_repeatedFrames; }
    qint64 keyFrames() const { return m_keyFrames; }

private:
    enum class Change { Same, Changed, Unreadable, NoMemory };
    Change copyPicture(GstSample* sample);
    bool keyFrameAffordable(qint64 frameNumber) const;
    bool encode(qint64 frameNumber, bool forceKey);
    bool repeat(qint64 frameNumber);

    PacketSink& m_sink;
    CodecStream m_stream;
    const EncoderProfile m_profile;
    const int m_width;
    const int m_height;
    qint64 m_frameDurationNs = 0;
    qint64 m_limitFrames = 0;  // 0: no limit
    qint64 m_framesIn = 0;     // next frame number
    double m_budgetBytesPerFrame = 0;
    av::FramePtr m_frame;  // the last picture taken in
    bool m_havePicture = false;
    QByteArray m_repeatFrame;  // a frame that repeats the last one; empty: not offered
    bool m_lastWasRepeat = false;
    qint64 m_framesSinceKey = 0;
    qint64 m_lastKeyBytes = 0;
    qint64 m_repeatedFrames = 0;
    qint64 m_keyFrames = 0;
};

}  // namespace kelm
