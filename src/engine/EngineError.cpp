#include "EngineError.h"

#include <QStringList>

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>
#include <cstring>

namespace kelm {

Q_LOGGING_CATEGORY(lcEngine, "kelm.engine")

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
        case EngineFailure::FileExists:
            code = FileExists;
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

QString gstErrorText(GstMessage* error) {
    GError* raw = nullptr;
    gchar* rawDebug = nullptr;
    if (!error || GST_MESSAGE_TYPE(error) != GST_MESSAGE_ERROR) return {};
    gst_message_parse_error(error, &raw, &rawDebug);
    const QString text = raw ? QString::fromUtf8(raw->message) : QStringLiteral("unknown error");
    const QString debug = QString::fromUtf8(rawDebug ? rawDebug : "");
    if (raw) g_error_free(raw);
    g_free(rawDebug);
    gchar* sourceName =
        GST_MESSAGE_SRC(error) ? gst_object_get_path_string(GST_MESSAGE_SRC(error)) : nullptr;
    qCWarning(lcEngine).noquote() << "GStreamer error from" << (sourceName ? sourceName : "?")
                                  << ":" << text << "|" << debug;
    g_free(sourceName);
    // The debug string starts with the code location and the element path;
    // the lines after them are the system's own words.
    QStringList reasons;
    const QStringList lines = debug.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (!line.isEmpty() && line != text && !reasons.contains(line)) reasons << line;
    }
    return reasons.isEmpty()
               ? text
               : text + QStringLiteral(" (") + reasons.join(QStringLiteral("; ")) + u')';
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
