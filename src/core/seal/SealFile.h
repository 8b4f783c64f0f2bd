#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace kelm {

// A channel's seal of one day: "<media folder>/<short name>-<yyyyMMdd>.sha256",
// plain UTF-8 text that `sha256sum -c` checks from inside the media folder.
// Its lines are of two kinds: checkable lines, "<sha256 hex>  <file name>"
// (two blanks, the name relative to the media folder), and comments, which
// begin with "#" and which sha256sum skips.
//
//   <sha256 of the previous seal>  <its file name>      first line: the chain
//   # Előző napi pecsét: nincs                          or this, for the first seal
//   # Pecsét: kezdet=<UTC ISO, ms, Z> hossz=<s.mmm> méret=<bytes> fájl=<name>
//   <sha256 hex>  <name>                                each sealed file, after its comment
//   # Törölve <UTC ISO>: <name>                         a file deleted on purpose
//   # <anything else>                                   a note for the reader
//
// The comment before each sealed file names it last, so a name with blanks
// or "=" reads back whole. A name holding a backslash or a line end is
// written as sha256sum writes it: the line begins with "\" and the name has
// them as "\\" and "\n".
namespace SealFile {

inline const QString kSuffix = QStringLiteral(".sha256");

// "<short name>-<yyyyMMdd>.sha256".
QString fileName(const QString& channelShortName, const QDate& day);

// The channel and day a seal's file name tells; nullopt for any other name.
struct SealName {
    QString channelShortName;
    QDate day;
};
std::optional<SealName> parseFileName(const QString& fileName);

// What a seal says of one sealed file.
struct SealedFile {
    QString fileName;          // relative to the media folder
    QDateTime firstSampleUtc;  // invalid: not known
    qint64 lengthMs = -1;      // media length; -1: not known
    qint64 sizeBytes = -1;
    QByteArray sha256Hex;  // 64 lower-case hex digits
};

// The lines that seal one file: its comment and its checkable line.
QStringList sealLines(const SealedFile& file);
// "<sha256 hex>  <name>", escaped as sha256sum escapes.
QString checkLine(const QByteArray& sha256Hex, const QString& fileName);
QString noPreviousLine();
QString deletionLine(const QDateTime& utc, const QString& fileName);
// A note for the reader: line ends become blanks, so it stays one comment.
QString noteLine(const QString& text);

// "2026-12-07T19:30:00.123Z".
QString utcText(const QDateTime& utc);

// A seal read back, line by line.
struct Contents {
    // The first line's chain: the previous seal's hash and file name.
    std::optional<std::pair<QByteArray, QString>> chain;
    bool noPrevious = false;  // the first line says there is none
    QList<SealedFile> files;  // every checkable line after the first, with its comment
    QList<std::pair<QDateTime, QString>> deletions;  // UTC time and file name
    QStringList notes;                               // other comments, without "# "
    QList<int> badLines;                             // 1-based numbers of lines that are neither
};
Contents parse(const QByteArray& text);

}  // namespace SealFile
}  // namespace kelm
