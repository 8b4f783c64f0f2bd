#include "OutputFileLock.h"

#include "EngineError.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace kelm {
namespace {

EncoderStatus beingRecorded(const QString& path) {
    return engineStatus(EngineFailure::FileInUse,
                        QStringLiteral("%1 is being recorded by another process").arg(path));
}

}  // namespace

EncoderStatus OutputFileLock::checkFree(const QString& path) {
    m_failureCause.clear();
    const QByteArray native = path.toLocal8Bit();
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT) return EncoderStatus::success();
        if (err != EACCES) {
            m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
            return engineStatus(
                EngineFailure::OutputFileCreate,
                QStringLiteral("cannot create %1: %2").arg(path, systemErrorText(err)));
        }
        // There, but not ours to read: taken all the same.
        return engineStatus(EngineFailure::FileExists,
                            QStringLiteral("%1 already exists").arg(path));
    }
    // A shared lock is refused only while a recorder holds its exclusive one;
    // taking it for a moment changes nothing in the file.
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    if (locked) return beingRecorded(path);
    return engineStatus(EngineFailure::FileExists, QStringLiteral("%1 already exists").arg(path));
}

EncoderStatus OutputFileLock::acquire(const QString& path) {
    release();
    m_failureCause.clear();
    const QByteArray native = path.toLocal8Bit();
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
        return engineStatus(EngineFailure::OutputFileCreate,
                            QStringLiteral("cannot lock %1: %2").arg(path, systemErrorText(err)));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) return beingRecorded(path);
        m_failureCause = outputFileCause(OutputFileStage::Create, err, path);
        return engineStatus(EngineFailure::OutputFileCreate,
                            QStringLiteral("cannot lock %1: %2").arg(path, systemErrorText(err)));
    }
    m_fd = fd;
    return EncoderStatus::success();
}

void OutputFileLock::release() {
    if (m_fd < 0) return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace kelm
