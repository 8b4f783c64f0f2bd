#pragma once

#include "recorder/Clock.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace kelm {

// The faults of a recording's signal that the recorder raises an alarm for.
enum class SignalAlarm { Silence, BlackPicture, FrozenPicture };

// An alarm beginning (its condition has held for its threshold) or ending.
struct SignalAlarmEvent {
    enum class Kind { Began, Ended };
    SignalAlarm alarm = SignalAlarm::Silence;
    Kind kind = Kind::Began;
    QDateTime from;     // local wall time at which the condition began
    QDateTime to;       // Ended: local wall time at which it ended
    qint64 heldMs = 0;  // Ended: how long it held, by the monotonic clock

    // The event log's line: "Jelhiba: csend 09:05:03 óta." or
    // "Jelhiba vége: csend, 09:05:03–09:05:12 (9 mp)."
    QString message() const;
};

// The alarm's name in the operator's words ("csend", "fekete kép", "állókép").
QString signalAlarmName(SignalAlarm alarm);

// A condition of the recorded signal watched over time: it becomes an alarm
// once it has held for longer than its threshold without a break, and the
// alarm ends at the first observation where it no longer holds, or when the
// recording ends. A break of a single observation starts the count again.
//
// Durations are taken from the clock's monotonic time, so a step of the wall
// clock neither raises nor ends an alarm; the wall time only names the
// moments in the texts.
class HeldCondition final {
public:
    HeldCondition(SignalAlarm alarm, qint64 thresholdMs)
        : m_alarm(alarm), m_thresholdMs(thresholdMs) {}

    // One observation, made now.
    std::optional<SignalAlarmEvent> observe(bool holds, const Clock& clock);
    // The recording has ended: a running alarm ends now; a condition that
    // has not yet become one is forgotten.
    std::optional<SignalAlarmEvent> end(const Clock& clock);

    bool alarmed() const { return m_alarmed; }
    SignalAlarm alarm() const { return m_alarm; }

private:
    SignalAlarm m_alarm;
    qint64 m_thresholdMs;
    bool m_holding = false;
    bool m_alarmed = false;
    QDateTime m_sinceWall;
    qint64 m_sinceMonoMs = 0;
};

}  // namespace kelm
