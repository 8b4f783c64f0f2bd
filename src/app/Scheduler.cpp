#include "Scheduler.h"

#include "EncoderControl.h"
#include "MainForm.h"
#include "Messenger.h"
#include "RecordingControl.h"
#include "RecordingGuard.h"
#include "ShellPorts.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QFileInfo>
#include <QTimer>
#include <cmath>

namespace kelm {

namespace {
const QString kWaiting = QStringLiteral("Várakozás indításra.... ");

QString kilo(qint64 value, const char* unit) {
    // Half-way values go to the even neighbour, as the status bar always did.
    return QString::number(qint64(std::nearbyint(double(value) / 1000.0))) +
           QString::fromLatin1(unit);
}
}  // namespace

void Scheduler::showProgress() {
    MainForm& f = m_ctx.form;
    const EncoderStatistics st = m_ctx.encoder()->statistics();
    f.panel(MainForm::stFile)->setText(kilo(st.archiveBytes, " Kb"));
    const qint64 seconds = st.archiveDurationMs / 1000;
    f.panel(MainForm::stEncodedTime)
        ->setText(QStringLiteral("%1:%2:%3")
                      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(seconds % 60, 2, 10, QLatin1Char('0')));
    f.setProgressValue(std::min(double(seconds) / 10.0, f.progressMaximum));
    f.panel(MainForm::stAudioBitrate)->setText(kilo(st.audioBitrate, " Kbps"));
    f.panel(MainForm::stAllBitrate)->setText(kilo(st.overallBitrate, " Kbps"));
    m_ctx.state.recordedSize = st.archiveBytes;
}

void Scheduler::logEnd() {
    const QString path = m_ctx.encoder()->outputFileName();
    // The end line names only a file that is there to be found.
    if (QFileInfo::exists(path))
        m_ctx.log.logEvent(QStringLiteral("Kódolás befejezve. Fájl neve: ") + path);
    else
        m_ctx.log.logEvent(QStringLiteral("Kódolás befejezve, de nem készült felvétel: ") + path);
}

void Scheduler::endHandling(bool logEndLine, bool keepStartLocked) {
    MainForm& f = m_ctx.form;
    if (logEndLine) logEnd();
    reattachSourceView();
    m_ctx.state.arm.set(Arm::Idle);
    f.toolbar->setStartToolTip(QStringLiteral("Rögzítés indítása"));
    m_control.unlockForm(keepStartLocked);
    f.Timer1->stop();
}

void Scheduler::logWaitingOnce(bool renewTray) {
    if (m_ctx.log.boxText().right(32).contains(kWaiting)) return;
    if (renewTray) {
        if (m_ctx.isMinimised())
            m_ctx.tray.update(-1, (m_ctx.caption() + QStringLiteral(" - ") +
                                   m_ctx.form.panel(MainForm::stImage)->toolTip())
                                      .leftJustified(64, u' ', true));
        m_ctx.state.endHandled = true;
    }
    m_ctx.log.logEvent(kWaiting);
}

bool Scheduler::startRecording(const QString& modeName, qint64 lateMs) {
    m_ctx.log.logEvent(QStringLiteral("Encoder indítása - ") + modeName);
    m_ctx.state.endHandled = false;
    m_encoder.PrepareOutputFile(lateMs);
    m_encoder.StartEncoder();
    return !m_ctx.process.ended();
}

std::optional<Scheduler::SkippedStart> Scheduler::skippedStart(const QDateTime& before,
                                                               const QDateTime& now,
                                                               int startSecond, int offsetSeconds) {
    const qint64 beforeMs = Clock::wallFaceMs(before);
    const qint64 nowMs = Clock::wallFaceMs(now);
    const qint64 dayMs = qint64(TimeText::kSecondsPerDay) * 1000;
    qint64 startMs = Clock::wallFaceMs(QDateTime(before.date(), QTime(0, 0))) +
                     (qint64(startSecond) + offsetSeconds) * 1000;
    while (startMs <= beforeMs) startMs += dayMs;
    if (startMs > nowMs) return std::nullopt;
    // The day of the start second itself, also when the window's offset
    // carried the instant past midnight.
    const QDate date =
        QDateTime::fromMSecsSinceEpoch(startMs - qint64(offsetSeconds) * 1000, Qt::UTC).date();
    return SkippedStart{date, nowMs - startMs};
}

qint64 Scheduler::clockJumpMs() {
    const QDateTime now = m_ctx.clock.now();
    const qint64 monotonic = m_ctx.clock.monotonicMs();
    qint64 jump = 0;
    if (m_lastTickWall.isValid())
        jump = (Clock::wallFaceMs(now) - Clock::wallFaceMs(m_lastTickWall)) -
               (monotonic - m_lastTickMonotonicMs);
    m_lastTickWall = now;
    m_lastTickMonotonicMs = monotonic;
    return jump;
}

bool Scheduler::startLate(const QString& modeName, const SkippedStart& skipped, int startSecond) {
    if (!firstAttempt(skipped.date, startSecond)) return true;
    const qint64 plannedMs =
        qint64(TimeText::secondsOfDay(m_ctx.form.txtDuration->text()).value_or(0)) * 1000;
    const QString late =
        TimeText::format(QTime(0, 0).addSecs(int(std::min<qint64>(skipped.lateMs / 1000, 86399))));
    if (skipped.lateMs + 1000 > plannedMs) {
        m_ctx.log.logEvent(
            QStringLiteral(
                "A rendszeróra átugrotta a(z) %1 indítási időpontot és a teljes felvételi "
                "időt (%2 késés): a rögzítés elmarad.")
                .arg(m_ctx.form.txtStartTime->text(), late));
        return true;
    }
    m_ctx.log.logEvent(
        QStringLiteral(
            "A rendszeróra átugrotta a(z) %1 indítási időpontot: a rögzítés %2 késéssel, "
            "a hátralévő időre indul.")
            .arg(m_ctx.form.txtStartTime->text(), late));
    return startRecording(modeName, skipped.lateMs);
}

void Scheduler::aimAtStart(int startSecond, int offsetSeconds) {
    const QDateTime now = m_ctx.clock.now();
    const qint64 nowMs = Clock::wallFaceMs(now);
    qint64 startMs = Clock::wallFaceMs(QDateTime(now.date(), QTime(0, 0))) +
                     (qint64(startSecond) + offsetSeconds) * 1000;
    if (startMs < nowMs) startMs += qint64(TimeText::kSecondsPerDay) * 1000;
    const qint64 untilMs = startMs - nowMs;
    if (untilMs <= 0 || untilMs > 400 || startMs == m_aimedAtFaceMs) return;
    m_aimedAtFaceMs = startMs;
    // A few milliseconds into the second, so the tick never lands in the one before.
    QTimer::singleShot(int(untilMs) + 3, Qt::PreciseTimer, m_ctx.form.Timer1, [this] {
        if (m_ctx.form.Timer1->isActive()) tick();
    });
}

void Scheduler::reattachSourceView() {
    // A live source shows its own picture again once the recording is over.
    if (m_ctx.form.cboVideoSource->currentText() != OutputFileName::kVideoFileSource &&
        m_ctx.state.previewWanted)
        m_ctx.monitor.attachSourceView();
}

bool Scheduler::firstAttempt(const QDate& date, int startSecond) {
    if (m_attemptDate == date && m_attemptSecond == startSecond) return false;
    m_attemptDate = date;
    m_attemptSecond = startSecond;
    return true;
}

void Scheduler::tick() {
    if (m_ctx.process.ended()) return;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) {
        m_ctx.messenger.show(
            QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép."),
            Messenger::Icon::Critical);
        m_ctx.process.endProcess(1);
        return;
    }
    RecorderState& s = m_ctx.state;
    MainForm& f = m_ctx.form;
    Toolbar& tb = *f.toolbar;
    m_guard.tick();
    // A recording that broke off and waits to go on in a new file has not ended.
    auto stopped = [this, encoder] {
        return encoder->runState() == RunState::Stopped && !m_guard.waitingToResume();
    };
    const QDateTime lastTick = m_lastTickWall;
    const bool clockJumped = clockJumpMs() > kClockJumpMs;

