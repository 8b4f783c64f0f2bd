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

std::optional<QDate> recordingDay(const QString& fileName, const QString& channelShortName) {
    static const QRegularExpression form(
        QStringLiteral("^(.+)-(\\d{8})-\\d{6}-\\d{6}-(?:TV512|R64)\\.wmv(?:\\.FIGYELEM\\.wmv)*$"));
    const QRegularExpressionMatch match = form.match(fileName);
    if (!match.hasMatch() || match.captured(1) != channelShortName) return std::nullopt;
    const QDate day = QDate::fromString(match.captured(2), QStringLiteral("yyyyMMdd"));
    if (!day.isValid()) return std::nullopt;
    return day;
}

}  // namespace kelm::OutputFileName
