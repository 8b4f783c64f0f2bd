#include "SignalAlarms.h"

#include "FormParts.h"
#include "StatusBar.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QStringList>

#include <algorithm>

namespace kelm {

Encoder* SignalAlarms::connected() {
    Encoder* encoder = m_parts.encoder();
    if (encoder == m_connectedTo) return encoder;
    disconnect();
    m_connectedTo = encoder;
    if (!encoder) return nullptr;
    m_soundLink = QObject::connect(encoder, &Encoder::soundMeasured, encoder,
                                   [this](const SoundLevels& l) { soundMeasured(l); });
    m_pictureLink = QObject::connect(encoder, &Encoder::pictureMeasured, encoder,
                                     [this](const PictureMeasures& m) { pictureMeasured(m); });
    return encoder;
}

void SignalAlarms::disconnect() {
    QObject::disconnect(m_soundLink);
    QObject::disconnect(m_pictureLink);
    m_connectedTo = nullptr;
}

void SignalAlarms::tick() {
    Encoder* encoder = connected();
    const bool recording = encoder && encoder->runState() == RunState::Running;
    if (recording && !watching())
        begin();
    else if (!recording && watching())
        recordingEnded();
}

void SignalAlarms::begin() {
    m_silence.emplace(m_parts.clock);
    m_picture.emplace(m_parts.clock, m_parts.sources.pictureFileChosen()
                                         ? PictureWatch::Stillness::ByDesign
                                         : PictureWatch::Stillness::Watched);
}

void SignalAlarms::recordingEnded() {
    if (!watching()) return;
    if (const auto ended = m_silence->recordingEnded()) apply(*ended);
    for (const SignalAlarmEvent& ended : m_picture->recordingEnded()) apply(ended);
    m_silence.reset();
    m_picture.reset();
}

bool SignalAlarms::watchingRecording() {
    if (watching()) return true;
    Encoder* encoder = connected();
    if (!encoder || encoder->runState() != RunState::Running) return false;
    begin();
    return true;
}

void SignalAlarms::soundMeasured(const SoundLevels& levels) {
    if (!watchingRecording()) return;
    if (const auto event = m_silence->observe(levels)) apply(*event);
}

void SignalAlarms::pictureMeasured(const PictureMeasures& measures) {
    if (!watchingRecording()) return;
    for (const SignalAlarmEvent& event : m_picture->observe(measures)) apply(event);
}

bool SignalAlarms::running(SignalAlarm alarm) const {
    return std::any_of(m_running.cbegin(), m_running.cend(),
                       [alarm](const SignalAlarmEvent& e) { return e.alarm == alarm; });
}

void SignalAlarms::apply(const SignalAlarmEvent& event) {
    m_parts.log.logEvent(event.message());
    if (event.kind == SignalAlarmEvent::Kind::Began)
        m_running.push_back(event);
    else
        std::erase_if(m_running, [&](const SignalAlarmEvent& e) { return e.alarm == event.alarm; });
    show();
}

void SignalAlarms::show() {
    QStringList names;
    QStringList since;
    for (const SignalAlarmEvent& alarm : m_running) {
        names << signalAlarmName(alarm.alarm);
        since << signalAlarmName(alarm.alarm) + QStringLiteral(" ") +
                     TimeText::format(alarm.from.time()) + QStringLiteral(" óta");
    }
    m_parts.statusBar.showSignalAlarms(
        names.isEmpty() ? QString()
                        : QStringLiteral("Jelhiba: ") + names.join(QStringLiteral(", ")),
        since.join(u'\n'));
}

}  // namespace kelm
