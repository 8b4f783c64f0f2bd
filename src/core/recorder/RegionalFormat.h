#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace kelm {

// The Hungarian regional forms KELM writes dates and times in, whatever the
// machine's locale: short date "2006.05.12.", long time "9:05:03".
namespace RegionalFormat {

inline QString shortDate(const QDate& d) {
    return d.toString(QStringLiteral("yyyy.MM.dd."));
}
inline QString longTime(const QTime& t) {
    return t.toString(QStringLiteral("H:mm:ss"));
}
// The short date with every "." removed: names the day's log and recordings.
inline QString todayStamp(const QDate& d) {
    return d.toString(QStringLiteral("yyyyMMdd"));
}

}  // namespace RegionalFormat
}  // namespace kelm
