#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

// Reads a timecode subtitle file back into its entries, independently of the
// writer, so the tests can check properties of a whole day of entries.
struct SubtitleEntry {
    qint64 number = 0;
    qint64 fromSeconds = -1;  // first stamp of line 2, in seconds
    qint64 toSeconds = -1;    // second stamp of line 2
    QString channel;
    QString date;             // "yyyy.MM.dd" of line 3
    qint64 timeOfDaySeconds = -1;
};

struct SubtitleFileContents {
    QByteArray bytes;
    QList<SubtitleEntry> entries;
    // Empty when every entry had exactly the four lines of the format.
    QString formatError;
};

inline qint64 clockSeconds(const QByteArray& text, bool withMilliseconds) {
    // "hh:mm:ss" or "hh:mm:ss.000"
    const int expectedSize = withMilliseconds ? 12 : 8;
    if (text.size() != expectedSize || text[2] != ':' || text[5] != ':')
        return -1;
    if (withMilliseconds && text.mid(8) != ".000")
        return -1;
    bool okH = false, okM = false, okS = false;
    const int h = text.mid(0, 2).toInt(&okH);
    const int m = text.mid(3, 2).toInt(&okM);
    const int s = text.mid(6, 2).toInt(&okS);
    if (!okH || !okM || !okS || h > 23 || m > 59 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

inline SubtitleFileContents readSubtitleFile(const QString& path) {
    SubtitleFileContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        contents.formatError = QStringLiteral("cannot open ") + path;
        return contents;
    }
    contents.bytes = file.readAll();
    if (contents.bytes.contains('\r')) {
        contents.formatError = QStringLiteral("carriage return in file");
        return contents;
    }
    if (!contents.bytes.endsWith("\n\n")) {
        contents.formatError = QStringLiteral("file does not end with an empty line");
        return contents;
    }
    QList<QByteArray> lines = contents.bytes.split('\n');
    lines.removeLast();  // after the final LF
    if (lines.size() % 4 != 0) {
        contents.formatError = QStringLiteral("line count is not a multiple of four");
        return contents;
    }
    static const QByteArray arrow(" --> ");
    for (qsizetype i = 0; i < lines.size(); i += 4) {
        SubtitleEntry entry;
        bool numberOk = false;
        entry.number = lines[i].toLongLong(&numberOk);
        const QByteArray& range = lines[i + 1];
        const QByteArray& info = lines[i + 2];
        const qsizetype arrowAt = range.indexOf(arrow);
        const qsizetype dateAt = info.lastIndexOf(", D: ");
        const qsizetype timeAt = info.lastIndexOf(", T: ");
        if (!numberOk || lines[i].startsWith('0') || arrowAt < 0 || !info.startsWith("Ch:") ||
            dateAt < 0 || timeAt != dateAt + 15 || !lines[i + 3].isEmpty()) {
            contents.formatError =
                QStringLiteral("malformed entry at line %1").arg(i + 1);
            return contents;
        }
        entry.fromSeconds = clockSeconds(range.left(arrowAt), true);
        entry.toSeconds = clockSeconds(range.mid(arrowAt + arrow.size()), true);
        entry.channel = QString::fromUtf8(info.mid(3, dateAt - 3));
        entry.date = QString::fromLatin1(info.mid(dateAt + 5, 10));
        entry.timeOfDaySeconds = clockSeconds(info.mid(timeAt + 5), false);
        contents.entries << entry;
    }
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
