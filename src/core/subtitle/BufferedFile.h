#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

namespace kelm {

// A file written through one large buffer and closed when it goes out of
// scope. A day of timecode is several megabytes in lines of a few dozen bytes;
// one system call per line would cost more than all the formatting.
//
// Errors are sticky: after the first failed call every later append is
// dropped, and error() and close() report the errno of that first failure.
// Not thread-safe; one writer per object. Plain C++ (see TimecodeFile.h).
class BufferedFile final {
public:
    // Measured with tiplon writing a day of timecode (6 MB): in a fresh
    // process every new page of the buffer is a page fault, and 1 MiB took
    // twice as long as 64 KiB; 16 KiB lost as much again to system calls.
    static constexpr std::size_t kDefaultBufferBytes = 64 * 1024;

    explicit BufferedFile(std::size_t bufferBytes = kDefaultBufferBytes);
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Opens `path` (file-system bytes) for writing, created when absent and
    // emptied when present. Returns 0 or the errno of the failure.
    int create(const std::string& path);

    void append(const char* data, std::size_t sizeBytes) {
        if (sizeBytes <= m_capacityBytes - m_usedBytes) {
            std::memcpy(m_buffer.get() + m_usedBytes, data, sizeBytes);
            m_usedBytes += sizeBytes;
        } else {
            appendSlowly(data, sizeBytes);
        }
    }
    void append(const std::string& bytes) { append(bytes.data(), bytes.size()); }

    // 0 while every write so far succeeded.
    int error() const { return m_error; }

    // Writes what is buffered and closes the file. Returns 0 or the errno of
    // the first failure, including one reported by close itself (a full disk
    // on some file systems only shows there).
    int close();

private:
    void appendSlowly(const char* data, std::size_t sizeBytes);
    void flush();

    int m_fd = -1;
    int m_error = 0;
    std::size_t m_capacityBytes;
    // Not zero-filled: only what was appended is ever written.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_usedBytes = 0;
};

}  // namespace kelm
