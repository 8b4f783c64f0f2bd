#pragma once

#include "encoder/EncoderError.h"

#include <QString>

namespace kelm {

// An exclusive advisory lock (flock) on a recording's output file, held for as
// long as the recording runs, and the check that a recording's name is still
// free. A recording never writes into a file that exists already: the name of
// any existing file, locked by a recorder or not, is taken (FileInUse), and
// the recording's own file is created exclusively by the writer. The lock
// tells another recorder (in this or another process) that the file it finds
// is being recorded now rather than an earlier recording.
class OutputFileLock final {
public:
    OutputFileLock() = default;
    OutputFileLock(const OutputFileLock&) = delete;
    OutputFileLock& operator=(const OutputFileLock&) = delete;
    ~OutputFileLock() { release(); }

    // Success when no file of this name exists; FileInUse ("... is being
    // recorded by another process") while a recorder holds it, FileExists
    // ("... already exists") when it is there otherwise; OutputFileCreate when the name cannot
    // be looked up at all (then failureCause() says why, in plain words).
    // Touches nothing.
    EncoderStatus checkFree(const QString& path);
    // Locks the file this recording has just created. FileInUse when another
    // recorder got hold of it first.
    EncoderStatus acquire(const QString& path);
    QString failureCause() const { return m_failureCause; }
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    QString m_failureCause;
};

}  // namespace kelm
