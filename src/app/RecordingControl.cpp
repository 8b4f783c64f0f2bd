#include "RecordingControl.h"

#include "StallWatch.h"

#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "MainForm.h"
#include "Messenger.h"
#include "RecordingGuard.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <array>

namespace kelm {

namespace {
constexpr std::array<Button, 3> kModeKeys{Button::btnMost, Button::btn1x, Button::btnNapi};
}

int RecordingControl::askAroundMonitor(const std::function<int()>& box) {
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.sendToBack();
    const int answer = box();
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.reapplyOnTop();
    return answer;
}

void RecordingControl::ToggleRecording() {
    const BusyScope busy("start button");
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
    Toolbar& tb = *f.toolbar;
    s.endHandled = true;
    const bool idle = s.arm.isIdle();
    if (idle) m_state.saveState();

    // A duration that does not read as a length would give the encoder no
    // limit: an endless recording, and in "Napi" mode no next day.
    const auto duration = TimeText::secondsOfDay(f.txtDuration->text());
    if (!duration || *duration == 0) {
        askAroundMonitor([&] {
            m_ctx.messenger.show(QStringLiteral("Nincs megadva kódolási idő!"),
                                 Messenger::Icon::Warning);
            return 0;
        });
        return;
    }

    const bool daily = tb.isPressed(Button::btnNapi);
    if (idle) {
        arm(daily);
        return;
    }
    if (daily) {
        s.nextStartWarning = false;
        // The status loop runs this control three seconds before every daily
        // start to reset the flags; that run must not disarm the schedule.
        const int nowSecond = TimeText::secondsOfDay(m_ctx.clock.now().time());
        const auto startSecond = TimeText::secondsOfDay(f.txtStartTime->text());
        if (startSecond && (nowSecond + 3) % TimeText::kSecondsPerDay == *startSecond) return;
    }
    disarm();
}

void RecordingControl::arm(bool daily) {
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
    Toolbar& tb = *f.toolbar;

    for (auto p : {MainForm::stFile, MainForm::stEncodedTime, MainForm::stAudioBitrate})
        f.panel(p)->clear();
    f.setProgressValue(0);
    s.recordedSize = 0;
    if (daily) {
        f.cmdPlay->unsetCursor();
        f.cmdPlay->setEnabled(true);
        keepSourcesRunning();
    } else if (tb.isPressed(Button::btnMost)) {
        s.arm.set(Arm::Armed);
        m_encoder.PrepareOutputFile();
        m_encoder.StartEncoder();
        if (m_ctx.process.ended()) return;
        if (tb.isPressed(Button::btnEncPreview) && s.previewWanted)
            m_encoder.bindPreviewToMonitor();
    } else {
        keepSourcesRunning();
    }
    f.Timer1->start();
    lockForm();
    m_ctx.setCaption(s.settings.channelName);
    s.arm.set(Arm::Armed);
    tb.setStartToolTip(QStringLiteral("Rögzítés leállítása"));
    writeSummary();
}

void RecordingControl::keepSourcesRunning() {
    // A timed recording starts on its second only when the sources already
    // run: starting them takes longer than a second. A source that fails here
    // is reported by the start itself.
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) return;
    m_encoder.PrepareOutputFile();
    m_ctx.encoderRequests.prepare();
}

void RecordingControl::lockForm() {
    MainForm& f = m_ctx.form;
    for (QWidget* w :
         std::initializer_list<QWidget*>{f.cboAudioSource, f.cboInput, f.cboVideoSource,
                                         f.cboVideoInput, f.txtStartTime, f.txtEnd, f.txtDuration})
        w->setEnabled(false);
    for (const Button key : kModeKeys) {
        if (!f.toolbar->isPressed(key)) f.toolbar->setEnabled(key, false);
    }
}

void RecordingControl::unlockForm(bool keepStartLocked) {
    MainForm& f = m_ctx.form;
    f.cboAudioSource->setEnabled(true);
    f.cboInput->setEnabled(true);
    f.cboVideoSource->setEnabled(true);
    f.cboVideoInput->setEnabled(f.cboVideoSource->currentText() !=
                                OutputFileName::kVideoFileSource);
    f.txtStartTime->setEnabled(!keepStartLocked);
    f.txtEnd->setEnabled(true);
    f.txtDuration->setEnabled(true);
    for (const Button key : kModeKeys) f.toolbar->setEnabled(key, true);
}

void RecordingControl::writeSummary() {
    const MainForm& f = m_ctx.form;
    m_ctx.log.logEvent(QStringLiteral("Csatorna: ") + m_ctx.state.settings.channelShortName + u';' +
                       QStringLiteral(" Hangrögzítő eszköz: ") + f.cboAudioSource->currentText() +
                       u';' + QStringLiteral(" Kezdés: ") + f.txtStartTime->text() + u';' +
                       QStringLiteral(" Vége: ") + f.txtEnd->text() + u';' +
                       QStringLiteral(" Hossz: ") + f.txtDuration->text() + u'.');
}

void RecordingControl::disarm() {
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
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
    f.Timer1->stop();
    s.arm.set(Arm::Idle);
    f.toolbar->setStartToolTip(QStringLiteral("Rögzítés indítása"));
    unlockForm(false);
    m_ctx.setCaption(QStringLiteral("KELM"));
}

}  // namespace kelm
