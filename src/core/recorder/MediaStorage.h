#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelm {

// Which file a path names at one moment: a recording whose path names another
// file, or none, has lost its folder (deleted, unmounted) while it was written.
struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;

    bool sameFileAs(const FileIdentity& other) const {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};

// The media folder's file system as the recorder watches it. Every call is
// quick (one system call or two) and safe on the GUI thread.
class MediaStorage {
public:
    virtual ~MediaStorage() = default;
    // Bytes an ordinary program may still write on the folder's file system;
    // empty when the folder cannot be examined (missing, no permission).
    virtual std::optional<qint64> freeBytes(const QString& folder) const = 0;
    virtual FileIdentity identify(const QString& path) const = 0;
    // Makes sure a recording can be created in `folder`: a missing folder is
    // created when its parent exists (as start-up does). Returns why not, in
    // Hungarian plain words naming the folder, or an empty text when it can.
    virtual QString prepareFolder(const QString& folder) = 0;
    // Creates `folder` when it does not exist yet, one level only: its parent
    // must exist. True when `folder` is a folder afterwards, whether or not it
    // can be written. Start-up makes the media folder with it.
    virtual bool createFolder(const QString& folder) = 0;
    // The names of the plain files in `folder`; empty when it cannot be read.
    virtual QStringList fileNames(const QString& folder) const = 0;
    // Deletes the file `path`. Returns why not, in the system's words, or an
    // empty text when it is gone.
    virtual QString removeFile(const QString& path) = 0;
};

// The machine's own file systems.
class SystemMediaStorage final : public MediaStorage {
public:
    std::optional<qint64> freeBytes(const QString& folder) const override;
    FileIdentity identify(const QString& path) const override;
    QString prepareFolder(const QString& folder) override;
    bool createFolder(const QString& folder) override;
    QStringList fileNames(const QString& folder) const override;
    QString removeFile(const QString& path) override;
};

// How much room a recording needs.
namespace RecordingBudget {
// Bytes a recording of `durationMs` takes at the profile's bit rates, with the
// container's packet and index overhead.
qint64 plannedBytes(qint64 videoBitrate, qint64 audioBitrate, qint64 durationMs);
// The free space below which a running recording is ended while its file can
// still be finished: the file's end and index, a few seconds of data in
// flight at `bytesPerSecond`, the log and the state file.
qint64 reserveBytes(qint64 bytesPerSecond);
// Whole hours of recording at the profile's bit rates that `freeBytes` holds,
// the reserve kept; 0 when not even one.
qint64 hoursThatFit(qint64 freeBytes, qint64 videoBitrate, qint64 audioBitrate);
}  // namespace RecordingBudget

}  // namespace kelm
