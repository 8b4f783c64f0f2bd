#include "Scheduler.h"

#include "StallWatch.h"

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
        if (m_ctx.tray.isAdded())
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

Scheduler::StartCall Scheduler::startCall(const QDateTime& now, int startSecond, qint64 windowMs,
                                          std::optional<qint64> lastTickUtcMs, bool stepped) {
    const auto due = StartInstant::latest(now, startSecond);
    if (!due) return {};
    const qint64 lateMs = now.toMSecsSinceEpoch() - due->utcMs;
    if (lateMs < windowMs) return {StartCall::Kind::OnTime, *due, lateMs};
    // Only a start the step carried the clock over: one the program merely
    // missed while it was busy stays missed.
    if (stepped && lastTickUtcMs && due->utcMs > *lastTickUtcMs)
        return {StartCall::Kind::Late, *due, lateMs};
    return {StartCall::Kind::Wait, *due, lateMs};
}

qint64 Scheduler::clockStepMs() {
    // UTC, not the clock face: a summer-time change moves only the face.
    const qint64 utc = m_ctx.clock.now().toMSecsSinceEpoch();
    const qint64 monotonic = m_ctx.clock.monotonicMs();
    qint64 step = 0;
    if (m_lastTickUtcMs) step = (utc - *m_lastTickUtcMs) - (monotonic - m_lastTickMonotonicMs);
    m_lastTickUtcMs = utc;
    m_lastTickMonotonicMs = monotonic;
    return step;
}

bool Scheduler::startAsCalled(const QString& modeName, const StartCall& call, int startSecond,
                              bool free) {
    switch (call.kind) {
        case StartCall::Kind::Wait:
            return true;
        case StartCall::Kind::OnTime:
            if (!firstAttempt(call.due.date, startSecond)) return true;
            if (call.due.faceSkipped)
                m_ctx.log.logEvent(
                    QStringLiteral("A(z) %1 indítási időpont a nyári időszámításra váltáskor "
                                   "nem létezik: a rögzítés %2-kor, teljes hosszban indul.")
                        .arg(m_ctx.form.txtStartTime->text(),
                             TimeText::format(m_ctx.clock.now().time())));
            return startRecording(modeName);
        case StartCall::Kind::Late:
            if (!free || !firstAttempt(call.due.date, startSecond)) return true;
            return startLate(modeName, call);
    }
    return true;
}

bool Scheduler::startLate(const QString& modeName, const StartCall& call) {
    const qint64 plannedMs =
        qint64(TimeText::secondsOfDay(m_ctx.form.txtDuration->text()).value_or(0)) * 1000;
    const QString late =
        TimeText::format(QTime(0, 0).addSecs(int(std::min<qint64>(call.lateMs / 1000, 86399))));
    if (call.lateMs + 1000 > plannedMs) {
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
    return startRecording(modeName, call.lateMs);
}

void Scheduler::aimAtStart(int startSecond) {
    const QDateTime now = m_ctx.clock.now();
    const auto due = StartInstant::next(now, startSecond);
    if (!due) return;
    const qint64 untilMs = due->utcMs - now.toMSecsSinceEpoch();
    if (untilMs > 400 || m_aimedAtUtcMs == due->utcMs) return;
    m_aimedAtUtcMs = due->utcMs;
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
    const BusyScope busy("scheduler tick");
    if (m_ctx.process.ended()) return;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) {
        m_ctx.form.Timer1->stop();  // no further tick inside the box
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
    m_encoder.tick();
    // A recording that broke off and waits to go on in a new file has not ended.
    // Nor has one whose start the encoder has not answered yet.
    auto stopped = [this, encoder] {
        return encoder->runState() == RunState::Stopped && !m_guard.waitingToResume() &&
               !m_encoder.starting();
    };
    const std::optional<qint64> lastTickUtcMs = m_lastTickUtcMs;
    const bool stepped = clockStepMs() > kClockJumpMs;

    if (encoder->runState() == RunState::Running) showProgress();

    const bool most = tb.isPressed(Button::btnMost);
    const bool once = tb.isPressed(Button::btn1x);
    const bool daily = tb.isPressed(Button::btnNapi);
    const auto startSecond = TimeText::secondsOfDay(f.txtStartTime->text());
    auto callFor = [&](qint64 windowMs) {
        return startSecond
                   ? startCall(m_ctx.clock.now(), *startSecond, windowMs, lastTickUtcMs, stepped)
                   : StartCall{};
    };
    auto inStartSecond = [](const StartCall& call) {
        return call.kind == StartCall::Kind::OnTime && call.lateMs < kOnceWindowMs;
    };

    if (once && !most && !daily) {
        const StartCall call = callFor(kOnceWindowMs);
        if (!startAsCalled(QStringLiteral("1X"), call, startSecond.value_or(0), stopped())) return;
        if (startSecond && stopped()) aimAtStart(*startSecond);
        if (stopped() && !s.endHandled) {
            endHandling(true, false);
            m_timeFields.startLeave();
            m_timeFields.endLeave();
            // A recording that left no file is an encoder error the status bar shows.
            s.nextStartWarning = !QFileInfo::exists(encoder->outputFileName());
            s.endHandled = true;
        }
        if (!inStartSecond(call) && stopped() && m_ctx.state.arm.isArmed()) logWaitingOnce(true);
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
        const StartCall call = callFor(kDailyWindowMs);
        if (!startAsCalled(QStringLiteral("NAPI"), call, startSecond.value_or(0), stopped()))
            return;
        if (startSecond && stopped()) aimAtStart(*startSecond);
        if (stopped() && !s.endHandled) {
            logEnd();
            s.endHandled = true;
            reattachSourceView();
        }
        if (startSecond && !inStartSecond(call) && stopped() && m_ctx.state.arm.isArmed())
            logWaitingOnce(false);
    }
}

}  // namespace kelm
