#include "Scheduler.h"

#include "EncoderControl.h"
#include "MainForm.h"
#include "Messenger.h"
#include "RecordingControl.h"
#include "ShellPorts.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QFileInfo>
#include <cmath>

namespace kelm {

namespace {
const QString kWaiting = QStringLiteral("Várakozás indításra.... ");

QString kilo(qint64 value, const char* unit) {
    // Half-way values go to the even neighbour, as the status bar always did.
    return QString::number(qint64(std::nearbyint(double(value) / 1000.0))) + QString::fromLatin1(unit);
}
}  // namespace

void Scheduler::showProgress() {
    MainForm& f = m_ctx.form;
    const EncoderStatistics st = m_ctx.encoder()->statistics();
    f.panel(MainForm::stFile)->setText(kilo(st.archiveBytes, " Kb"));
    const qint64 seconds = st.archiveDurationMs / 1000;
    f.panel(MainForm::stEncodedTime)->setText(
        QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0')));
    f.setProgressValue(std::min(double(seconds) / 10.0, f.progressMaximum));
    f.panel(MainForm::stAudioBitrate)->setText(kilo(st.audioBitrate, " Kbps"));
    f.panel(MainForm::stAllBitrate)->setText(kilo(st.overallBitrate, " Kbps"));
    m_ctx.state.recordedSize = st.archiveBytes;
}

void Scheduler::logEnd() {
    m_ctx.log.logEvent(QStringLiteral("Kódolás befejezve. Fájl neve: ") + m_ctx.encoder()->outputFileName());
}

void Scheduler::endHandling(bool logEndLine, bool keepStartLocked) {
    MainForm& f = m_ctx.form;
    if (logEndLine)
        logEnd();
    reattachSourceView();
    m_ctx.state.arm.set(Arm::Idle);
    f.toolbar->setStartToolTip(QStringLiteral("Rögzítés indítása"));
    m_control.unlockForm(keepStartLocked);
    f.Timer1->stop();
}

void Scheduler::logWaitingOnce(bool renewTray) {
    if (m_ctx.log.boxText().right(32).contains(kWaiting))
        return;
    if (renewTray) {
        if (m_ctx.isMinimised())
            m_ctx.tray.update(-1, (m_ctx.caption() + QStringLiteral(" - ") +
                                   m_ctx.form.panel(MainForm::stImage)->toolTip())
                                      .leftJustified(64, u' ', true));
        m_ctx.state.endHandled = true;
    }
    m_ctx.log.logEvent(kWaiting);
}

bool Scheduler::startRecording(const QString& modeName) {
    m_ctx.log.logEvent(QStringLiteral("Encoder indítása - ") + modeName);
    m_ctx.state.endHandled = false;
    m_encoder.PrepareOutputFile();
    m_encoder.StartEncoder();
    return !m_ctx.process.ended();
}

void Scheduler::reattachSourceView() {
    // A live source shows its own picture again once the recording is over.
    if (m_ctx.form.cboVideoSource->currentText() != OutputFileName::kVideoFileSource && m_ctx.state.previewWanted)
        m_ctx.monitor.attachSourceView();
}

bool Scheduler::firstAttempt(const QDate& date, int startSecond) {
    if (m_attemptDate == date && m_attemptSecond == startSecond)
        return false;
    m_attemptDate = date;
    m_attemptSecond = startSecond;
    return true;
}

void Scheduler::tick() {
    if (m_ctx.process.ended())
        return;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) {
        m_ctx.messenger.show(QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép."),
                             Messenger::Icon::Critical);
        m_ctx.process.endProcess(1);
        return;
    }
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
    Toolbar& tb = *f.toolbar;
    auto stopped = [encoder] { return encoder->runState() == RunState::Stopped; };

    if (encoder->runState() == RunState::Running)
        showProgress();

    const bool most = tb.isPressed(Button::btnMost);
    const bool once = tb.isPressed(Button::btn1x);
    const bool daily = tb.isPressed(Button::btnNapi);
    const int nowSecond = TimeText::secondsOfDay(m_ctx.clock.now().time());
    const auto startSecond = TimeText::secondsOfDay(f.txtStartTime->text());

    if (once && !most && !daily) {
        const bool atStart = startSecond && nowSecond == *startSecond;
        if (atStart && firstAttempt(m_ctx.clock.now().date(), *startSecond)) {
            if (!startRecording(QStringLiteral("1X")))
                return;
        }
        if (stopped() && !s.endHandled) {
            endHandling(true, false);
            m_timeFields.startLeave();
            m_timeFields.endLeave();
            // A recording that left no file is an encoder error the status bar shows.
            s.nextStartWarning = !QFileInfo::exists(encoder->outputFileName());
            s.endHandled = true;
        }
        if (!atStart && stopped() && m_ctx.state.arm.isArmed()) logWaitingOnce(true);
    }

    if (tb.isPressed(Button::btnMost) && stopped()) {
        logEnd();
        if (!s.commandLine.isEmpty()) {
            m_exitForm();
            m_ctx.log.logEvent(QStringLiteral("Esemény napló kiírása. Program befejezése."));
            m_ctx.log.close();
            m_ctx.monitor.unload();
            // A timer that started KELM learns from the status whether anything was recorded.
            m_ctx.process.endProcess(QFileInfo::exists(encoder->outputFileName()) ? 0 : 1);
            return;
        }
        endHandling(false, true);
    }

    if (tb.isPressed(Button::btnNapi) && encoder->runState() != RunState::Running) {
        if (startSecond && insideDailyWindow(*startSecond, nowSecond) &&
            firstAttempt(m_ctx.clock.now().date(), *startSecond)) {
            if (!startRecording(QStringLiteral("NAPI")))
                return;
        }
        if (stopped() && !s.endHandled) {
            logEnd();
            s.endHandled = true;
            reattachSourceView();
        }
        if (startSecond && nowSecond != *startSecond && stopped() && m_ctx.state.arm.isArmed())
            logWaitingOnce(false);
    }
}

}  // namespace kelm
