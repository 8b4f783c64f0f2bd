#pragma once

#include "RecorderContext.h"
#include "recorder/RecordingFile.h"

#include <QTimer>
#include <functional>
#include <vector>

namespace kelm {

class ProgramLauncher;

// The timecode subtitle jobs: `tiplon` from the program folder writes the
// subtitle file of each recording file (the live job, three seconds after the
// file starts) and of a preview's indexed copy (the preview job), and leaves
// two markers beside it: "<base>.startsub" when it begins and
// "<base>.stopsub" when it has finished. The watchers poll for them, say so in
// the event log, and delete both when the job is done, so a finished job
// leaves no marker behind.
//
// Every file's subtitles count from that file's own first second, for that
// file's own length: a recording that goes on in a new file after an outage
// gets a subtitle file per file, and a file that closes before its planned
// length (stopped, or broken off) has its subtitles made again for the
// length it really holds.
//
// Timers, its own: three seconds after a file starts launchLive runs, and
// every 300 ms watchLive while a live job runs and watchPreview while the
// preview job runs. GUI thread only.
class SubtitleJobs final : public RecordingFileObserver {
public:
    // `previewDone` runs when the preview job has finished: playback.
    SubtitleJobs(RecorderContext& context, ProgramLauncher& launcher,
                 std::function<void()> previewDone);

    QString tiplonPath() const;

    void recordingFileStarted(const RecordingFile& file) override;
    void recordingFileClosed(const RecordingFile& file, qint64 recordedMs) override;

    // The launch three seconds after a file starts: starts tiplon on every recording file that has
    // started and has no job yet.
    void launchLive();
    // One tick of the live jobs' watch.
    void watchLive();
    // Before KELM ends after a command-line recording: live jobs not yet
    // launched (a recording shorter than three seconds) are launched now, and
    // running ones are given up to `limitMs` to finish, so every file still
    // gets its subtitle file and no marker is left behind.
    void finishLiveBeforeExit(int limitMs);

    // Starts tiplon on a preview's indexed copy and starts its watch.
    // False, with the reason logged, when tiplon could not be started: the
    // chain has to end without playback.
    bool startPreviewJob(const QString& indexedCopyPath);
    // One tick of the preview job's watch.
    void watchPreview();

    QString previewIndexPath() const { return m_previewIndexPath; }

    // The live job of the recording `path` may still write its subtitle
    // file: not launched yet, running, or to run again for a shorter length.
    bool livePending(const QString& path) const;

    // The timers, for tests and the preview chain: the live jobs' launch
    // (3 s after a file starts) and the two watches.
    const QTimer& liveLaunch() const { return m_liveLaunch; }
    const QTimer& liveWatch() const { return m_liveWatch; }
    const QTimer& previewWatch() const { return m_previewWatch; }

private:
    // The live job of one recording file.
    struct LiveJob {
        RecordingFile file;
        qint64 lengthSeconds = 0;  // what the job is (or will be) started with
        bool launched = false;
        bool running = false;      // launched; its stop marker not seen yet
        bool closed = false;       // the file has closed: its length is final
        bool unstartable = false;  // tiplon could not be started for it
        qint64 redoSeconds = -1;   // the file closed shorter: run again with this

        // Nothing more will happen to it.
        bool over() const { return unstartable || (launched && !running && closed); }
    };

    bool launch(const QStringList& arguments);
    bool launchJob(LiveJob& job);
    LiveJob* jobFor(const QString& path);
    bool anyLiveRunning() const;
    // Forgets the jobs nothing more will happen to.
    void dropOverJobs();
    // Logs "Timecode generálás..." unless the log box ends with it already.
    void logStartedOnce();
    void removeMarkers(const QString& recordingPath);

    RecorderContext& m_ctx;
    ProgramLauncher& m_launcher;
    std::function<void()> m_previewDone;
    std::vector<LiveJob> m_live;  // jobs not yet launched or still watched, oldest first
    QString m_previewIndexPath;   // previewIndexPath
    QTimer m_liveLaunch;
    QTimer m_liveWatch;
    QTimer m_previewWatch;
};

}  // namespace kelm
