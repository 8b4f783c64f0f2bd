#include "recorder/LogFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>

namespace kelm {

LogFile::~LogFile() {
    close();
}

LogFile::OpenResult LogFile::open(const QString& path) {
    close();
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return OpenResult::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? OpenResult::InUse : OpenResult::Failed;
    }
    m_fd = fd;
    m_path = path;
    return OpenResult::Opened;
}

void LogFile::close() {
    if (m_fd >= 0) ::close(m_fd);  // also releases the lock
    m_fd = -1;
    m_path.clear();
}

bool LogFile::append(const QByteArray& bytes) {
    if (m_fd < 0) return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace kelm
