#include "subtitle/StampelFields.h"

#include <QRegularExpression>
#include <QTime>

namespace kelm {

namespace {

QString timeText(int hours, int minutes, int seconds) {
    return QTime(hours, minutes, seconds).toString(u"HH:mm:ss");
}

bool isTimeOfDay(int hours, int minutes, int seconds) {
    return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59 && seconds >= 0 &&
           seconds <= 59;
}

}  // namespace

StampelFields StampelFields::defaults(const QDate& today) {
    return {QString(), zeroTime(), zeroTime(), dateText(today)};
}

QString StampelFields::fileNameOf(const QString& recordingPath) {
    return recordingPath.mid(recordingPath.lastIndexOf(u'/') + 1);
}

StampelFields StampelFields::fromRecordingPath(const QString& recordingPath, const QDate& today) {
    // The shortest channel that is followed by date, start and duration wins,
    // so "duna-tv-20061231-..." gives the channel "duna-tv".
    static const QRegularExpression kelmName(QStringLiteral(
        "^(.*?)-(\\d{4})(\\d{2})(\\d{2})-(\\d{2})(\\d{2})(\\d{2})-(\\d{2})(\\d{2})(\\d{2})-"));
    const QRegularExpressionMatch match = kelmName.match(fileNameOf(recordingPath));
    if (!match.hasMatch()) return defaults(today);

    const auto number = [&match](int group) { return match.captured(group).toInt(); };
    const QDate date(number(2), number(3), number(4));
    if (match.captured(1).isEmpty() || !date.isValid() ||
        !isTimeOfDay(number(5), number(6), number(7)) ||
        !isTimeOfDay(number(8), number(9), number(10)))
        return defaults(today);

    return {match.captured(1), timeText(number(5), number(6), number(7)),
            timeText(number(8), number(9), number(10)), dateText(date)};
}

QString StampelFields::normalizeTime(const QString& text) {
    static const QRegularExpression withColons(
        QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"));
    static const QRegularExpression digitsOnly(QStringLiteral("^\\d{1,6}$"));

    const QString trimmed = text.trimmed();
    int hours = -1;
    int minutes = -1;
    int seconds = -1;
    if (trimmed.contains(u':')) {
        const QRegularExpressionMatch match = withColons.match(trimmed);
        if (match.hasMatch()) {
            hours = match.captured(1).toInt();
            minutes = match.captured(2).toInt();
            seconds = match.captured(3).toInt();  // absent: 0
        }
    } else if (digitsOnly.match(trimmed).hasMatch()) {
        const QString padded = trimmed.rightJustified(6, u'0');
        hours = padded.mid(0, 2).toInt();
        minutes = padded.mid(2, 2).toInt();
        seconds = padded.mid(4, 2).toInt();
    }
    if (!isTimeOfDay(hours, minutes, seconds)) return zeroTime();
    return timeText(hours, minutes, seconds);
}

std::optional<QDate> StampelFields::parseDate(const QString& text) {
    static const QRegularExpression dateForm(
        QStringLiteral("^(\\d{4})([-./])(\\d{1,2})\\2(\\d{1,2})\\.?$"));
    const QRegularExpressionMatch match = dateForm.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    // A trailing dot belongs only to the "yyyy.MM.dd." form.
    if (text.trimmed().endsWith(u'.') && match.captured(2) != u".") return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(3).toInt(),
                     match.captured(4).toInt());
    if (!date.isValid()) return std::nullopt;
    return date;
}

QString StampelFields::normalizeDate(const QString& text, const QDate& today) {
    return dateText(parseDate(text).value_or(today));
}

QString StampelFields::dateText(const QDate& date) {
    return date.toString(u"yyyy-MM-dd");
}

QString StampelFields::zeroTime() {
    return QStringLiteral("00:00:00");
}

}  // namespace kelm
