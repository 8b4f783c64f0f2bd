#include "RecordingGuard.h"

#include "DeferredMessage.h"
#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TimeText.h"

#include <QFileInfo>

namespace kelm {

namespace {
// A resumed recording shorter than this is not worth a file of its own.
constexpr qint64 kShortestResumeMs = 1000;
constexpr qint64 kResumeIntervalMs = 1000;
// A file that breaks off again this soon after it resumed makes the next try
// wait twice as long, up to the longest wait: a source or disk that keeps
// failing must not leave a trail of one-second files.
constexpr qint64 kShortLivedResumeMs = 5000;
constexpr qint64 kLongestResumeWaitMs = 30000;
// After the disk filled up, a recording goes on only once this much room has
// come free beyond the reserve: the room the finished file gave back is not
// enough.
constexpr qint64 kRoomToResumeBytes = 2'000'000;
// How often a running recording's file and disk are looked at.
constexpr qint64 kFolderCheckIntervalMs = 1000;

QString lengthText(qint64 ms) {
    return TimeText::format(QTime(0, 0).addSecs(int(ms / 1000)));
}

QString clockText(const QDateTime& utc) {
    return RegionalFormat::longTime(utc.toLocalTime().time());
}
}  // namespace

void RecordingGuard::recordingStarted() {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder || encoder->runState() != RunState::Running) return;
    const qint64 mono = m_ctx.clock.monotonicMs();
    m_phase = Phase::Watching;
    m_failed = false;
    m_resumedAtMono = 0;
    m_resumeWaitMs = kResumeIntervalMs;
    m_brokeOffForRoom = false;
    m_ctx.state.recordingFailed = false;
    m_plannedEndMono = encoder->durationLimitMs() > 0 ? mono + encoder->durationLimitMs() : 0;
    m_profileBytesPerSecond = EncoderControl::profileBytesPerSecond(m_ctx.state.encProfile);
    m_file = {};  // seen on the first answer about the folder
    m_nextFolderCheckMono = 0;
    m_rateSinceMono = mono;
    m_rateSinceBytes = 0;
    m_measuredBytesPerSecond = 0;
    m_closedFileEndUtc = {};
    fileStarted();
}

void RecordingGuard::disarmed() {
    m_phase = Phase::Idle;
    fileClosed();
}

void RecordingGuard::fileStarted() {
    m_openFile = m_encoder.startedFile();
    // When the file's time 0 was captured, as the engine measured it.
    const Encoder* encoder = m_ctx.encoder();
    m_openFileUtc = encoder && encoder->firstSampleUtc().isValid() ? encoder->firstSampleUtc()
                                                                   : m_ctx.clock.now().toUTC();
    m_openFile.firstSampleUtc = m_openFileUtc;
    for (RecordingFileObserver* observer : m_fileObservers)
        observer->recordingFileStarted(m_openFile);
}

void RecordingGuard::fileClosed() {
    if (!m_openFile.isValid()) return;
    const RecordingFile file = m_openFile;
    m_openFile = {};
    const Encoder* encoder = m_ctx.encoder();
    const qint64 recordedMs = encoder ? encoder->statistics().archiveDurationMs : 0;
    m_closedFileEndUtc = m_openFileUtc.addMSecs(recordedMs);
    for (RecordingFileObserver* observer : m_fileObservers)
        observer->recordingFileClosed(file, recordedMs);
}

void RecordingGuard::tick() {
    if (m_phase == Phase::Watching)
        watch();
    else if (m_phase == Phase::Resuming)
        tryResume();
}

qint64 RecordingGuard::remainingMs() const {
    if (m_plannedEndMono == 0) return 0;  // no planned length: nothing to go on with
    return m_plannedEndMono - m_ctx.clock.monotonicMs();
}

qint64 RecordingGuard::bytesPerSecond() const {
    return std::max(m_profileBytesPerSecond, m_measuredBytesPerSecond);
}

