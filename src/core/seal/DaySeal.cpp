#include "seal/DaySeal.h"

#include "seal/FileDigest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kelm::DaySeal {

QString previousSeal(const QString& mediaDir, const QString& channelShortName, const QDate& day) {
    QString newest;
    QDate newestDay;
    const QStringList names =
        QDir(mediaDir).entryList({QStringLiteral("*") + SealFile::kSuffix}, QDir::Files);
    for (const QString& name : names) {
        const auto seal = SealFile::parseFileName(name);
        if (!seal || seal->channelShortName != channelShortName || seal->day >= day) continue;
        if (!newestDay.isValid() || seal->day > newestDay) {
            newestDay = seal->day;
            newest = name;
        }
    }
    return newest;
}

Outcome append(const QString& mediaDir, const QString& channelShortName, const QDate& day,
               const QList<Entry>& entries, const std::atomic_bool* cancel) {
    Outcome outcome;
    const QDir folder(mediaDir);
    const QString sealName = SealFile::fileName(channelShortName, day);
    outcome.sealPath = folder.filePath(sealName);

    QStringList lines;
    for (const Entry& entry : entries) {
        if (entry.path.isEmpty()) {
            lines << entry.comment;
            continue;
        }
        const QString name = QFileInfo(entry.path).fileName();
        const FileDigest digest = FileDigest::of(entry.path, cancel);
        if (cancel && cancel->load()) return outcome;
        if (!digest.ok()) {
            const QString problem = QStringLiteral("A(z) %1 nem pecsételhető: %2 (%3)")
                                        .arg(name, entry.path, digest.problem);
            lines << SealFile::noteLine(problem);
            outcome.problems << problem;
            continue;
        }
        lines << SealFile::sealLines(
            {name, entry.firstSampleUtc, entry.lengthMs, digest.sizeBytes, digest.sha256Hex});
        outcome.sealed << name;
    }
    if (lines.isEmpty()) return outcome;

    QFile seal(outcome.sealPath);
    const bool fresh = !seal.exists() || seal.size() == 0;
    if (fresh) {
        const QString previous = previousSeal(mediaDir, channelShortName, day);
        if (previous.isEmpty()) {
            lines.prepend(SealFile::noPreviousLine());
        } else {
            const FileDigest digest = FileDigest::of(folder.filePath(previous), cancel);
            if (digest.ok()) {
                lines.prepend(SealFile::checkLine(digest.sha256Hex, previous));
            } else {
                // The chain line stays out: kelmcheck finds the link missing.
                const QString problem =
                    QStringLiteral("Az előző napi pecsét nem olvasható: %1 (%2)")
                        .arg(folder.filePath(previous), digest.problem);
                lines.prepend(SealFile::noteLine(problem));
                outcome.problems << problem;
            }
        }
    }
    const QByteArray text = (lines.join(u'\n') + u'\n').toUtf8();
    const auto failed = [&](const QString& why) {
        outcome.problems
            << QStringLiteral("A pecsét nem írható: %1 (%2)").arg(outcome.sealPath, why);
        outcome.sealed.clear();
        return outcome;
    };
    if (!seal.open(QIODevice::WriteOnly | QIODevice::Append)) return failed(seal.errorString());
    if (seal.write(text) != text.size() || !seal.flush()) return failed(seal.errorString());
    if (::fsync(seal.handle()) != 0) return failed(QString::fromLocal8Bit(strerror(errno)));
    seal.close();
    return outcome;
}

}  // namespace kelm::DaySeal
