#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace kelm {

// A file written through one large buffer and closed when it goes out of
// scope. A day of timecode is several megabytes in lines of a few dozen bytes;
// one system call per line would cost more than all the formatting.
//
// Errors are sticky: after the first failed call every later append is
// dropped, and error() and close() report the errno of that first failure.
// Not thread-safe; one writer per object.
class BufferedFile final {
public:
    explicit BufferedFile(qsizetype bufferBytes = 256 * 1024);
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // Opens `path` for writing, created when absent and emptied when present.
    // Returns 0 or the errno of the failure.
    int create(const QString& path);

    void append(const char* data, qsizetype sizeBytes);
    void append(const QByteArray& bytes) { append(bytes.constData(), bytes.size()); }

    // 0 while every write so far succeeded.
    int error() const { return m_error; }

    // Writes what is buffered and closes the file. Returns 0 or the errno of
    // the first failure, including one reported by close itself (a full disk
    // on some file systems only shows there).
    int close();

private:
    void flush();

    int m_fd = -1;
    int m_error = 0;
    std::vector<char> m_buffer;
    qsizetype m_usedBytes = 0;
};

}  // namespace kelm