void RecordingGuard::watch() {
    Encoder* encoder = m_ctx.encoder();
    if (encoder->runState() != RunState::Running) {
        fileClosed();
        const EncoderStatus failure = encoder->lastFailure();
        if (failure.ok()) {
            m_phase = Phase::Idle;  // the planned end, or stopped on purpose
            return;
        }
        m_brokeOffForRoom = failure.code == EncoderErrorCode::DiskFull;
        breakOff(m_encoder.failureCause(failure), false);
        return;
    }

    const qint64 mono = m_ctx.clock.monotonicMs();
    const qint64 bytes = encoder->statistics().archiveBytes;
    if (mono - m_rateSinceMono >= 2000) {
        m_measuredBytesPerSecond = (bytes - m_rateSinceBytes) * 1000 / (mono - m_rateSinceMono);
        m_rateSinceMono = mono;
        m_rateSinceBytes = bytes;
    }

    // The file and the room on its disk, asked off the GUI thread: the
    // answer is judged when it comes.
    const QString path = encoder->outputFileName();
    const QString folder = QFileInfo(path).absolutePath();
    if (m_questionOut && !m_ctx.folderProbe.silent()) return;
    if (!m_questionOut && mono < m_nextFolderCheckMono) return;
    m_nextFolderCheckMono = mono + kFolderCheckIntervalMs;
    const bool asked =
        !m_questionOut &&
        m_ctx.folderProbe.ask(folder, path, false, [this, path](const MediaFolderProbe::Answer& a) {
            m_questionOut = false;
            if (m_folderSilentLogged) {
                m_folderSilentLogged = false;
                m_ctx.log.logEvent(QStringLiteral("A media mappa ismét válaszol: ") +
                                   QFileInfo(path).absolutePath());
            }
            if (m_phase == Phase::Watching) judgeFolder(path, a);
        });
    if (asked) {
        m_questionOut = true;
    } else if (m_ctx.folderProbe.silent() && !m_folderSilentLogged) {
        // The engine goes on writing as far as the disk lets it; the
        // operator learns that the folder no longer answers.
        m_folderSilentLogged = true;
        m_ctx.log.logEvent(QStringLiteral("A media mappa %1 mp óta nem válaszol: %2")
                               .arg(m_ctx.folderProbe.silentForMs() / 1000)
                               .arg(folder));
    }
}

void RecordingGuard::judgeFolder(const QString& path, const MediaFolderProbe::Answer& answer) {
    Encoder* encoder = m_ctx.encoder();
    if (encoder->runState() != RunState::Running || encoder->outputFileName() != path) return;
    const FileIdentity& now = answer.file;
    if (!m_file.exists) {
        m_file = now;  // the engine may create its file a moment after the start
    } else if (!now.sameFileAs(m_file)) {
        breakOff(QStringLiteral(
                     "a felvétel fájlja eltűnt (a media mappát törölték vagy leválasztották): ") +
                     path,
                 true);
        return;
    }
    const QString folder = QFileInfo(path).absolutePath();
    const auto& freeBytes = answer.freeBytes;
    if (freeBytes && *freeBytes < RecordingBudget::reserveBytes(bytesPerSecond())) {
        m_brokeOffForRoom = true;
        breakOff(QStringLiteral("elfogyott a hely a media mappa lemezén: %1 (%2 kB szabad)")
                     .arg(folder)
                     .arg(*freeBytes / 1000),
                 true);
        if (m_outOfRoom) m_outOfRoom();
    }
}

void RecordingGuard::breakOff(const QString& cause, bool stopEncoder) {
    Encoder* encoder = m_ctx.encoder();
    // Stopping finishes the file: its end and index go into the room the
    // reserve kept, or into the open file whose folder has gone.
    if (stopEncoder && encoder->runState() != RunState::Stopped) encoder->stop();
    fileClosed();
    m_failed = true;
    m_ctx.state.recordingFailed = true;
    const QString text = QStringLiteral("Rögzítési hiba: ") + cause;
    m_ctx.log.logEvent(text);
    showAfterTick(&m_ctx.schedulerTick, m_ctx.messenger, text, Messenger::Icon::Critical);

    const qint64 remaining = remainingMs();
    if (remaining < kShortestResumeMs) {
        m_phase = Phase::Idle;
        return;
    }
    const qint64 mono = m_ctx.clock.monotonicMs();
    if (m_resumedAtMono > 0 && mono - m_resumedAtMono < kShortLivedResumeMs)
        m_resumeWaitMs = std::min(2 * m_resumeWaitMs, kLongestResumeWaitMs);
    else
        m_resumeWaitMs = kResumeIntervalMs;
    m_phase = Phase::Resuming;
    m_resumeFailureLogged = false;
    m_nextAttemptMono = mono + m_resumeWaitMs;
    m_ctx.log.logEvent(QStringLiteral("A rögzítés folytatódik, amint lehet (hátralévő idő: %1).")
                           .arg(lengthText(remaining)));
}

