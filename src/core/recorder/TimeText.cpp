#include "recorder/TimeText.h"

#include <QRegularExpression>

namespace kelm::TimeText {

QString zero() {
    return QStringLiteral("00:00:00");
}

std::optional<QTime> parseTimeOfDay(const QString& text) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int s = m.capturedLength(3) ? m.captured(3).toInt() : 0;
    if (h > 23 || min > 59 || s > 59) return std::nullopt;
    return QTime(h, min, s);
}

bool isValidTime(const QString& text) {
    return parseTimeOfDay(text).has_value();
}

QString format(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString normalise(const QString& text) {
    if (text.contains(u':')) {
        const auto t = parseTimeOfDay(text);
        return t ? format(*t) : text;
    }
    bool ok = false;
    const qulonglong number = text.trimmed().toULongLong(&ok);
    if (!ok || text.trimmed().startsWith(u'+')) return text;
    // Right-aligned into "0#:0#:0#": the last two digits are the seconds, the
    // two before them the minutes, everything before that the hours.
    QString digits = QString::number(number);
    if (digits.size() < 6) digits = digits.rightJustified(6, u'0');
    const int hoursLength = int(digits.size()) - 4;
    return digits.left(hoursLength) + u':' + digits.mid(hoursLength, 2) + u':' + digits.right(2);
}

DigitFields digitFields(const QString& text) {
    auto field = [](const QString& part) {
        if (part.size() != 2 || !part.at(0).isDigit() || !part.at(1).isDigit()) return -1;
        return part.toInt();
    };
    DigitFields f;
    if (text.size() < 2) return f;
    f.hours = field(text.left(2));
    f.minutes = text.size() >= 5 ? field(text.mid(3, 2)) : -1;
    f.seconds = field(text.right(2));
    return f;
}

QString fromSecondsOfDay(qint64 seconds) {
    qint64 s = seconds % kSecondsPerDay;
    if (s < 0) s += kSecondsPerDay;
    return format(QTime(0, 0).addSecs(int(s)));
}

QString wrap(int hours, int minutes, int seconds) {
    return fromSecondsOfDay(qint64(hours) * 3600 + qint64(minutes) * 60 + seconds);
}

int secondsOfDay(const QTime& time) {
    return time.hour() * 3600 + time.minute() * 60 + time.second();
}

std::optional<int> secondsOfDay(const QString& text) {
    const auto t = parseTimeOfDay(text);
    if (!t) return std::nullopt;
    return secondsOfDay(*t);
}

std::optional<QString> addTimes(const QString& start, const QString& duration) {
    const auto a = parseTimeOfDay(start);
    const auto b = parseTimeOfDay(duration);
    if (!a || !b) return std::nullopt;
    return wrap(a->hour() + b->hour(), a->minute() + b->minute(), a->second() + b->second());
}

std::optional<QString> durationBetween(const QString& start, const QString& end) {
    const auto s = parseTimeOfDay(start);
    const auto e = parseTimeOfDay(end);
    if (!s || !e) return std::nullopt;
    // The hour digits decide whether the end lies on the next day; an equal
    // hour counts as the next day, and the 24-hour wrap then brings a same-hour
    // end back into the same day.
    const int dayShift = digitFields(end).hours > digitFields(start).hours ? 0 : 24;
    return wrap(dayShift + e->hour() - s->hour(), e->minute() - s->minute(),
                e->second() - s->second());
}

QString stamp(const QString& timeText) {
    return QString(timeText).remove(u':');
}

}  // namespace kelm::TimeText
