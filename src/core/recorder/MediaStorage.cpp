#include "recorder/MediaStorage.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kelm {

namespace {
QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
}  // namespace

std::optional<qint64> SystemMediaStorage::freeBytes(const QString& folder) const {
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0) return std::nullopt;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

FileIdentity SystemMediaStorage::identify(const QString& path) const {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, quint64(st.st_dev), quint64(st.st_ino)};
}

QString SystemMediaStorage::prepareFolder(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        const int statError = errno;
        if (statError != ENOENT)
            return QStringLiteral("a media mappa nem érhető el: %1 (%2)")
                .arg(folder, systemReason(statError));
        if (::mkdir(native.constData(), 0777) != 0)
            return QStringLiteral("a media mappa nem létezik és nem hozható létre: %1 (%2)")
                .arg(folder, systemReason(errno));
        return {};
    }
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("a media mappa helyén nem mappa, hanem fájl van: %1").arg(folder);
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("a media mappa nem írható: %1 (%2)").arg(folder, systemReason(errno));
    return {};
}

bool SystemMediaStorage::createFolder(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) return S_ISDIR(st.st_mode);
    if (::mkdir(native.constData(), 0777) == 0) return true;
    // Another KELM starting from the same folder may have made it meanwhile.
    return errno == EEXIST && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QStringList SystemMediaStorage::fileNames(const QString& folder) const {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QString SystemMediaStorage::removeFile(const QString& path) {
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT) return {};
    return systemReason(errno);
}

namespace RecordingBudget {

qint64 plannedBytes(qint64 videoBitrate, qint64 audioBitrate, qint64 durationMs) {
    // Packets, headers and the index add a few per cent to the streams.
    const qint64 streamBytes = (videoBitrate + audioBitrate) * durationMs / 8000;
    return streamBytes + streamBytes / 20 + 64 * 1024;
}

qint64 hoursThatFit(qint64 freeBytes, qint64 videoBitrate, qint64 audioBitrate) {
    const qint64 hour = plannedBytes(videoBitrate, audioBitrate, 3'600'000);
    const qint64 usable = freeBytes - reserveBytes((videoBitrate + audioBitrate) / 8);
    return usable > 0 ? usable / hour : 0;
}

qint64 reserveBytes(qint64 bytesPerSecond) {
    return 512 * 1024 + 3 * std::max<qint64>(0, bytesPerSecond);
}

}  // namespace RecordingBudget
}  // namespace kelm
