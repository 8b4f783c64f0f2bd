#pragma once

#include "encoder/EncoderError.h"

#include <QString>
#include <cstdint>

namespace kelm {

// KELM's two built-in profiles, by their string resource numbers.
enum class BuiltInProfile : int {
    Radio = 101,  // picture from a file: 1 frame/s at the picture's size, 44.1 kHz audio
    Tv = 102,     // live video: 384x288 at 25 frames/s, 512 kbit/s, 48 kHz audio
};

// What a profile text asks the encoder for, in the units the engine uses.
// Both streams are always present: KELM's source group has one audio and one
// video source.
struct EncoderProfile {
    // The codecs the file is written with. The profile's WMV1/WMV2/WMV3 video
    // all become WMV2 (the only Windows Media video encoder available here,
    // and one every player opens); Windows Media Audio (format tag 353)
    // becomes WMA2.
    QString videoCodec;  // libavcodec encoder name, "wmv2"
    QString audioCodec;  // libavcodec encoder name, "wmav2"

    QString name;             // the profile's own name, for the log
    qint64 audioBitrate = 0;  // bit/s
    int sampleRate = 0;       // Hz
    int channels = 0;         // 1 or 2
    qint64 videoBitrate = 0;  // bit/s
    int width = 0;            // 0 x 0: the source's own size
    int height = 0;
    int frameRateNum = 0;  // frames per second as a fraction
    int frameRateDen = 1;
    qint64 keyFrameSpacingMs = 0;  // longest distance between key frames
    int quality = 0;               // 0..100, kept for the log; rate control rules

    bool sourceSize() const { return width == 0 && height == 0; }
    // Key-frame spacing in frames, at least 1.
    int keyFrameSpacingFrames() const;

    // The profile text exactly as KELM hands it to the encoder (CR LF line breaks).
    static QString builtInText(BuiltInProfile id);

    // The text KELM uses for a video source: the radio profile when the video
    // source list shows "Videó fájl", the TV profile for every other source.
    static QString textForVideoSource(const QString& videoSourceText);

    // Reads a profile text. A text that is not well-formed, lacks a stream, or
    // asks for a codec, rate, size or channel count that cannot be encoded is
    // refused with ProfileRefused; `out` is written only on success.
    static EncoderStatus parse(const QString& xml, EncoderProfile* out);
};

}  // namespace kelm
