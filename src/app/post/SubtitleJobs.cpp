#include "SubtitleJobs.h"

#include "StallWatch.h"

#include "encoder/Encoder.h"
#include "post/ProcessPorts.h"
#include "post/TimecodeJob.h"
#include "recorder/EventLog.h"
#include "recorder/TimeText.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace kelm {

namespace {
const QString kStarted = QStringLiteral("Timecode generálás...");
const QString kFinished = QStringLiteral("Timecode generálása befejeződött.");
}  // namespace

SubtitleJobs::SubtitleJobs(RecorderContext& context, ProgramLauncher& launcher,
                           std::function<void()> previewDone)
    : m_ctx(context), m_launcher(launcher), m_previewDone(std::move(previewDone)) {
    m_liveLaunch.setInterval(3000);
    m_liveWatch.setInterval(300);
    m_previewWatch.setInterval(300);
    QObject::connect(&m_liveLaunch, &QTimer::timeout, [this] { launchLive(); });
    QObject::connect(&m_liveWatch, &QTimer::timeout, [this] { watchLive(); });
    QObject::connect(&m_previewWatch, &QTimer::timeout, [this] { watchPreview(); });
}

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

void SubtitleJobs::recordingFileStarted(const RecordingFile& file) {
    LiveJob job;
    job.file = file;
    // The length the file's name carries, to the nearest second.
    job.lengthSeconds = (file.plannedMs + 500) / 1000;
    m_live.push_back(job);
    m_liveLaunch.start();  // three seconds from this file's start
}

void SubtitleJobs::recordingFileClosed(const RecordingFile& file, qint64 recordedMs) {
    LiveJob* job = jobFor(file.path);
    if (!job) return;
    job->closed = true;
    // Entry k covers the k-th second: the whole seconds held cover every sample.
    const qint64 heldSeconds = std::max<qint64>(0, recordedMs) / 1000;
    if (heldSeconds < job->lengthSeconds && !job->unstartable) {
        if (!job->launched)
            job->lengthSeconds = heldSeconds;
        else if (job->running)
            job->redoSeconds = heldSeconds;  // once the first run has finished
        else {
            job->lengthSeconds = heldSeconds;
            launchJob(*job);
        }
    }
    dropOverJobs();
}

SubtitleJobs::LiveJob* SubtitleJobs::jobFor(const QString& path) {
    for (auto it = m_live.rbegin(); it != m_live.rend(); ++it) {
        if (it->file.path == path) return &*it;
    }
    return nullptr;
}

void SubtitleJobs::dropOverJobs() {
    std::erase_if(m_live, [](const LiveJob& j) { return j.over(); });
}

bool SubtitleJobs::livePending(const QString& path) const {
    return std::any_of(m_live.begin(), m_live.end(),
                       [&](const LiveJob& j) { return j.file.path == path && !j.over(); });
}

bool SubtitleJobs::anyLiveRunning() const {
    return std::any_of(m_live.begin(), m_live.end(), [](const LiveJob& j) { return j.running; });
}

bool SubtitleJobs::launchJob(LiveJob& job) {
    // Markers of an earlier run for the same name would end the watch at once.
    removeMarkers(job.file.path);
    const QStringList arguments = TimecodeJob::liveArguments(
        job.file.path, TimeText::format(job.file.start.time()),
        TimeText::format(QTime(0, 0).addSecs(int(job.lengthSeconds % TimeText::kSecondsPerDay))),
        job.file.start.date(), m_ctx.state.settings.channelShortName);
    job.launched = true;
    job.running = launch(arguments);
    job.unstartable = !job.running;
    // Without tiplon there is nothing to watch.
    if (job.running) m_liveWatch.start();
    return job.running;
}

void SubtitleJobs::launchLive() {
    m_liveLaunch.stop();
    for (LiveJob& job : m_live) {
        if (!job.launched) launchJob(job);
    }
    dropOverJobs();
}

void SubtitleJobs::watchLive() {
    const BusyScope busy("subtitle job watch");
    // The timecode setting only decides whether the job is reported; its
    // markers are cleared up either way.
    const bool report = m_ctx.state.settings.makeTimecode != 0;
    for (LiveJob& job : m_live) {
        if (!job.running) continue;
        const QString path = job.file.path;
        if (report && QFileInfo::exists(TimecodeJob::startMarker(path))) logStartedOnce();
        if (!QFileInfo::exists(TimecodeJob::stopMarker(path))) continue;
        removeMarkers(path);
        job.running = false;
        if (job.redoSeconds >= 0) {
            // The file closed while its job ran: the job runs again for the
            // length the file really holds, and is reported when that ends.
            job.lengthSeconds = job.redoSeconds;
            job.redoSeconds = -1;
            if (launchJob(job)) continue;
        }
        if (report) m_ctx.log.logEvent(kFinished);
    }
    dropOverJobs();
    if (!anyLiveRunning()) m_liveWatch.stop();
}

void SubtitleJobs::finishLiveBeforeExit(int limitMs) {
    const BusyScope busy("subtitles before the program ends");
    if (m_liveLaunch.isActive() ||
        std::any_of(m_live.begin(), m_live.end(), [](const LiveJob& j) { return !j.launched; }))
        launchLive();
    // The one wait on the GUI thread in KELM, bounded: the process ends next
    // and its window is going, and the jobs' ends would otherwise never be
    // seen. tiplon needs milliseconds for a short recording.
    const QDeadlineTimer deadline(limitMs);
    while (anyLiveRunning() && !deadline.hasExpired()) {
        watchLive();
        if (anyLiveRunning()) QThread::msleep(10);
    }
}

bool SubtitleJobs::startPreviewJob(const QString& indexedCopyPath) {
    m_previewIndexPath = indexedCopyPath;
    removeMarkers(m_previewIndexPath);
    const RecorderState& s = m_ctx.state;
    const Encoder* encoder = m_ctx.encoder();
    const qint64 encodingMs = encoder ? encoder->statistics().encodingTimeMs : 0;
    // The copy is of the file being written: it counts from that file's first
    // second, which its name (and startStamp) carries.
    const QStringList arguments = TimecodeJob::previewArguments(
        m_previewIndexPath, s.startStamp, encodingMs, s.todayStamp, s.settings.channelShortName);
    if (!launch(arguments)) return false;
    m_previewWatch.start();
    return true;
}

void SubtitleJobs::watchPreview() {
    if (QFileInfo::exists(TimecodeJob::startMarker(m_previewIndexPath))) logStartedOnce();
    if (QFileInfo::exists(TimecodeJob::stopMarker(m_previewIndexPath))) {
        m_ctx.log.logEvent(kFinished);
        m_previewWatch.stop();
        removeMarkers(m_previewIndexPath);
        if (m_previewDone) m_previewDone();
    }
}

void SubtitleJobs::logStartedOnce() {
    // Once while the job runs: another message in between brings the line again.
    if (!m_ctx.log.endsWith(kStarted)) m_ctx.log.logEvent(kStarted);
}

void SubtitleJobs::removeMarkers(const QString& recordingPath) {
    if (recordingPath.isEmpty()) return;
    QFile::remove(TimecodeJob::startMarker(recordingPath));
    QFile::remove(TimecodeJob::stopMarker(recordingPath));
}

}  // namespace kelm
