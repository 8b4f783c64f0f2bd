#include "subtitle/BufferedFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kelm {

BufferedFile::BufferedFile(qsizetype bufferBytes)
    : m_buffer(static_cast<std::size_t>(qMax<qsizetype>(bufferBytes, 4096))) {}

BufferedFile::~BufferedFile() {
    close();
}

int BufferedFile::create(const QString& path) {
    close();
    m_error = 0;
    m_usedBytes = 0;
    const QByteArray nativePath = QFile::encodeName(path);
    do {
        m_fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        m_error = errno;
    return m_error;
}

void BufferedFile::append(const char* data, qsizetype sizeBytes) {
    if (m_error != 0 || m_fd < 0)
        return;
    const auto capacity = static_cast<qsizetype>(m_buffer.size());
    while (sizeBytes > 0) {
        if (m_usedBytes == capacity) {
            flush();
            if (m_error != 0)
                return;
        }
        const qsizetype chunk = qMin(sizeBytes, capacity - m_usedBytes);
        std::memcpy(m_buffer.data() + m_usedBytes, data, static_cast<std::size_t>(chunk));
        m_usedBytes += chunk;
        data += chunk;
        sizeBytes -= chunk;
    }
}

void BufferedFile::flush() {
    const char* next = m_buffer.data();
    qsizetype leftBytes = m_usedBytes;
    while (leftBytes > 0 && m_error == 0) {
        const ssize_t written = ::write(m_fd, next, static_cast<std::size_t>(leftBytes));
        if (written < 0) {
            if (errno != EINTR)
                m_error = errno;
            continue;
        }
        next += written;
        leftBytes -= written;
    }
    m_usedBytes = 0;
}

int BufferedFile::close() {
    if (m_fd < 0)
        return m_error;
    if (m_error == 0)
        flush();
    // Linux releases the descriptor even when close reports an error, so it is
    // never retried.
    if (::close(m_fd) != 0 && m_error == 0)
        m_error = errno;
    m_fd = -1;
    return m_error;
}

}  // namespace kelm
