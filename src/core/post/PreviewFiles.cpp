#include "post/PreviewFiles.h"

#include "post/TimecodeJob.h"

#include <QDir>
#include <QFileInfo>

namespace kelm {

PreviewFiles::PreviewFiles(QString programDir, QString sourceFolder, QString sourceFileName)
    : m_programDir(std::move(programDir)),
      m_sourceFolder(std::move(sourceFolder)),
      m_sourceFileName(std::move(sourceFileName)) {}

PreviewFiles PreviewFiles::forRecording(const QString& programDir, const QString& recordingPath) {
    const QFileInfo info(recordingPath);
    return PreviewFiles(programDir, info.absolutePath(), info.fileName());
}

QString PreviewFiles::l8() const {
    // Eight characters, not eight UTF-16 units: a name never ends in half a character.
    qsizetype units = 0;
    for (int count = 0; count < 8 && units < m_sourceFileName.size(); ++count)
        units += m_sourceFileName.at(units).isHighSurrogate() && units + 1 < m_sourceFileName.size()
                     ? 2
                     : 1;
    return m_sourceFileName.left(units);
}

QString PreviewFiles::inFolder(const QString& name) const {
    return QDir(m_sourceFolder).filePath(name);
}

QString PreviewFiles::copyScriptPath() const {
    return QDir(m_programDir).filePath(l8() + QStringLiteral(".sh"));
}

QString PreviewFiles::copyMarkerPath() const {
    return inFolder(l8() + QStringLiteral(".tmp"));
}

QString PreviewFiles::copyFailurePath() const {
    return inFolder(l8() + QStringLiteral(".err"));
}

QString PreviewFiles::previewCopyName() const {
    return QStringLiteral("preview-") + m_sourceFileName;
}

QString PreviewFiles::previewCopyPath(const QString& destinationFolder) const {
    return QDir(destinationFolder).filePath(previewCopyName());
}

QString PreviewFiles::indexScriptPath() const {
    return QDir(m_programDir).filePath(QStringLiteral("preview") + l8() + QStringLiteral(".sh"));
}

QString PreviewFiles::indexMarkerPath() const {
    return inFolder(QStringLiteral("preview") + l8() + QStringLiteral(".tmp"));
}

QString PreviewFiles::indexedCopyName() const {
    return QStringLiteral("preview-") + l8() + QStringLiteral("-idx.wmv");
}

QString PreviewFiles::indexedCopyPath() const {
    return inFolder(indexedCopyName());
}

QString PreviewFiles::indexedSubtitlePath() const {
    return TimecodeJob::markerBase(indexedCopyPath()) + QStringLiteral(".sub");
}

QStringList PreviewFiles::leftovers() const {
    if (isEmpty()) return {};
    return {inFolder(previewCopyName()), indexedCopyPath(), indexedSubtitlePath(),
            TimecodeJob::startMarker(indexedCopyPath()),
            TimecodeJob::stopMarker(indexedCopyPath())};
}

}  // namespace kelm
