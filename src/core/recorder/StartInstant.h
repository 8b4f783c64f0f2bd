#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <optional>

namespace kelm {

// When a start time of day falls due in local time. The schedule is set on
// the clock face, but it runs on real time: the face skips an hour when
// summer time begins and shows one twice when it ends, while real time (UTC)
// goes on evenly. Lateness is always counted on real time.
struct StartInstant {
    QDate date;  // the day whose start time it is
    qint64 utcMs = 0;
    // The face never shows the start time that day: summer time began over
    // it. It falls due when the face passes it, at the change itself.
    bool faceSkipped = false;

    // The instants `secondOfDay` falls due on `date`, earliest first: one on
    // most days, two in the hour an autumn change repeats, and the moment of
    // the change for a time that a spring change skips.
    static QList<StartInstant> on(const QDate& date, int secondOfDay);
    // The last one not after `now`, from today or yesterday.
    static std::optional<StartInstant> latest(const QDateTime& now, int secondOfDay);
    // The first one after `now`, from today or tomorrow.
    static std::optional<StartInstant> next(const QDateTime& now, int secondOfDay);
};

}  // namespace kelm
