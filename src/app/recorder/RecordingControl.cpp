#include "RecordingControl.h"

#include "StallWatch.h"

#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "FormParts.h"
#include "Messenger.h"
#include "RecordingGuard.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "StatusBar.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QPushButton>

namespace kelm {

int RecordingControl::askAroundMonitor(const std::function<int()>& box) {
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.sendToBack();
    const int answer = box();
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.reapplyOnTop();
    return answer;
}

void RecordingControl::toggleRecording() {
    const BusyScope busy("start button");
    RecorderState& s = m_ctx.state;
    s.endHandled = true;
    const bool idle = s.arm.isIdle();
    if (idle) m_state.saveState();

    // A duration that does not read as a length would give the encoder no
    // limit: an endless recording, and in "Napi" mode no next day.
    const auto duration = m_timeFields.durationSeconds();
    if (!duration || *duration == 0) {
        askAroundMonitor([&] {
            m_ctx.messenger.show(QStringLiteral("Nincs megadva kódolási idő!"),
                                 Messenger::Icon::Warning);
            return 0;
        });
        return;
    }

    const bool daily = s.mode.is(RecordingMode::Daily);
    if (idle) {
        arm(daily);
        return;
    }
    if (daily) {
        s.nextStartWarning = false;
        // The status loop runs this control three seconds before every daily
        // start to reset the flags; that run must not disarm the schedule.
        const int nowSecond = TimeText::secondsOfDay(m_ctx.clock.now().time());
        const auto startSecond = m_timeFields.startSecond();
        if (startSecond && (nowSecond + 3) % TimeText::kSecondsPerDay == *startSecond) return;
    }
    disarm();
}

void RecordingControl::arm(bool daily) {
    RecorderState& s = m_ctx.state;
    m_statusBar.clearRecording();
    s.recordedSize = 0;
    if (daily) {
        m_playPreview->unsetCursor();
        m_playPreview->setEnabled(true);
        keepSourcesRunning();
    } else if (s.mode.is(RecordingMode::Most)) {
        s.arm.set(Arm::Armed);
        m_encoder.prepareOutputFile();
        m_encoder.startEncoder();
        if (m_ctx.process.ended()) return;
        if (m_toolbar.isPressed(Button::btnEncPreview) && s.previewWanted)
            m_encoder.bindPreviewToMonitor();
    } else {
        keepSourcesRunning();
    }
    m_ctx.schedulerTick.start();
    lockForm();
    m_ctx.setCaption(s.settings.channelName);
    s.arm.set(Arm::Armed);
    m_toolbar.setStartToolTip(QStringLiteral("Rögzítés leállítása"));
    writeSummary();
}

void RecordingControl::keepSourcesRunning() {
    // A timed recording starts on its second only when the sources already
    // run: starting them takes longer than a second. A source that fails here
    // is reported by the start itself.
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) return;
    m_encoder.prepareOutputFile();
    m_ctx.encoderRequests.prepare();
}

void RecordingControl::lockForm() {
    m_sources.setEditable(false);
    m_timeFields.setEditable(false, false);
    m_toolbar.enableModes(m_ctx.state.mode.value(), false);
}

void RecordingControl::unlockForm(bool keepStartLocked) {
    m_sources.setEditable(true);
    m_timeFields.setEditable(true, !keepStartLocked);
    m_toolbar.enableModes(m_ctx.state.mode.value(), true);
}

void RecordingControl::showIdle() {
    m_ctx.state.arm.set(Arm::Idle);
    m_toolbar.setStartToolTip(QStringLiteral("Rögzítés indítása"));
}

void RecordingControl::writeSummary() {
    const TimeFields::Texts times = m_timeFields.texts();
    m_ctx.log.logEvent(QStringLiteral("Csatorna: ") + m_ctx.state.settings.channelShortName + u';' +
                       QStringLiteral(" Hangrögzítő eszköz: ") + m_sources.audioSourceText() +
                       u';' + QStringLiteral(" Kezdés: ") + times.start + u';' +
                       QStringLiteral(" Vége: ") + times.end + u';' + QStringLiteral(" Hossz: ") +
                       times.duration + u'.');
}

void RecordingControl::disarm() {
    RecorderState& s = m_ctx.state;
    s.nextStartWarning = false;
    const int answer = askAroundMonitor([&] {
        return int(m_ctx.messenger.ask(QStringLiteral("Valóban le akarja allítani a kódolást?"),
                                       Messenger::Buttons::OkCancel, Messenger::Icon::Warning,
                                       Messenger::Answer::Ok));
    });
    if (answer != int(Messenger::Answer::Ok)) return;

    Encoder* encoder = m_ctx.encoder();
    const bool starting = m_encoder.starting();
    m_encoder.abandonStart();
    if (encoder && (starting || encoder->runState() != RunState::Stopped)) {
        encoder->stop();
        m_ctx.log.logEvent(QStringLiteral("Encoder leállítva!"));
    } else {
        m_ctx.log.logEvent(QStringLiteral("Kódolási folyamat leállítva!"));
    }
    m_guard.disarmed();
    if (s.previewWanted) m_ctx.monitor.attachSourceView();
    m_ctx.schedulerTick.stop();
    showIdle();
    unlockForm(false);
    m_ctx.setCaption(QStringLiteral("KELM"));
}

}  // namespace kelm