void RecordingGuard::tryResume() {
    const qint64 remaining = remainingMs();
    if (remaining < kShortestResumeMs) {
        m_phase = Phase::Idle;
        m_ctx.log.logEvent(
            QStringLiteral("A rögzítés nem folytatható: a tervezett időtartam letelt."));
        return;
    }
    const qint64 mono = m_ctx.clock.monotonicMs();
    if (m_resumeInFlight || mono < m_nextAttemptMono) return;
    m_nextAttemptMono = mono + m_resumeWaitMs;

    // Room for the reserve twice over, so a recording does not stop again at
    // once; the folder is asked off the GUI thread.
    const QString folder = m_ctx.state.settings.mediaDir;
    m_resumeInFlight =
        m_ctx.folderProbe.ask(folder, {}, true, [this](const MediaFolderProbe::Answer& answer) {
            m_resumeInFlight = false;
            if (m_phase != Phase::Resuming || !answer.problem.isEmpty()) return;
            const qint64 needed = 2 * RecordingBudget::reserveBytes(bytesPerSecond()) +
                                  (m_brokeOffForRoom ? kRoomToResumeBytes : 0);
            if (answer.freeBytes && *answer.freeBytes < needed) return;
            resumeWithSources();
        });
}

void RecordingGuard::resumeWithSources() {
    // The sources first: after an outage they may take seconds to deliver,
    // and the new file is named after its first sample and ends when the
    // recording was planned to. Both answer later; until then no other try
    // is made.
    m_resumeInFlight = true;
    m_ctx.encoderRequests.prepare([this](const EncoderStatus& ready) {
        if (m_phase != Phase::Resuming) {  // disarmed meanwhile
            m_resumeInFlight = false;
            return;
        }
        const qint64 left = remainingMs();
        if (ready.ok() && left < kShortestResumeMs) {
            m_resumeInFlight = false;
            m_phase = Phase::Idle;
            m_ctx.log.logEvent(
                QStringLiteral("A rögzítés nem folytatható: a tervezett időtartam letelt."));
            return;
        }
        if (!ready.ok()) {
            resumeRefused(ready);
            return;
        }
        m_encoder.resumeRecording(left, [this, left](const EncoderStatus& started) {
            if (!started.ok()) {
                resumeRefused(started);
                return;
            }
            resumed(left);
        });
    });
}

void RecordingGuard::resumeRefused(const EncoderStatus& failure) {
    m_resumeInFlight = false;
    if (!m_resumeFailureLogged)
        m_ctx.log.logEvent(QStringLiteral("A rögzítés még nem folytatható: ") +
                           m_encoder.failureCause(failure));
    m_resumeFailureLogged = true;
}

void RecordingGuard::resumed(qint64 left) {
    m_resumeInFlight = false;
    Encoder* encoder = m_ctx.encoder();
    if (m_phase != Phase::Resuming) {
        // Disarmed while the start was on its way: the operator's stop holds.
        encoder->stop();
        return;
    }
    const qint64 mono = m_ctx.clock.monotonicMs();
    m_phase = Phase::Watching;
    m_resumedAtMono = mono;
    m_brokeOffForRoom = false;
    m_file = {};  // seen on the next answer about the folder
    m_nextFolderCheckMono = 0;
    m_rateSinceMono = mono;
    m_rateSinceBytes = 0;
    fileStarted();
    m_ctx.log.logEvent(QStringLiteral("Rögzítés folytatása új fájlban: ") +
                       encoder->outputFileName() +
                       QStringLiteral(" (hátralévő idő: %1)").arg(lengthText(left)));
    if (m_closedFileEndUtc.isValid()) {
        const qint64 gapMs = std::max<qint64>(0, m_closedFileEndUtc.msecsTo(m_openFileUtc));
        m_ctx.log.logEvent(
            QStringLiteral("A felvételből %1 mp hiányzik (%2 és %3 között).")
                .arg(QString::number(double(gapMs) / 1000.0, 'f', 1).replace(u'.', u','))
                .arg(clockText(m_closedFileEndUtc), clockText(m_openFileUtc)));
    }
}

}  // namespace kelm
