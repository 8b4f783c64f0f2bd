#include "SourceResolver.h"

#include "AlsaSoundCards.h"

#include "EngineError.h"
#include "capture/VideoDeviceNames.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace kelm {
namespace {

const QLatin1StringView kVideoDeviceScheme{"DEVICE://"};
const QLatin1StringView kAudioDeviceScheme{"Device://"};
const QLatin1StringView kTestScheme{"TEST://"};

bool hasScheme(const QString& input, QLatin1StringView scheme) {
    return input.startsWith(scheme, Qt::CaseInsensitive);
}

// A file descriptor closed when the holder goes.
class UniqueFd final {
public:
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

struct HintsFree {
    void operator()(void** hints) const { snd_device_name_free_hint(hints); }
};
struct StringFree {
    void operator()(char* s) const { std::free(s); }
};
using HintString = std::unique_ptr<char, StringFree>;

// The node of the V4L2 capture device of this video source list entry (its
// card name, with its bus when two cards share the name), or empty.
QString findV4l2Device(const QString& entry) {
    const QStringList nodes =
        QDir(QStringLiteral("/dev"))
            .entryList({QStringLiteral("video*")}, QDir::System | QDir::Files, QDir::Name);
    for (const QString& node : nodes) {
        const QString path = QStringLiteral("/dev/") + node;
        UniqueFd fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0) continue;
        v4l2_capability cap{};
        if (::ioctl(fd.get(), VIDIOC_QUERYCAP, &cap) != 0) continue;
        const quint32 caps =
            (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if (!(caps & V4L2_CAP_VIDEO_CAPTURE)) continue;
        const auto text = [](const __u8* bytes, std::size_t size) {
            const char* chars = reinterpret_cast<const char*>(bytes);
            return QString::fromUtf8(chars, qsizetype(strnlen(chars, size)));
        };
        const VideoDeviceNames::Card card{text(cap.card, sizeof cap.card),
                                          text(cap.bus_info, sizeof cap.bus_info)};
        if (VideoDeviceNames::names(entry, card)) return path;
    }
    return {};
}

// The ALSA PCM name for a sound card name: a PCM name as it is, or the PCM
// whose description in ALSA's device list matches.
QString alsaPcmName(const QString& name) {
    void** raw = nullptr;
    if (snd_device_name_hint(-1, "pcm", &raw) != 0 || !raw) return name;
    std::unique_ptr<void*, HintsFree> hints(raw);
    for (void** hint = raw; *hint; ++hint) {
        HintString pcm(snd_device_name_get_hint(*hint, "NAME"));
        HintString desc(snd_device_name_get_hint(*hint, "DESC"));
        HintString ioid(snd_device_name_get_hint(*hint, "IOID"));
        if (!pcm || (ioid && std::strcmp(ioid.get(), "Input") != 0)) continue;
        const QString pcmName = QString::fromUtf8(pcm.get());
        if (pcmName == name) return pcmName;
        if (!desc) continue;
        const QString description = QString::fromUtf8(desc.get());
        if (description == name || description.section(QLatin1Char('\n'), 0, 0) == name ||
            QString(description).replace(QLatin1Char('\n'), QLatin1Char(' ')) == name)
            return pcmName;
    }
    return name;
}

enum class Capture { Refused, Direct, ThroughSoundServer };

Capture probeCapture(const QString& pcmName, QString* why) {
    snd_pcm_t* pcm = nullptr;
    const int rc = snd_pcm_open(&pcm, pcmName.toLocal8Bit().constData(), SND_PCM_STREAM_CAPTURE,
                                SND_PCM_NONBLOCK);
    if (rc < 0) {
        *why = QString::fromLocal8Bit(snd_strerror(rc));
        return Capture::Refused;
    }
    const bool server = AlsaNames::isSoundServerPlugin(pcm);
    snd_pcm_close(pcm);
    return server ? Capture::ThroughSoundServer : Capture::Direct;
}

}  // namespace

bool SourceResolver::videoInputWellFormed(const QString& input) {
    // "DEVICE://" alone is no device chosen yet: taken, and a prepare then
    // reports that the input cannot be used.
    if (hasScheme(input, kVideoDeviceScheme)) return true;
    return !input.trimmed().isEmpty();
}

bool SourceResolver::audioInputWellFormed(const QString& input) {
    if (hasScheme(input, kAudioDeviceScheme)) return input.size() > kAudioDeviceScheme.size();
    return hasScheme(input, kTestScheme);
}

bool SourceResolver::servedBySoundServer(const QString& pcm) {
    return AlsaNames::servedBySoundServer(pcm);
}

QString SourceResolver::audioPcmName(const QString& input) {
    if (!hasScheme(input, kAudioDeviceScheme) || input.size() <= kAudioDeviceScheme.size())
        return {};
    return alsaPcmName(input.mid(kAudioDeviceScheme.size()));
}

EncoderStatus SourceResolver::resolveVideo(const QString& input, ResolvedVideoInput* out,
                                           VideoDeviceList* devices) {
    ResolvedVideoInput source;
    source.input = input;
    if (hasScheme(input, kTestScheme)) {
        source.kind = ResolvedVideoInput::Kind::TestPattern;
        source.location = input.mid(kTestScheme.size());
    } else if (hasScheme(input, kVideoDeviceScheme)) {
        const QString card = input.mid(kVideoDeviceScheme.size());
        source.deviceEntry = card;
        if (!card.isEmpty())
            source.location = devices ? devices->nodeOf(card) : findV4l2Device(card);
        if (card.isEmpty())
            return engineStatus(EngineFailure::VideoDevice,
                                QStringLiteral("no video capture device chosen"));
        if (source.location.isEmpty())
            return engineStatus(EngineFailure::VideoDevice,
                                QStringLiteral("no video capture device named \"%1\"").arg(card));
        source.kind = ResolvedVideoInput::Kind::CaptureDevice;
    } else {
        const QFileInfo file(input);
        if (input.trimmed().isEmpty() || !file.isFile() || !file.isReadable())
            return engineStatus(
                EngineFailure::VideoDevice,
                QStringLiteral("video input file \"%1\" cannot be read").arg(input));
        const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
        source.kind = type.name().startsWith(QLatin1StringView("image/"))
                          ? ResolvedVideoInput::Kind::Picture
                          : ResolvedVideoInput::Kind::VideoFile;
        source.location = file.absoluteFilePath();
    }
    *out = source;
    return EncoderStatus::success();
}

EncoderStatus SourceResolver::resolveAudio(const QString& input, ResolvedAudioInput* out,
                                           bool allowSoundServer) {
    ResolvedAudioInput source;
    source.input = input;
    if (hasScheme(input, kTestScheme)) {
        source.kind = ResolvedAudioInput::Kind::TestTone;
        source.location = input.mid(kTestScheme.size());
    } else if (hasScheme(input, kAudioDeviceScheme) && input.size() > kAudioDeviceScheme.size()) {
        const QString name = input.mid(kAudioDeviceScheme.size());
        source.location = alsaPcmName(name);
        QString why;
        const Capture capture = probeCapture(source.location, &why);
        if (capture == Capture::Refused)
            return engineStatus(
                EngineFailure::AudioDevice,
                QStringLiteral("sound card \"%1\" cannot capture: %2").arg(name, why));
        source.kind = capture == Capture::ThroughSoundServer && allowSoundServer
                          ? ResolvedAudioInput::Kind::SoundServer
                          : ResolvedAudioInput::Kind::CaptureDevice;
    } else {
        return engineStatus(EngineFailure::AudioDevice,
                            QStringLiteral("no sound card chosen (input \"%1\")").arg(input));
    }
    *out = source;
    return EncoderStatus::success();
}

}  // namespace kelm
