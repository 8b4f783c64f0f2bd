#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

// Reads a timecode subtitle file back into its entries with a pattern of its
// own, independent of the writer, so tests can check every entry of a run.
struct SubtitleEntry {
    qint64 number = 0;
    qint64 fromSeconds = -1;  // the stamps of line 2
    qint64 toSeconds = -1;
    QString channel;
    QString date;  // "yyyy.MM.dd"
    qint64 timeOfDaySeconds = -1;
};

struct SubtitleFileContents {
    QByteArray bytes;
    QList<SubtitleEntry> entries;
    QString formatError;  // empty when every byte belonged to a well-formed entry
};

inline SubtitleFileContents readSubtitleFile(const QString& path) {
    static const QRegularExpression entryPattern(
        QStringLiteral("([1-9]\\d*)\\n([01]\\d|2[0-3]):([0-5]\\d):([0-5]\\d)\\.000 --> "
                       "([01]\\d|2[0-3]):([0-5]\\d):([0-5]\\d)\\.000\\n"
                       "Ch:([^\\n]*), D: (\\d{4}\\.\\d\\d\\.\\d\\d), "
                       "T: ([01]\\d|2[0-3]):([0-5]\\d):([0-5]\\d)\\n\\n"));
    SubtitleFileContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.formatError = QStringLiteral("cannot open ") + path;
        return contents;
    }
    contents.bytes = file.readAll();
    const QString text = QString::fromUtf8(contents.bytes);
    // Entries must follow each other with nothing in between.
    qsizetype expectedStart = 0;
    QRegularExpressionMatchIterator matches = entryPattern.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedStart() != expectedStart) break;
        const auto seconds = [&match](int group) {
            return match.captured(group).toLongLong() * 3600 +
                   match.captured(group + 1).toLongLong() * 60 +
                   match.captured(group + 2).toLongLong();
        };
        contents.entries.append({match.captured(1).toLongLong(), seconds(2), seconds(5),
                                 match.captured(8), match.captured(9), seconds(10)});
        expectedStart = match.capturedEnd();
    }
    if (expectedStart != text.size())
        contents.formatError = QStringLiteral("malformed entry at character %1").arg(expectedStart);
    return contents;
}

// The example of the format: channel M1, start 23:59:59, one second,
// 2006-12-31.
inline QByteArray describedExample() {
    return QByteArrayLiteral(
        "1\n"
        "00:00:00.000 --> 00:00:01.000\n"
        "Ch:M1, D: 2006.12.31, T: 23:59:59\n"
        "\n"
        "2\n"
        "00:00:01.000 --> 00:00:02.000\n"
        "Ch:M1, D: 2007.01.01, T: 00:00:00\n"
        "\n");
}
