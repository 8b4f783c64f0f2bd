#pragma once

#include <QString>
#include <QStringList>

namespace kelm {

// The system calls the V4L2 layer makes, behind one small seam so that its
// translation into V4L2 requests is tested without a device.
class V4l2Io {
public:
    virtual ~V4l2Io() = default;
    // The /dev/video* nodes, in name order.
    virtual QStringList nodes() = 0;
    // A file descriptor (>= 0) or -1 with errno set.
    virtual int open(const QString& node) = 0;
    virtual void close(int fd) = 0;
    // ioctl(2): 0 or -1 with errno set (EINTR is retried inside).
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
};

// The real system calls.
class V4l2SystemIo final : public V4l2Io {
public:
    QStringList nodes() override;
    int open(const QString& node) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void* argument) override;
};

}  // namespace kelm
