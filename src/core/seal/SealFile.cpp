#include "seal/SealFile.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace kelm::SealFile {

namespace {
const QString kRecordPrefix = QStringLiteral("# Pecsét: ");
const QString kDeletionPrefix = QStringLiteral("# Törölve ");
const QString kNoPrevious = QStringLiteral("# Előző napi pecsét: nincs");

QString escaped(const QString& name) {
    return QString(name)
        .replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"));
}

QString unescaped(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'\\' && i + 1 < name.size()) {
            ++i;
            out += name[i] == u'n' ? QChar(u'\n') : name[i];
        } else {
            out += name[i];
        }
    }
    return out;
}

QDateTime parseUtc(const QString& text) {
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!t.isValid() || !text.endsWith(u'Z')) return {};
    return t.toUTC();
}

// "<hex>  <name>" (or "\<hex>  <escaped name>"): the hash and the name.
std::optional<std::pair<QByteArray, QString>> parseCheckLine(const QString& line) {
    static const QRegularExpression form(QStringLiteral("^(\\\\?)([0-9a-fA-F]{64})  (.+)$"));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch()) return std::nullopt;
    const QString name = m.captured(1).isEmpty() ? m.captured(3) : unescaped(m.captured(3));
    return std::pair{m.captured(2).toLatin1().toLower(), name};
}

std::optional<SealedFile> parseRecord(const QString& line) {
    static const QRegularExpression form(
        QStringLiteral("^# Pecsét: kezdet=(\\S*) hossz=(\\S*) méret=(\\S*) fájl=(.+)$"));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch()) return std::nullopt;
    SealedFile file;
    file.firstSampleUtc = parseUtc(m.captured(1));
    bool ok = false;
    const double seconds = m.captured(2).toDouble(&ok);
    if (ok) file.lengthMs = qRound64(seconds * 1000.0);
    const qint64 size = m.captured(3).toLongLong(&ok);
    if (ok) file.sizeBytes = size;
    file.fileName = m.captured(4);
    return file;
}
}  // namespace

QString fileName(const QString& channelShortName, const QDate& day) {
    return channelShortName + u'-' + day.toString(QStringLiteral("yyyyMMdd")) + kSuffix;
}

std::optional<SealName> parseFileName(const QString& fileName) {
    static const QRegularExpression form(QStringLiteral("^(.+)-(\\d{8})\\.sha256$"));
    const QRegularExpressionMatch m = form.match(fileName);
    if (!m.hasMatch()) return std::nullopt;
    const QDate day = QDate::fromString(m.captured(2), QStringLiteral("yyyyMMdd"));
    if (!day.isValid()) return std::nullopt;
    return SealName{m.captured(1), day};
}

QString utcText(const QDateTime& utc) {
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString checkLine(const QByteArray& sha256Hex, const QString& fileName) {
    const QString hex = QString::fromLatin1(sha256Hex.toLower());
    if (fileName.contains(u'\\') || fileName.contains(u'\n'))
        return u'\\' + hex + QStringLiteral("  ") + escaped(fileName);
    return hex + QStringLiteral("  ") + fileName;
}

QStringList sealLines(const SealedFile& file) {
    const QString start =
        file.firstSampleUtc.isValid() ? utcText(file.firstSampleUtc) : QStringLiteral("?");
    const QString length = file.lengthMs >= 0
                               ? QString::number(double(file.lengthMs) / 1000.0, 'f', 3)
                               : QStringLiteral("?");
    const QString size =
        file.sizeBytes >= 0 ? QString::number(file.sizeBytes) : QStringLiteral("?");
    // The comment is one line whatever the name holds; the checkable line
    // carries the name exactly.
    QString shownName = file.fileName;
    shownName.replace(u'\n', u' ');
    return {kRecordPrefix + QStringLiteral("kezdet=") + start + QStringLiteral(" hossz=") + length +
                QStringLiteral(" méret=") + size + QStringLiteral(" fájl=") + shownName,
            checkLine(file.sha256Hex, file.fileName)};
}

QString noPreviousLine() {
    return kNoPrevious;
}

QString deletionLine(const QDateTime& utc, const QString& fileName) {
    return kDeletionPrefix + utcText(utc) + QStringLiteral(": ") +
           QString(fileName).replace(u'\n', u' ');
}

QString noteLine(const QString& text) {
    return QStringLiteral("# ") + QString(text).replace(u'\r', u' ').replace(u'\n', u' ');
}

Contents parse(const QByteArray& text) {
    Contents contents;
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    std::optional<SealedFile> pendingRecord;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty()) continue;
        const bool first = i == 0;
        if (line.startsWith(u'#')) {
            pendingRecord.reset();
            if (first && line == kNoPrevious) {
                contents.noPrevious = true;
            } else if (line.startsWith(kRecordPrefix)) {
                pendingRecord = parseRecord(line);
                if (!pendingRecord) contents.badLines << int(i + 1);
            } else if (line.startsWith(kDeletionPrefix)) {
                const qsizetype colon = line.indexOf(QStringLiteral(": "), kDeletionPrefix.size());
                const QDateTime utc = colon < 0
                                          ? QDateTime()
                                          : parseUtc(line.mid(kDeletionPrefix.size(),
                                                              colon - kDeletionPrefix.size()));
                if (!utc.isValid())
                    contents.badLines << int(i + 1);
                else
                    contents.deletions.append({utc, line.mid(colon + 2)});
            } else {
                contents.notes << line.mid(line.startsWith(QStringLiteral("# ")) ? 2 : 1);
            }
            continue;
        }
        const auto check = parseCheckLine(line);
        if (!check) {
            pendingRecord.reset();
            contents.badLines << int(i + 1);
            continue;
        }
        if (first && parseFileName(check->second)) {
            contents.chain = check;
            continue;
        }
        SealedFile file;
        if (pendingRecord && pendingRecord->fileName == QString(check->second).replace(u'\n', u' '))
            file = *pendingRecord;
        file.fileName = check->second;
        file.sha256Hex = check->first;
        contents.files << file;
        pendingRecord.reset();
    }
    return contents;
}

}  // namespace kelm::SealFile
