#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kelm {
namespace {

// Bytes libavformat gathers before each write: one call of write() never
// hands over more than this.
constexpr int kIoBufferBytes = 32 * 1024;
// Room reserved beyond what the reserve needs, per call.
constexpr qint64 kReserveStepBytes = 256 * 1024;
// How much of the file's beginning is kept in memory as written.
constexpr qint64 kHeadBytes = 4096;

}  // namespace

int PosixFileCalls::open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t PosixFileCalls::pwrite(int fd, const void* data, size_t sizeBytes, off_t offset) {
    return ::pwrite(fd, data, sizeBytes, offset);
}

int PosixFileCalls::reserve(int fd, off_t offset, off_t lengthBytes) {
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, lengthBytes);
}

int PosixFileCalls::truncate(int fd, off_t sizeBytes) {
    struct stat st {};
    // Room allocated beyond the end is given back by punching it out; cutting
    // to the same size does not free it on every file system.
    if (::fstat(fd, &st) == 0 && st.st_blocks * 512 > sizeBytes)
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, sizeBytes,
                    st.st_blocks * 512 + (1 << 20));
    return ::ftruncate(fd, sizeBytes);
}

int PosixFileCalls::linkCount(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<int>(st.st_nlink) : -1;
}

int PosixFileCalls::close(int fd) {
    return ::close(fd);
}

OutputFile::OutputFile(std::shared_ptr<FileCalls> calls, qint64 reserveBytes)
    : m_calls(std::move(calls)), m_reserveBytes(reserveBytes) {}

OutputFile::~OutputFile() {
    close();
}

int OutputFile::create(const QString& path) {
    const QByteArray native = path.toLocal8Bit();
    m_fd = m_calls->open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (m_fd < 0) return errno;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer)
        m_io.reset(
            avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &writePacket, &seek));
    if (m_io) return 0;
    // The file just made goes again: nobody else can have written into it.
    av_free(buffer);
    m_calls->close(m_fd);
    m_fd = -1;
    ::unlink(native.constData());
    return ENOMEM;
}

void OutputFile::setPacketLayout(qint64 dataStartBytes, qint64 packetBytes) {
    m_dataStartBytes = dataStartBytes;
    m_packetBytes = packetBytes;
}

void OutputFile::close() {
    if (m_io) {
        avio_flush(m_io.get());
        m_io.reset();
    }
    if (m_fd < 0) return;
    if (m_reservedEndBytes > m_sizeBytes && !m_deleted) m_calls->truncate(m_fd, m_sizeBytes);
    m_calls->close(m_fd);
    m_fd = -1;
}

int OutputFile::writePacket(void* opaque, uint8_t* data, int sizeBytes) {
    return static_cast<OutputFile*>(opaque)->write(data, sizeBytes);
}

int64_t OutputFile::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<OutputFile*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self->m_sizeBytes;
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += self->m_positionBytes;
            break;
        case SEEK_END:
            offset += self->m_sizeBytes;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (offset < 0) return AVERROR(EINVAL);
    self->m_positionBytes = offset;
    return offset;
}

int OutputFile::write(const uint8_t* data, int sizeBytes) {
    if (m_writeErrno) return AVERROR(m_writeErrno);
    if (m_fd < 0) return AVERROR(EBADF);
    if (!m_deleted && m_calls->linkCount(m_fd) == 0) {
        // Nobody can open the recording any more (its folder or the file
        // itself was removed): carrying on would only fill the disk unseen.
        m_deleted = true;
        if (!m_stopErrno) m_stopErrno = ENOENT;
    }
    keepReserve(m_positionBytes + sizeBytes);
    qint64 done = 0;
    while (done < sizeBytes) {
        const ssize_t n = m_calls->pwrite(m_fd, data + done, static_cast<size_t>(sizeBytes - done),
                                          static_cast<off_t>(m_positionBytes + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failWrite(n < 0 ? errno : ENOSPC, m_positionBytes + done);
            return AVERROR(m_writeErrno);
        }
        done += n;
    }
    if (m_positionBytes < kHeadBytes) {
        const qint64 end = std::min<qint64>(kHeadBytes, m_positionBytes + sizeBytes);
        if (m_head.size() < end) m_head.resize(end);
        std::copy(data, data + (end - m_positionBytes), m_head.begin() + m_positionBytes);
    }
    m_positionBytes += sizeBytes;
    m_sizeBytes = std::max(m_sizeBytes, m_positionBytes);
    return sizeBytes;
}

// Keeps the room for the reserve allocated beyond `endBytes`. A little more
// than needed is asked for each time, which keeps the calls rare.
void OutputFile::keepReserve(qint64 endBytes) {
    if (!m_reserveWorks || endBytes + m_reserveBytes <= m_reservedEndBytes) return;
    const qint64 from = std::max(m_sizeBytes, m_reservedEndBytes);
    for (const qint64 to :
         {endBytes + m_reserveBytes + kReserveStepBytes, endBytes + m_reserveBytes}) {
        if (m_calls->reserve(m_fd, static_cast<off_t>(from), static_cast<off_t>(to - from)) == 0) {
            m_reservedEndBytes = to;
            return;
        }
        const int err = errno;
        if (err != ENOSPC && err != EDQUOT && err != EFBIG) {
            m_reserveWorks = false;  // not offered here (EOPNOTSUPP): plain writes only
            return;
        }
    }
    // The room already kept back still takes this write and the end of the
    // file; the writer stops once it sees the reason.
    if (!m_stopErrno) m_stopErrno = errno;
}

// A write went wrong: cut the file back to its last whole data packet, so
// no player meets a torn one, and refuse everything from now on.
// A write that rewrites bytes inside the file (the header at the end) cuts
// nothing.
void OutputFile::failWrite(int errnum, qint64 writtenEndBytes) {
    m_writeErrno = errnum;
    if (!m_stopErrno) m_stopErrno = errnum;
    if (m_positionBytes < m_sizeBytes) return;
    qint64 keep = writtenEndBytes;
    if (m_dataStartBytes >= 0 && m_packetBytes > 0 && keep > m_dataStartBytes)
        keep = m_dataStartBytes + (keep - m_dataStartBytes) / m_packetBytes * m_packetBytes;
    if (m_calls->truncate(m_fd, static_cast<off_t>(keep)) == 0) m_sizeBytes = keep;
}

}  // namespace kelm
