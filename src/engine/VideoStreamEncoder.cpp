#include "VideoStreamEncoder.h"

#include "GstMaps.h"
#include "Wmv2RepeatFrame.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <algorithm>
#include <cstring>

namespace kelm {
namespace {

constexpr qint64 kNsPerSecond = 1'000'000'000;

}  // namespace

VideoStreamEncoder::VideoStreamEncoder(PacketSink& sink, const EncoderProfile& profile, int width,
                                       int height, qint64 durationLimitMs)
    : m_sink(sink),
      m_stream(sink, 1),  // every picture lasts one frame
      m_profile(profile),
      m_width(width),
      m_height(height) {
    m_frameDurationNs = kNsPerSecond * profile.frameRateDen / profile.frameRateNum;
    if (durationLimitMs > 0)
        m_limitFrames = std::max<qint64>(
            1, (durationLimitMs * profile.frameRateNum + 500LL * profile.frameRateDen) /
                   (1000LL * profile.frameRateDen));
    m_budgetBytesPerFrame = static_cast<double>(profile.videoBitrate) / 8.0 * profile.frameRateDen /
                            profile.frameRateNum;
}

EncoderStatus VideoStreamEncoder::open(const AVCodec* codec, AVFormatContext* output) {
    // Constant frame rate, numbered from 0 in a 1/fps time base; key frames
    // at the profile's spacing; no B-frames (the format has none).
    AVCodecContext* c = m_stream.allocate(codec);
    if (!c) return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    c->width = m_width;
    c->height = m_height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{m_profile.frameRateDen, m_profile.frameRateNum};
    c->framerate = AVRational{m_profile.frameRateNum, m_profile.frameRateDen};
    c->bit_rate = m_profile.videoBitrate;
    c->gop_size = m_profile.keyFrameSpacingFrames();
    c->max_b_frames = 0;
    c->sample_aspect_ratio = AVRational{1, 1};
    const EncoderStatus status = m_stream.open(output, QStringLiteral("video"));
    if (!status.ok()) return status;
    if (codec->id == AV_CODEC_ID_WMV2)
        m_repeatFrame = wmv2RepeatFrame(c->extradata, c->extradata_size, m_width, m_height);
    m_frame.reset(av_frame_alloc());
    if (!m_frame) return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    m_frame->format = AV_PIX_FMT_YUV420P;
    m_frame->width = m_width;
    m_frame->height = m_height;
    if (av_frame_get_buffer(m_frame.get(), 0) < 0)
        return engineStatus(EngineFailure::Encoding, QStringLiteral("out of memory"));
    return EncoderStatus::success();
}

bool VideoStreamEncoder::write(GstSample* sample, qint64 sinceStartNs) {
    if (sinceStartNs + m_frameDurationNs / 2 < 0)
        return true;  // from before the start: the live preview's only
    const qint64 byTime = (sinceStartNs + m_frameDurationNs / 2) / m_frameDurationNs;
    const qint64 frameNumber = std::max(m_framesIn, byTime);
    if (m_limitFrames > 0 && frameNumber >= m_limitFrames) {
        m_framesIn = frameNumber + 1;  // counts towards the stall grace only
        return true;
    }
    const Change change = copyPicture(sample);
    if (change == Change::Unreadable) return true;  // another size (a source change): skipped
    if (change == Change::NoMemory) {
        m_sink.fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
        return false;
    }
    m_framesIn = frameNumber + 1;
    const bool repeatable = change == Change::Same && !m_repeatFrame.isEmpty();
    if (repeatable && !keyFrameAffordable(frameNumber)) return repeat(frameNumber);
    // A picture after repeated frames, or an unchanged one whose key frame
    // the budget now affords, starts from a key frame.
    return encode(frameNumber, m_lastWasRepeat || repeatable);
}

// Copies the picture into the encoder's frame, comparing it with the one
// there before. A picture that cannot be read (another size after a source
// change, a mapping that fails) leaves the last one in place.
VideoStreamEncoder::Change VideoStreamEncoder::copyPicture(GstSample* sample) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) ||
        GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_I420 ||
        GST_VIDEO_INFO_WIDTH(&info) < m_width || GST_VIDEO_INFO_HEIGHT(&info) < m_height)
        return Change::Unreadable;
    const gst::VideoFrameMap picture(&info, gst_sample_get_buffer(sample));
    if (!picture.mapped()) return Change::Unreadable;
    // The encoder may still hold the last frame: a writable one keeps its content.
    if (av_frame_make_writable(m_frame.get()) < 0) return Change::NoMemory;
    bool same = m_havePicture;
    for (int plane = 0; plane < 3; ++plane) {
        const int w = plane == 0 ? m_width : m_width / 2;
        const int h = plane == 0 ? m_height : m_height / 2;
        const guint8* from = picture.plane(plane);
        uint8_t* to = m_frame->data[plane];
        for (int y = 0; y < h; ++y) {
            const guint8* line = from + static_cast<std::ptrdiff_t>(y) * picture.strideBytes(plane);
            uint8_t* target = to + static_cast<std::ptrdiff_t>(y) * m_frame->linesize[plane];
            if (same && std::memcmp(target, line, static_cast<std::size_t>(w)) == 0) continue;
            same = false;
            std::memcpy(target, line, static_cast<std::size_t>(w));
        }
    }
    m_havePicture = true;
    return same ? Change::Same : Change::Changed;
}

// A fresh key frame of an unchanged picture is due once the profile's
// spacing has passed and the stream, with one more key frame of the size of
// the last, stays within the bytes its bit rate allows since frame 0: over
// time the stream keeps to its bit rate, whatever one key frame costs.
bool VideoStreamEncoder::keyFrameAffordable(qint64 frameNumber) const {
    return m_framesSinceKey + 1 >= m_profile.keyFrameSpacingFrames() &&
           static_cast<double>(m_stream.payloadBytes() + m_lastKeyBytes) <=
               static_cast<double>(frameNumber + 1) * m_budgetBytesPerFrame;
}

bool VideoStreamEncoder::encode(qint64 frameNumber, bool forceKey) {
    m_frame->pts = frameNumber;
    m_frame->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    const qint64 before = m_stream.payloadBytes();
    if (!m_stream.send(m_frame.get())) return false;
    const qint64 written = m_stream.payloadBytes() - before;
    if (m_stream.lastPacketKey() && written > 0) {
        m_framesSinceKey = 0;
        m_lastKeyBytes = written;
        ++m_keyFrames;
    } else {
        ++m_framesSinceKey;
    }
    m_lastWasRepeat = false;
    return true;
}

bool VideoStreamEncoder::repeat(qint64 frameNumber) {
    av::PacketPtr packet(av_packet_alloc());
    if (!packet || av_new_packet(packet.get(), static_cast<int>(m_repeatFrame.size())) < 0) {
        m_sink.fail(EngineFailure::Encoding, QStringLiteral("out of memory"));
        return false;
    }
    std::memcpy(packet->data, m_repeatFrame.constData(),
                static_cast<std::size_t>(m_repeatFrame.size()));
    packet->pts = packet->dts = frameNumber;
    if (!m_stream.writeOwnPacket(packet.get())) return false;
    ++m_framesSinceKey;
    ++m_repeatedFrames;
    m_lastWasRepeat = true;
    return true;
}

bool VideoStreamEncoder::drain(DrainKind) {
    return m_stream.send(nullptr);
}

}  // namespace kelm
