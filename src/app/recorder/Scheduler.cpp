#include "Scheduler.h"

#include "StallWatch.h"

#include "EncoderControl.h"
#include "FormParts.h"
#include "Messenger.h"
#include "RecordingControl.h"
#include "RecordingGuard.h"
#include "ShellPorts.h"
#include "StatusBar.h"
#include "TimeFields.h"
#include "encoder/Encoder.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QFileInfo>
#include <QTimer>

namespace kelm {

namespace {
const QString kWaiting = QStringLiteral("Várakozás indításra.... ");

// The start time as the log names it.
QString startText(int startSecond) {
    return TimeText::format(QTime(0, 0).addSecs(startSecond));
}

}  // namespace

void Scheduler::showProgress() {
    const EncoderStatistics st = m_ctx.encoder()->statistics();
    m_statusBar.showStatistics(st);
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
    if (logEndLine) logEnd();
    reattachSourceView();
    m_control.showIdle();
    m_control.unlockForm(keepStartLocked);
    m_ctx.schedulerTick.stop();
}

void Scheduler::logWaitingOnce(bool renewTray) {
    if (m_ctx.log.endsWith(kWaiting)) return;
    if (renewTray) {
        if (m_ctx.tray.isAdded())
            m_ctx.tray.update(-1, (m_ctx.caption() + QStringLiteral(" - ") + m_ctx.state.statusText)
                                      .leftJustified(64, u' ', true));
        m_ctx.state.endHandled = true;
    }
    m_ctx.log.logEvent(kWaiting);
}

bool Scheduler::startRecording(const QString& modeName, qint64 lateMs) {
    m_ctx.log.logEvent(QStringLiteral("Encoder indítása - ") + modeName);
    m_ctx.state.endHandled = false;
    m_encoder.prepareOutputFile(lateMs);
    m_encoder.startEncoder();
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
                        .arg(startText(startSecond), TimeText::format(m_ctx.clock.now().time())));
            return startRecording(modeName);
        case StartCall::Kind::Late:
            if (!free || !firstAttempt(call.due.date, startSecond)) return true;
            return startLate(modeName, call, startSecond);
    }
    return true;
}

bool Scheduler::startLate(const QString& modeName, const StartCall& call, int startSecond) {
    const qint64 plannedMs = qint64(m_timeFields.durationSeconds().value_or(0)) * 1000;
    const QString late =
        TimeText::format(QTime(0, 0).addSecs(int(std::min<qint64>(call.lateMs / 1000, 86399))));
    if (call.lateMs + 1000 > plannedMs) {
        m_ctx.log.logEvent(
            QStringLiteral(
                "A rendszeróra átugrotta a(z) %1 indítási időpontot és a teljes felvételi "
                "időt (%2 késés): a rögzítés elmarad.")
                .arg(startText(startSecond), late));
        return true;
    }
    m_ctx.log.logEvent(
        QStringLiteral(
            "A rendszeróra átugrotta a(z) %1 indítási időpontot: a rögzítés %2 késéssel, "
            "a hátralévő időre indul.")
            .arg(startText(startSecond), late));
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
    QTimer::singleShot(int(untilMs) + 3, Qt::PreciseTimer, &m_ctx.schedulerTick, [this] {
        if (m_ctx.schedulerTick.isActive()) tick();
    });
}

void Scheduler::reattachSourceView() {
    // A live source shows its own picture again once the recording is over.
    if (!m_sources.pictureFileChosen() && m_ctx.state.previewWanted)
        m_ctx.monitor.attachSourceView();
}

bool Scheduler::firstAttempt(const QDate& date, int startSecond) {
    if (m_attemptDate == date && m_attemptSecond == startSecond) return false;
    m_attemptDate = date;
    m_attemptSecond = startSecond;
    return true;
}

bool Scheduler::stopped(const Encoder& encoder) const {
    // A recording that broke off and waits to go on in a new file has not ended.
    // Nor has one whose start the encoder has not answered yet.
    return encoder.runState() == RunState::Stopped && !m_guard.waitingToResume() &&
           !m_encoder.starting();
}

