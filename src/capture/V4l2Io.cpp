#include "V4l2Io.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <cerrno>

namespace kelm {

QStringList V4l2SystemIo::nodes() {
    QStringList result;
    const auto entries = QDir(QStringLiteral("/dev"))
                             .entryList({QStringLiteral("video*")}, QDir::System, QDir::Name);
    for (const QString& e : entries) result << QStringLiteral("/dev/") + e;
    return result;
}

int V4l2SystemIo::open(const QString& node) {
    return ::open(QFile::encodeName(node).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

void V4l2SystemIo::close(int fd) {
    ::close(fd);
}

int V4l2SystemIo::ioctl(int fd, unsigned long request, void* argument) {
    int r;
    do {
        r = ::ioctl(fd, request, argument);
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace kelm
