#pragma once

#include <QByteArray>
#include <QString>

namespace kelm {

// An append-only log file held with an exclusive advisory lock, so a second
// KELM of the same day finds it "in use" and takes its own file. Every write is
// handed to the system at once: nothing waits in a buffer if KELM dies.
class LogFile final {
public:
    enum class OpenResult { Opened, InUse, Failed };

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    OpenResult open(const QString& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QString path() const { return m_path; }
    bool append(const QByteArray& bytes);

private:
    int m_fd = -1;
    QString m_path;
};

}  // namespace kelm
