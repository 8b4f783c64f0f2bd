#include "recorder/StartInstant.h"

namespace kelm {

namespace {

constexpr qint64 kHourMs = 3600 * 1000;

qint64 localOffsetMs(qint64 utcMs) {
    return qint64(QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc()) * 1000;
}

// The first instant in (after, until] whose offset is `offsetMs`; the offset
// at `until` is that one, and there is one change between the two.
qint64 changeBetween(qint64 after, qint64 until, qint64 offsetMs) {
    while (until - after > 1) {
        const qint64 mid = after + (until - after) / 2;
        if (localOffsetMs(mid) == offsetMs)
            until = mid;
        else
            after = mid;
    }
    return until;
}

}  // namespace

QList<StartInstant> StartInstant::on(const QDate& date, int secondOfDay) {
    // The face as if it were one even scale, days since 1970 and the second.
    const qint64 faceMs =
        QDate(1970, 1, 1).daysTo(date) * 24 * kHourMs + qint64(secondOfDay) * 1000;
    // An offset is at most 14 hours either way, so the instant the face shows
    // `faceMs` lies within 14 hours of it; zones change their offset at most
    // once in such a span, so the offsets at its two ends are all there are.
    // Two instants come earliest first: the offset before an autumn change is
    // the larger.
    const qint64 before = localOffsetMs(faceMs - 15 * kHourMs);
    const qint64 after = localOffsetMs(faceMs + 15 * kHourMs);
    QList<StartInstant> instants;
    for (const qint64 offset : {before, after}) {
        const qint64 utc = faceMs - offset;
        if (localOffsetMs(utc) == offset &&
            (instants.isEmpty() || instants.constLast().utcMs != utc))
            instants.append({date, utc, false});
    }
    if (instants.isEmpty() && after > before) {
        // Summer time began over it: the face jumped from before the start
        // time to after it at the change.
        instants.append({date, changeBetween(faceMs - after, faceMs - before, after), true});
    }
    return instants;
}

std::optional<StartInstant> StartInstant::latest(const QDateTime& now, int secondOfDay) {
    const qint64 nowMs = now.toMSecsSinceEpoch();
    for (const QDate& day : {now.date(), now.date().addDays(-1)}) {
        const QList<StartInstant> instants = on(day, secondOfDay);
        for (auto it = instants.crbegin(); it != instants.crend(); ++it) {
            if (it->utcMs <= nowMs) return *it;
        }
    }
    return std::nullopt;
}

std::optional<StartInstant> StartInstant::next(const QDateTime& now, int secondOfDay) {
    const qint64 nowMs = now.toMSecsSinceEpoch();
    for (const QDate& day : {now.date(), now.date().addDays(1)}) {
        for (const StartInstant& instant : on(day, secondOfDay)) {
            if (instant.utcMs > nowMs) return instant;
        }
    }
    return std::nullopt;
}

}  // namespace kelm
