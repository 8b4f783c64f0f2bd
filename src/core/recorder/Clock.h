#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <chrono>

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
    // Time that only ever moves forward at the pace of real time, in ms from an
    // arbitrary origin. It does not follow the wall clock when that is set,
    // nor does it count a suspended machine: the difference between it and
    // the time since the epoch (UTC) is how far the wall clock was stepped.
    // A change to or from summer time only moves the clock face, not UTC, so
    // it is no step.
    virtual qint64 monotonicMs() const = 0;
};

// The machine's own clock.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 monotonicMs() const override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// A clock that stands still until told to move. Used by tests and by
// demonstrations that replay a schedule. `set` and `advanceMs` are time
// passing, counted in UTC: across a summer-time change the face jumps while
// only the real time passes. `jumpTo` is the wall clock being stepped (an NTP
// step, a resume from suspend) while no real time passes.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    qint64 monotonicMs() const override { return m_monotonicMs; }
    void set(const QDateTime& t) {
        m_monotonicMs += std::max<qint64>(0, t.toMSecsSinceEpoch() - m_now.toMSecsSinceEpoch());
        m_now = t;
    }
    void advanceMs(qint64 ms) {
        m_monotonicMs += ms;
        m_now = m_now.addMSecs(ms);
    }
    void jumpTo(const QDateTime& t) { m_now = t; }

private:
    QDateTime m_now;
    qint64 m_monotonicMs = 0;
};

}  // namespace kelm
