#pragma once

#include "encoder/EncoderError.h"

#include <QString>

namespace kelm {

// An exclusive advisory lock (flock) on a recording's output file, held for as
// long as the recording runs. A second recorder of the same name, in this or
// another process, finds the file locked. The file is created when missing
// and never truncated here: a locked file belongs to its recorder.
class OutputFileLock final {
public:
    OutputFileLock() = default;
    OutputFileLock(const OutputFileLock&) = delete;
    OutputFileLock& operator=(const OutputFileLock&) = delete;
    ~OutputFileLock() { release(); }

    // FileInUse when another recorder holds the file, OutputFileCreate when
    // it cannot be opened at all (then failureCause() says why, in plain words).
    EncoderStatus acquire(const QString& path);
    QString failureCause() const { return m_failureCause; }
    // Unlocks; when the lock created the file and nothing was written to it,
    // the empty file is removed again.
    void release(bool removeIfCreatedEmpty = false);
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    bool m_created = false;
    QString m_path;
    QString m_failureCause;
};

}  // namespace kelm
