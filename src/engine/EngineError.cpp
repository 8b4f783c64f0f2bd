#include "EngineError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace kelm {

EncoderStatus engineStatus(EngineFailure failure, const QString& detail) {
    using namespace EncoderErrorCode;
    std::uint32_t code = Codec;
    switch (failure) {
        case EngineFailure::ElementMissing:
            code = ComponentMissing;
            break;
        case EngineFailure::ProfileRefused:
            code = ProfileRefused;
            break;
        case EngineFailure::VideoCodecMissing:
            code = VideoCodecMissing;
            break;
        // The audio encoder is part of the same library as the video one; the
        // recorder has no row for it, so it counts as a codec failure.
        case EngineFailure::AudioCodecMissing:
            code = Codec;
            break;
        case EngineFailure::AudioDevice:
            code = SoundCard;
            break;
        case EngineFailure::VideoDevice:
            code = VideoInput;
            break;
        case EngineFailure::FileInUse:
            code = FileInUse;
            break;
        // A file that cannot be written has no number of its own in the
        // component's set; the invalid-argument number is the nearest.
        case EngineFailure::OutputFile:
            code = Codec;
            break;
        case EngineFailure::InvalidArgument:
            code = Codec;
            break;
        case EngineFailure::Negotiation:
            code = Codec;
            break;
        case EngineFailure::Encoding:
            code = Codec;
            break;
    }
    return EncoderStatus::failure(code, detail);
}

QString avErrorText(int averror) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

}  // namespace kelm
