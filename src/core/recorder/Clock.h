#pragma once

#include <QDateTime>

namespace kelm {

// The one source of the time of day for everything in KELM that depends on it:
// the scheduler, the status loop, the time fields, file names and the event log.
// Tests inject a clock they drive by hand, so a week of daily recordings runs
// in milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    // Local wall-clock time, millisecond resolution.
    virtual QDateTime now() const = 0;
};

// The machine's own clock.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until told to move. Used by tests and by
// demonstrations that replay a schedule.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};

}  // namespace kelm
