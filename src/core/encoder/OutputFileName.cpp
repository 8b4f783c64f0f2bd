#include "encoder/OutputFileName.h"

#include <QRegularExpression>

namespace kelm::OutputFileName {

QString kindFor(const QString& videoSourceName) {
    return videoSourceName == kVideoFileSource ? QStringLiteral("R64") : QStringLiteral("TV512");
}

QString build(const QString& mediaDir, const QString& channelShortName, const QString& todayStamp,
              const QString& startStamp, const QString& durationStamp, const QString& kind) {
    return mediaDir + u'/' + channelShortName + u'-' + todayStamp + u'-' + startStamp + u'-' +
           durationStamp + u'-' + kind + QStringLiteral(".wmv");
}

QString extended(const QString& path) {
    return path + QStringLiteral(".FIGYELEM.wmv");
}

std::optional<RecordingName> parse(const QString& fileName) {
    static const QRegularExpression form(
        QStringLiteral("^(.+)-(\\d{8})-(\\d{6})-(\\d{2})(\\d{2})(\\d{2})-(?:TV512|R64)\\.wmv(?:\\."
                       "FIGYELEM\\.wmv)*$"));
    const QRegularExpressionMatch match = form.match(fileName);
    if (!match.hasMatch()) return std::nullopt;
    const QString shortName = match.captured(1);
    // A preview copy carries the whole name of the recording it copies.
    if (shortName.startsWith(QStringLiteral("preview-")) &&
        parse(fileName.mid(qsizetype(sizeof "preview-") - 1)))
        return std::nullopt;
    const QDate day = QDate::fromString(match.captured(2), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(match.captured(3), QStringLiteral("HHmmss"));
    if (!day.isValid() || !time.isValid()) return std::nullopt;
    RecordingName name;
    name.channelShortName = shortName;
    name.start = QDateTime(day, time);
    name.plannedSeconds = match.captured(4).toLongLong() * 3600 +
                          match.captured(5).toLongLong() * 60 + match.captured(6).toLongLong();
    return name;
}

QString subtitleName(const QString& recordingName) {
    QString name = recordingName;
    if (name.endsWith(QStringLiteral(".wmv"))) name.chop(4);
    return name + QStringLiteral(".sub");
}

bool isRecordingSubtitle(const QString& fileName) {
    return fileName.endsWith(QStringLiteral(".sub")) &&
           parse(fileName.chopped(4) + QStringLiteral(".wmv")).has_value();
}

std::optional<QDate> recordingDay(const QString& fileName, const QString& channelShortName) {
    const auto name = parse(fileName);
    if (!name || name->channelShortName != channelShortName) return std::nullopt;
    return name->start.date();
}

}  // namespace kelm::OutputFileName
