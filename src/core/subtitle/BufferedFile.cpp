#include "subtitle/BufferedFile.h"

#include "subtitle/RegularFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

namespace kelm {

BufferedFile::BufferedFile(std::size_t bufferBytes)
    : m_capacityBytes(std::max<std::size_t>(bufferBytes, 4096)),
      m_buffer(new char[m_capacityBytes]) {}

BufferedFile::~BufferedFile() {
    close();
}

int BufferedFile::create(const std::string& path) {
    close();
    m_error = 0;
    m_usedBytes = 0;
    m_fd = RegularFile::openForWriting(path, &m_error);
    return m_error;
}

void BufferedFile::appendSlowly(const char* data, std::size_t sizeBytes) {
    while (sizeBytes > 0) {
        if (m_error != 0 || m_fd < 0) return;
        if (m_usedBytes == m_capacityBytes) flush();
        const std::size_t chunk = std::min(sizeBytes, m_capacityBytes - m_usedBytes);
        std::memcpy(m_buffer.get() + m_usedBytes, data, chunk);
        m_usedBytes += chunk;
        data += chunk;
        sizeBytes -= chunk;
    }
}

void BufferedFile::flush() {
    const char* next = m_buffer.get();
    std::size_t leftBytes = m_usedBytes;
    while (leftBytes > 0 && m_error == 0) {
        const ssize_t written = ::write(m_fd, next, leftBytes);
        if (written < 0) {
            if (errno != EINTR) m_error = errno;
            continue;
        }
        next += written;
        leftBytes -= static_cast<std::size_t>(written);
    }
    m_usedBytes = 0;
}

int BufferedFile::close() {
    if (m_fd < 0) return m_error;
    if (m_error == 0) flush();
    // Linux releases the descriptor even when close reports an error, so it is
    // never retried.
    if (::close(m_fd) != 0 && m_error == 0) m_error = errno;
    m_fd = -1;
    return m_error;
}

}  // namespace kelm