Scheduler::StartCall Scheduler::callFor(const TickView& view, qint64 windowMs) const {
    if (!view.startSecond) return {};
    return startCall(m_ctx.clock.now(), *view.startSecond, windowMs, view.lastTickUtcMs,
                     view.stepped);
}

namespace {
bool inStartSecond(const Scheduler::StartCall& call) {
    return call.kind == Scheduler::StartCall::Kind::OnTime &&
           call.lateMs < Scheduler::kOnceWindowMs;
}
}  // namespace

void Scheduler::tick() {
    const BusyScope busy("scheduler tick");
    if (m_ctx.process.ended()) return;
    Encoder* encoder = m_ctx.encoder();
    if (!encoder) {
        m_ctx.schedulerTick.stop();  // no further tick inside the box
        m_ctx.messenger.show(
            QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép."),
            Messenger::Icon::Critical);
        m_ctx.process.endProcess(1);
        return;
    }
    m_guard.tick();
    m_encoder.tick();
    const std::optional<qint64> lastTickUtcMs = m_lastTickUtcMs;
    const bool stepped = clockStepMs() > kClockJumpMs;

    if (encoder->runState() == RunState::Running) showProgress();

    const TickView view{*encoder, m_timeFields.startSecond(), lastTickUtcMs, stepped};
    switch (m_ctx.state.mode.value()) {
        case RecordingMode::Once:
            tickOnce(view);
            return;
        case RecordingMode::Most:
            tickMost(view);
            return;
        case RecordingMode::Daily:
            tickDaily(view);
            return;
    }
}

void Scheduler::tickOnce(const TickView& view) {
    RecorderState& s = m_ctx.state;
    const StartCall call = callFor(view, kOnceWindowMs);
    if (!startAsCalled(QStringLiteral("1X"), call, view.startSecond.value_or(0),
                       stopped(view.encoder)))
        return;
    if (view.startSecond && stopped(view.encoder)) aimAtStart(*view.startSecond);
    if (stopped(view.encoder) && !s.endHandled) {
        endHandling(true, false);
        m_timeFields.startLeave();
        m_timeFields.endLeave();
        // A recording that left no file is an encoder error the status bar shows.
        s.nextStartWarning = !QFileInfo::exists(view.encoder.outputFileName());
        s.endHandled = true;
    }
    if (!inStartSecond(call) && stopped(view.encoder) && s.arm.isArmed()) logWaitingOnce(true);
}

void Scheduler::tickMost(const TickView& view) {
    if (!stopped(view.encoder)) return;
    logEnd();
    if (m_ctx.state.commandLine.isEmpty()) {
        endHandling(false, true);
        return;
    }
    m_exitForm();
    m_ctx.log.logEvent(QStringLiteral("Esemény napló kiírása. Program befejezése."));
    m_ctx.log.close();
    m_ctx.monitor.unload();
    // A timer that started KELM learns from the status whether anything was recorded.
    // A recording that broke off, even one that went on in a new file, is not whole.
    m_ctx.process.endProcess(
        QFileInfo::exists(view.encoder.outputFileName()) && !m_guard.failed() ? 0 : 1);
}

void Scheduler::tickDaily(const TickView& view) {
    RecorderState& s = m_ctx.state;
    if (view.encoder.runState() == RunState::Running) return;
    const StartCall call = callFor(view, kDailyWindowMs);
    if (!startAsCalled(QStringLiteral("NAPI"), call, view.startSecond.value_or(0),
                       stopped(view.encoder)))
        return;
    if (view.startSecond && stopped(view.encoder)) aimAtStart(*view.startSecond);
    if (stopped(view.encoder) && !s.endHandled) {
        logEnd();
        s.endHandled = true;
        reattachSourceView();
    }
    if (view.startSecond && !inStartSecond(call) && stopped(view.encoder) && s.arm.isArmed())
        logWaitingOnce(false);
}

}  // namespace kelm
