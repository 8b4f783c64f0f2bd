#include "OutputFileLock.h"

#include "EngineError.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kelm {

EncoderStatus OutputFileLock::acquire(const QString& path) {
    release();
    m_failureCause.clear();
    const QByteArray native = path.toLocal8Bit();
    m_created = false;
    int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        m_created = fd >= 0;
    }
    if (fd < 0) {
        const int err = errno;
        m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
        return engineStatus(EngineFailure::OutputFileCreate,
                            QStringLiteral("cannot create %1: %2").arg(path, systemErrorText(err)));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK)
            return engineStatus(
                EngineFailure::FileInUse,
                QStringLiteral("%1 is being recorded by another process").arg(path));
        m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
        return engineStatus(EngineFailure::OutputFileCreate,
                            QStringLiteral("cannot lock %1: %2").arg(path, systemErrorText(err)));
    }
    m_fd = fd;
    m_path = path;
    return EncoderStatus::success();
}

void OutputFileLock::release(bool removeIfCreatedEmpty) {
    if (m_fd < 0) return;
    struct stat st {};
    const bool empty = ::fstat(m_fd, &st) == 0 && st.st_size == 0;
    if (removeIfCreatedEmpty && m_created && empty) ::unlink(m_path.toLocal8Bit().constData());
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
    m_created = false;
    m_path.clear();
}

}  // namespace kelm
