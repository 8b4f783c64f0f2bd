#include "V4l2VideoDevices.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace kelm {
namespace {

class Fd final {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ::ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

// Card name of a node that captures video, or empty.
QString captureCardName(const QString& node) {
    Fd fd(::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return {};
    v4l2_capability cap{};
    if (xioctl(fd.get(), VIDIOC_QUERYCAP, &cap) < 0)
        return {};
    const __u32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
        return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(cap.card));
}

QStringList nodes() {
    QStringList result;
    const auto entries = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System, QDir::Name);
    for (const QString& e : entries)
        result << QStringLiteral("/dev/") + e;
    return result;
}

}  // namespace

QStringList V4l2VideoDevices::devices() {
    QStringList names;
    for (const QString& node : nodes()) {
        const QString name = captureCardName(node);
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

QStringList V4l2VideoDevices::inputs(const QString& device) {
    for (const QString& node : nodes()) {
        if (captureCardName(node) != device)
            continue;
        Fd fd(::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        QStringList result;
        for (__u32 i = 0; fd.get() >= 0; ++i) {
            v4l2_input input{};
            input.index = i;
            if (xioctl(fd.get(), VIDIOC_ENUMINPUT, &input) < 0)
                break;
            result << (input.type == V4L2_INPUT_TYPE_TUNER ? QStringLiteral("Video Tuner")
                                                           : QString::fromUtf8(reinterpret_cast<const char*>(input.name)));
        }
        return result;
    }
    return {};
}

}  // namespace kelm
