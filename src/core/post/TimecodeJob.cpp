#include "post/TimecodeJob.h"

#include "recorder/RegionalFormat.h"

namespace kelm::TimecodeJob {

namespace {
constexpr qint64 kSecondsPerDay = 86400;
}

QString timeToSeconds(const QString& timeText) {
    const QString digits = QString(timeText).remove(u':');
    if (digits.size() != 6) return {};
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') return {};
    }
    const int seconds =
        digits.mid(0, 2).toInt() * 3600 + digits.mid(2, 2).toInt() * 60 + digits.right(2).toInt();
    return QString::number(seconds);
}

QStringList liveArguments(const QString& recordingPath, const QString& startTime,
                          const QString& duration, const QDate& today,
                          const QString& channelShortName) {
    const QString start = timeToSeconds(startTime);
    const QString length = timeToSeconds(duration);
    if (start.isEmpty() || length.isEmpty()) return {};
    return {recordingPath, start, length, RegionalFormat::shortDate(today), channelShortName};
}

QStringList previewArguments(const QString& indexedCopyPath, const QString& startTime,
                             qint64 encodingTimeMs, const QString& todayStamp,
                             const QString& channelShortName) {
    const QString start = timeToSeconds(startTime);
    if (start.isEmpty() || todayStamp.size() != 8) return {};
    const qint64 elapsed = (encodingTimeMs > 0 ? encodingTimeMs / 1000 : 0) % kSecondsPerDay;
    const QString date =
        todayStamp.left(4) + u'.' + todayStamp.mid(4, 2) + u'.' + todayStamp.right(2);
    return {indexedCopyPath, start, QString::number(elapsed), date, channelShortName};
}

QString markerBase(const QString& recordingPath) {
    return recordingPath.chopped(qMin<qsizetype>(4, recordingPath.size()));
}

QString startMarker(const QString& recordingPath) {
    return markerBase(recordingPath) + QStringLiteral(".startsub");
}

QString stopMarker(const QString& recordingPath) {
    return markerBase(recordingPath) + QStringLiteral(".stopsub");
}

}  // namespace kelm::TimecodeJob
