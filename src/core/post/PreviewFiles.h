#pragma once

#include <QString>
#include <QStringList>

namespace kelm {

// The names of one preview's files. A preview is named after the recording it
// copies (`sourceFileName`, in `sourceFolder`, which is the media folder);
// L8 is the first eight characters of that name. The scripts live in the
// program folder, everything else beside the recording.
//
//   copy script     <program>/<L8>.sh          copy marker   <folder>/<L8>.tmp
//   copy failure    <folder>/<L8>.err (only while a failed copy is reported)
//   preview copy    <folder>/preview-<name>
//   index script    <program>/preview<L8>.sh   index marker  <folder>/preview<L8>.tmp
//   indexed copy    <folder>/preview-<L8>-idx.wmv
class PreviewFiles final {
public:
    PreviewFiles() = default;
    PreviewFiles(QString programDir, QString sourceFolder, QString sourceFileName);

    // Splits a recording's full path into folder and name.
    static PreviewFiles forRecording(const QString& programDir, const QString& recordingPath);

    bool isEmpty() const { return m_sourceFileName.isEmpty(); }
    const QString& sourceFolder() const { return m_sourceFolder; }      // shortSourcePathName
    const QString& sourceFileName() const { return m_sourceFileName; }  // shortSourceFileName
    QString l8() const;

    QString copyScriptPath() const;
    QString copyMarkerPath() const;
    // What cp said when the copy failed; absent after a good copy.
    QString copyFailurePath() const;
    QString previewCopyName() const;
    // The copy in `destinationFolder` (the media folder).
    QString previewCopyPath(const QString& destinationFolder) const;

    QString indexScriptPath() const;
    QString indexMarkerPath() const;
    QString indexedCopyName() const;
    QString indexedCopyPath() const;
    // The indexed copy's subtitle file (what tiplon writes for it).
    QString indexedSubtitlePath() const;

    // The files a finished preview leaves in its folder: the copy, the indexed
    // copy, its subtitle file and its subtitle markers. Only these are removed
    // before the next preview; a broader pattern such as "preview-*" would also
    // take a recording of a channel whose short name is "preview".
    QStringList leftovers() const;

private:
    QString inFolder(const QString& name) const;

    QString m_programDir;
    QString m_sourceFolder;
    QString m_sourceFileName;
};

}  // namespace kelm
