#pragma once

#include "AvHandles.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <memory>

namespace kelm {

// The system calls the output file is written with. PosixFileCalls goes to
// the kernel; tests put in calls that fail the way a full or broken disk does.
// Each returns what its POSIX namesake returns, with errno set on failure.
class FileCalls {
public:
    virtual ~FileCalls() = default;
    virtual int open(const char* path, int flags, mode_t mode) = 0;
    virtual ssize_t pwrite(int fd, const void* data, size_t sizeBytes, off_t offset) = 0;
    // Allocates room for [offset, offset + lengthBytes) without changing the
    // file's size (fallocate with FALLOC_FL_KEEP_SIZE).
    virtual int reserve(int fd, off_t offset, off_t lengthBytes) = 0;
    // Gives back the room reserved beyond `sizeBytes`, and cuts the file there.
    virtual int truncate(int fd, off_t sizeBytes) = 0;
    // The number of names the open file still has (0 once it is deleted), -1 on error.
    virtual int linkCount(int fd) = 0;
    virtual int close(int fd) = 0;
};

class PosixFileCalls final : public FileCalls {
public:
    int open(const char* path, int flags, mode_t mode) override;
    ssize_t pwrite(int fd, const void* data, size_t sizeBytes, off_t offset) override;
    int reserve(int fd, off_t offset, off_t lengthBytes) override;
    int truncate(int fd, off_t sizeBytes) override;
    int linkCount(int fd) override;
    int close(int fd) override;
};

// The recording's file as libavformat writes it, through an I/O context of
// its own, so that running out of room never tears the file:
//
// - Ahead of every write the file keeps `reserveBytes` of room allocated
//   beyond its end. When the device cannot give that room any more,
//   stopReason() says so while the writes still succeed; the writer then
//   stops and finishes the file (last packet, index, header with duration and
//   size) inside the room kept back.
// - Where room cannot be reserved (a file system without that call) and a
//   write fails all the same, the file is cut back to its last whole data
//   packet and every later write is refused: the file plays to that packet.
//
// One thread at a time (the writer's).
class OutputFile final {
public:
    OutputFile(std::shared_ptr<FileCalls> calls, qint64 reserveBytes);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Creates the file; a file of that name that exists already is never
    // opened or changed (EEXIST). 0 or the errno value.
    int create(const QString& path);
    AVIOContext* io() const { return m_io.get(); }

    // Where the whole data packets lie once the header is written: from
    // `dataStartBytes` on, `packetBytes` each.
    void setPacketLayout(qint64 dataStartBytes, qint64 packetBytes);

    // Why writing must end now although the file can still be finished: the
    // errno value (ENOSPC, EDQUOT, ENOENT for a deleted file), 0 if none.
    int stopReason() const { return m_stopErrno; }
    bool deleted() const { return m_deleted; }
    // The errno value of a write that failed, 0 if none; once set, nothing
    // more is written.
    int writeError() const { return m_writeErrno; }
    qint64 sizeBytes() const { return m_sizeBytes; }
    // The file's first bytes as last written (up to a few kB): the header a
    // finished file can be patched in.
    const QByteArray& headBytes() const { return m_head; }

    // Flushes, gives back the room kept in reserve, closes. Safe to repeat.
    void close();

private:
    static int writePacket(void* opaque, uint8_t* data, int sizeBytes);
    static int64_t seek(void* opaque, int64_t offset, int whence);
    int write(const uint8_t* data, int sizeBytes);
    void keepReserve(qint64 endBytes);
    void failWrite(int errnum, qint64 writtenEndBytes);

    std::shared_ptr<FileCalls> m_calls;
    const qint64 m_reserveBytes;
    av::IoContextPtr m_io;
    int m_fd = -1;
    qint64 m_positionBytes = 0;
    qint64 m_sizeBytes = 0;
    qint64 m_reservedEndBytes = 0;
    bool m_reserveWorks = true;
    qint64 m_dataStartBytes = -1;
    qint64 m_packetBytes = 0;
    int m_stopErrno = 0;
    bool m_deleted = false;
    int m_writeErrno = 0;
    QByteArray m_head;
};

}  // namespace kelm