    if (encoder->runState() == RunState::Running) showProgress();

    const bool most = tb.isPressed(Button::btnMost);
    const bool once = tb.isPressed(Button::btn1x);
    const bool daily = tb.isPressed(Button::btnNapi);
    const int nowSecond = TimeText::secondsOfDay(m_ctx.clock.now().time());
    const auto startSecond = TimeText::secondsOfDay(f.txtStartTime->text());

    if (once && !most && !daily) {
        const bool atStart = startSecond && nowSecond == *startSecond;
        if (atStart && firstAttempt(m_ctx.clock.now().date(), *startSecond)) {
            if (!startRecording(QStringLiteral("1X"))) return;
        } else if (!atStart && startSecond && clockJumped && stopped()) {
            if (const auto skipped = skippedStart(lastTick, m_ctx.clock.now(), *startSecond, 0)) {
                if (!startLate(QStringLiteral("1X"), *skipped, *startSecond)) return;
            }
        }
        if (startSecond && stopped()) aimAtStart(*startSecond, 0);
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
            // A recording that broke off, even one that went on in a new file, is not whole.
            m_ctx.process.endProcess(
                QFileInfo::exists(encoder->outputFileName()) && !m_guard.failed() ? 0 : 1);
            return;
        }
        endHandling(false, true);
    }

    if (tb.isPressed(Button::btnNapi) && encoder->runState() != RunState::Running) {
        if (startSecond && insideDailyWindow(*startSecond, nowSecond) &&
            firstAttempt(m_ctx.clock.now().date(), *startSecond)) {
            if (!startRecording(QStringLiteral("NAPI"))) return;
        } else if (startSecond && clockJumped && stopped() &&
                   !insideDailyWindow(*startSecond, nowSecond)) {
            // The whole window was jumped over: its first second is the start.
            if (const auto skipped = skippedStart(lastTick, m_ctx.clock.now(), *startSecond, 1)) {
                if (!startLate(QStringLiteral("NAPI"), *skipped, *startSecond)) return;
            }
        }
        if (startSecond && stopped()) aimAtStart(*startSecond, 1);
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
