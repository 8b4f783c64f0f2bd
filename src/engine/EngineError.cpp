#include "EngineError.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>
#include <cstring>

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
        // A file that cannot be made is the operator's folder or rights, not
        // a codec: it gets its own number, which the recorder logs with the
        // path and the system's reason.
        case EngineFailure::OutputFileCreate:
            code = OutputFileCreate;
            break;
        case EngineFailure::DiskFull:
            code = DiskFull;
            break;
        case EngineFailure::OutputFileWrite:
            code = WriteFault;
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

QString systemErrorText(int errnum) {
    char text[256] = {};
    // The GNU strerror_r returns its text, which may or may not be `text`.
    return QString::fromLocal8Bit(strerror_r(errnum, text, sizeof text));
}

QString outputFileCause(OutputFileStage stage, int errnum, const QString& path) {
    switch (stage) {
        case OutputFileStage::Create:
            return QStringLiteral("A(z) %1 fájl nem hozható létre: %2")
                .arg(path, systemErrorText(errnum));
        case OutputFileStage::Deleted:
            return QStringLiteral("A(z) %1 fájlt a rögzítés közben törölték.").arg(path);
        case OutputFileStage::Write:
            break;
    }
    if (writeFailureFor(errnum) == EngineFailure::DiskFull)
        return QStringLiteral("Nincs elég hely az eszközön: %1 (%2)")
            .arg(path, systemErrorText(errnum));
    return QStringLiteral("A(z) %1 fájl írása nem sikerült: %2").arg(path, systemErrorText(errnum));
}

EngineFailure writeFailureFor(int errnum) {
    return errnum == ENOSPC || errnum == EDQUOT ? EngineFailure::DiskFull
                                                : EngineFailure::OutputFileWrite;
}

}  // namespace kelm
