#pragma once

#include "RecorderContext.h"

#include <functional>

namespace kelm {

class ProgramLauncher;

// The timecode subtitle jobs: `tiplon` from the program folder writes the
// subtitle file of the recording being made (the live job, three seconds
// after every start) and of a preview's indexed copy (the preview job), and
// leaves two markers beside it: "<base>.startsub" when it begins and
// "<base>.stopsub" when it has finished. The watchers poll for them, say so in
// the event log, and delete both when the job is done, so a finished job
// leaves no marker behind.
//
// Timers (the window's): preStartSub runs launchLive, startSub runs
// watchLive, startPreviewSub runs watchPreview. GUI thread only.
class SubtitleJobs final {
public:
    // `previewDone` runs when the preview job has finished: playback.
    SubtitleJobs(RecorderContext& context, ProgramLauncher& launcher,
                 std::function<void()> previewDone);

    QString tiplonPath() const;

    // One preStartSub tick: starts tiplon on the encoder's output file.
    void launchLive();
    // One startSub tick.
    void watchLive();
    // Before KELM ends after a command-line recording: a live job not yet
    // launched (a recording shorter than three seconds) is launched now, and
    // a running one is given up to `limitMs` to finish, so the recording still
    // gets its subtitle file and no marker is left behind.
    void finishLiveBeforeExit(int limitMs);

    // Starts tiplon on a preview's indexed copy and arms startPreviewSub.
    // False, with the reason logged, when tiplon could not be started: the
    // chain has to end without playback.
    bool startPreviewJob(const QString& indexedCopyPath);
    // One startPreviewSub tick.
    void watchPreview();

    QString previewIndexPath() const { return m_previewIndexPath; }

private:
    bool launch(const QStringList& arguments);
    // Logs "Timecode generálás..." unless the log box ends with it already.
    void logStartedOnce();
    void removeMarkers(const QString& recordingPath);

    RecorderContext& m_ctx;
    ProgramLauncher& m_launcher;
    std::function<void()> m_previewDone;
    QString m_liveRecording;     // the recording the live job was started for
    QString m_previewIndexPath;  // previewIndexPath
};

}  // namespace kelm
