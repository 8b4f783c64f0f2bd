#include "SubtitleJobs.h"

#include "MainForm.h"
#include "encoder/Encoder.h"
#include "post/ProcessPorts.h"
#include "post/TimecodeJob.h"
#include "recorder/EventLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace kelm {

namespace {
const QString kStarted = QStringLiteral("Timecode generálás...");
const QString kFinished = QStringLiteral("Timecode generálása befejeződött.");
}  // namespace

SubtitleJobs::SubtitleJobs(RecorderContext& context, ProgramLauncher& launcher,
                           std::function<void()> previewDone)
    : m_ctx(context), m_launcher(launcher), m_previewDone(std::move(previewDone)) {}

QString SubtitleJobs::tiplonPath() const {
    return QDir(m_ctx.state.programDir).filePath(QStringLiteral("tiplon"));
}

bool SubtitleJobs::launch(const QStringList& arguments) {
    const QString program = tiplonPath();
    if (!QFileInfo(program).isFile()) {
        m_ctx.log.logEvent(QStringLiteral("A(z) ") + program +
                           QStringLiteral(" program nem található!"));
        return false;
    }
    if (arguments.isEmpty() || !m_launcher.startDetached(program, arguments)) {
        m_ctx.log.logEvent(QStringLiteral("A(z) ") + program +
                           QStringLiteral(" program nem indítható!"));
        return false;
    }
    return true;
}

void SubtitleJobs::launchLive() {
    MainForm& f = m_ctx.form;
    f.preStartSub->stop();
    const Encoder* encoder = m_ctx.encoder();
    if (!encoder) return;
    m_liveRecording = encoder->outputFileName();
    // Markers of an earlier run for the same name would end the watch at once.
    removeMarkers(m_liveRecording);
    const RecorderState& s = m_ctx.state;
    const QStringList arguments =
        TimecodeJob::liveArguments(m_liveRecording, f.txtStartTime->text(), f.txtDuration->text(),
                                   m_ctx.clock.now().date(), s.settings.channelShortName);
    // Without tiplon there is nothing to watch: startSub stays off.
    if (launch(arguments)) f.startSub->start();
}

void SubtitleJobs::watchLive() {
    // The timecode setting only decides whether the job is reported; its
    // markers are cleared up either way.
    const bool report = m_ctx.state.settings.makeTimecode != 0;
    if (report && QFileInfo::exists(TimecodeJob::startMarker(m_liveRecording))) logStartedOnce();
    if (QFileInfo::exists(TimecodeJob::stopMarker(m_liveRecording))) {
        if (report) m_ctx.log.logEvent(kFinished);
        m_ctx.form.startSub->stop();
        removeMarkers(m_liveRecording);
    }
}

void SubtitleJobs::finishLiveBeforeExit(int limitMs) {
    MainForm& f = m_ctx.form;
    if (f.preStartSub->isActive()) launchLive();
    if (!f.startSub->isActive()) return;
    // The one wait in KELM: the process ends next, and the job's end would
    // otherwise never be seen. tiplon needs milliseconds for a short recording.
    const QDeadlineTimer deadline(limitMs);
    while (!QFileInfo::exists(TimecodeJob::stopMarker(m_liveRecording)) && !deadline.hasExpired())
        QThread::msleep(10);
    watchLive();
}

bool SubtitleJobs::startPreviewJob(const QString& indexedCopyPath) {
    m_previewIndexPath = indexedCopyPath;
    removeMarkers(m_previewIndexPath);
    const RecorderState& s = m_ctx.state;
    const Encoder* encoder = m_ctx.encoder();
    const qint64 encodingMs = encoder ? encoder->statistics().encodingTimeMs : 0;
    const QStringList arguments =
        TimecodeJob::previewArguments(m_previewIndexPath, m_ctx.form.txtStartTime->text(),
                                      encodingMs, s.todayStamp, s.settings.channelShortName);
    if (!launch(arguments)) return false;
    m_ctx.form.startPreviewSub->start();
    return true;
}

void SubtitleJobs::watchPreview() {
    if (QFileInfo::exists(TimecodeJob::startMarker(m_previewIndexPath))) logStartedOnce();
    if (QFileInfo::exists(TimecodeJob::stopMarker(m_previewIndexPath))) {
        m_ctx.log.logEvent(kFinished);
        m_ctx.form.startPreviewSub->stop();
        removeMarkers(m_previewIndexPath);
        if (m_previewDone) m_previewDone();
    }
}

void SubtitleJobs::logStartedOnce() {
    // Once while the job runs: the rule looks only at the end of the log box,
    // so another message in between brings the line again.
    if (!m_ctx.log.boxText().right(kStarted.size() + 2).contains(kStarted))
        m_ctx.log.logEvent(kStarted);
}

void SubtitleJobs::removeMarkers(const QString& recordingPath) {
    if (recordingPath.isEmpty()) return;
    QFile::remove(TimecodeJob::startMarker(recordingPath));
    QFile::remove(TimecodeJob::stopMarker(recordingPath));
}

}  // namespace kelm
