#include "capture/HeldCondition.h"

#include "recorder/TimeText.h"

namespace kelm {

QString signalAlarmName(SignalAlarm alarm) {
    switch (alarm) {
        case SignalAlarm::Silence:
            return QStringLiteral("csend");
        case SignalAlarm::BlackPicture:
            return QStringLiteral("fekete kép");
        case SignalAlarm::FrozenPicture:
            return QStringLiteral("állókép");
    }
    return {};
}

QString SignalAlarmEvent::message() const {
    const QString name = signalAlarmName(alarm);
    if (kind == Kind::Began)
        return QStringLiteral("Jelhiba: %1 %2 óta.").arg(name, TimeText::format(from.time()));
    // Whole seconds, to the nearest: the span the two times of day show.
    const qint64 seconds = (heldMs + 500) / 1000;
    return QStringLiteral("Jelhiba vége: %1, %2\u2013%3 (%4 mp).")
        .arg(name, TimeText::format(from.time()), TimeText::format(to.time()))
        .arg(seconds);
}

std::optional<SignalAlarmEvent> HeldCondition::observe(bool holds, const Clock& clock) {
    if (!holds) return end(clock);
    const qint64 monoMs = clock.monotonicMs();
    if (!m_holding) {
        m_holding = true;
        m_sinceWall = clock.now();
        m_sinceMonoMs = monoMs;
        return std::nullopt;
    }
    if (m_alarmed || monoMs - m_sinceMonoMs <= m_thresholdMs) return std::nullopt;
    m_alarmed = true;
    SignalAlarmEvent began;
    began.alarm = m_alarm;
    began.kind = SignalAlarmEvent::Kind::Began;
    began.from = m_sinceWall;
    return began;
}

std::optional<SignalAlarmEvent> HeldCondition::end(const Clock& clock) {
    const bool wasAlarmed = m_alarmed;
    m_holding = m_alarmed = false;
    if (!wasAlarmed) return std::nullopt;
    SignalAlarmEvent ended;
    ended.alarm = m_alarm;
    ended.kind = SignalAlarmEvent::Kind::Ended;
    ended.from = m_sinceWall;
    ended.to = clock.now();
    ended.heldMs = clock.monotonicMs() - m_sinceMonoMs;
    return ended;
}

}  // namespace kelm
