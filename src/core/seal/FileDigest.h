#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>

namespace kelm {

// The SHA-256 of a file as sha256sum prints it, read in chunks of 1 MiB so
// a recording of hours never sits in memory. It runs on whatever thread
// calls it and may take seconds for a long recording: never the GUI thread.
struct FileDigest {
    QByteArray sha256Hex;  // empty when the file could not be read whole
    qint64 sizeBytes = 0;  // bytes read
    QString problem;       // why not, in the system's words

    bool ok() const { return !sha256Hex.isEmpty(); }

    // `cancel`, when given, ends the reading early (the digest is then not ok).
    static FileDigest of(const QString& path, const std::atomic_bool* cancel = nullptr);
};

}  // namespace kelm
