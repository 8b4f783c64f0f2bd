#pragma once

#include "RecorderContext.h"

#include "encoder/EncoderError.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/MediaStorage.h"
#include "recorder/RecordingFile.h"

#include <vector>

namespace kelm {

class EncoderControl;

// Watches a running recording for what must never pass as a normal end: the
// encoder's own failures (a source lost, a write refused), its file vanishing
// with the media folder, the disk filling up. A failure is reported once, in
// plain words, in the log and a critical message; the file written so far is
// finished. When the planned length is not over, the recording goes on in a
// new file, named at the moment it resumes, as soon as the source and the
// folder can be used again.
//
// The scheduler runs tick() first on each of its ticks; every check is a
// system call or two.
class RecordingGuard final {
public:
    RecordingGuard(RecorderContext& context, EncoderControl& encoderControl)
        : m_ctx(context), m_encoder(encoderControl) {}

    // The encoder has started a planned recording; its planned length counts
    // from now on the monotonic clock.
    void recordingStarted();
    // The operator disarmed (after stopping the encoder): nothing more is
    // resumed, and the file written last is closed.
    void disarmed();

    // Told about every file of a recording as it starts and closes, in the
    // order they were added (the subtitle job before the seal that waits for it).
    void addFileObserver(RecordingFileObserver* observer) { m_fileObservers.push_back(observer); }
    // Told when a recording broke off because the disk ran full.
    void setOutOfRoomHandler(std::function<void()> handler) { m_outOfRoom = std::move(handler); }

    void tick();

    // A recording broke off and waits for its source or folder to come back:
    // the scheduler counts it as still running.
    bool waitingToResume() const { return m_phase == Phase::Resuming; }
    // The recording since the last planned start has had a failure.
    bool failed() const { return m_failed; }

private:
    enum class Phase { Idle, Watching, Resuming };

    void watch();
    void breakOff(const QString& cause, bool stopEncoder);
    void fileStarted();
    // The file being written has closed: the observer hears of it once.
    void fileClosed();
    void tryResume();
    // The folder answered: the file being written is still there, and room is left.
    void judgeFolder(const QString& path, const MediaFolderProbe::Answer& answer);
    // The folder can take a new file: the sources, then the file.
    void resumeWithSources();
    // The sources or the new file could not be started this time.
    void resumeRefused(const EncoderStatus& failure);
    // The new file runs, for the `left` ms of the planned length.
    void resumed(qint64 left);
    qint64 remainingMs() const;
    qint64 bytesPerSecond() const;

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;

    Phase m_phase = Phase::Idle;
    bool m_failed = false;
    qint64 m_plannedEndMono = 0;  // monotonic ms at which the planned length is over
    qint64 m_profileBytesPerSecond = 0;
    FileIdentity m_file;         // the file being written, once seen
    qint64 m_rateSinceMono = 0;  // measured write rate: bytes and time of the last sample
    qint64 m_rateSinceBytes = 0;
    qint64 m_measuredBytesPerSecond = 0;
    qint64 m_nextAttemptMono = 0;
    qint64 m_resumeWaitMs = 1000;  // between two tries to go on
    qint64 m_resumedAtMono = 0;    // when the file being written resumed a broken recording
    bool m_brokeOffForRoom = false;
    bool m_resumeFailureLogged = false;
    bool m_resumeInFlight = false;  // a try to go on is waiting for an answer
    qint64 m_nextFolderCheckMono = 0;
    bool m_questionOut = false;         // the folder has been asked and has not answered
    bool m_folderSilentLogged = false;  // the log says the folder does not answer

    std::vector<RecordingFileObserver*> m_fileObservers;
    std::function<void()> m_outOfRoom;
    RecordingFile m_openFile;      // the file being written, until it closes
    QDateTime m_openFileUtc;       // when its first sample came, UTC
    QDateTime m_closedFileEndUtc;  // where the last closed file's media ended, UTC
};

}  // namespace kelm
