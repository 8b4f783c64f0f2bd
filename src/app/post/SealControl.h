#pragma once

#include "RecorderContext.h"
#include "recorder/RecordingFile.h"

#include <QDate>
#include <QDateTime>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace kelm {

class SealWorker;

// Seals every recording file as it closes, with its timecode subtitle file,
// in the day's seal of its folder (core/seal: SealFile, DaySeal), and keeps
// the day's completeness report beside it (DayReport): after each seal, and
// at midnight for the day that has ended. A file that retention deletes on
// purpose is noted in the day's seal.
//
// The subtitle file is written by its live job after the recording closes:
// the seal waits for the job to end, at most kSubtitleWaitMs, then seals what
// is there and says in a comment what is not. Hashing and the report run on
// the SealWorker's thread; this class only watches, schedules and logs. A
// seal or report that cannot be written is logged, never passed over.
//
// Timers, its own: every 500 ms while a file waits for its subtitles, and
// every minute for the change of day. GUI thread only.
class SealControl final : public RecordingFileObserver {
public:
    static constexpr qint64 kSubtitleWaitMs = 30'000;
    static constexpr int kWatchIntervalMs = 500;
    static constexpr int kDayCheckIntervalMs = 60'000;

    // `subtitlePending(path)`: the subtitle job of the recording `path` may
    // still write its file.
    SealControl(RecorderContext& context, std::function<bool(const QString&)> subtitlePending);
    ~SealControl() override;

    // Starts the watch for the change of day.
    void start();

    void recordingFileStarted(const RecordingFile&) override {}
    void recordingFileClosed(const RecordingFile& file, qint64 recordedMs) override;
    // Retention deleted `path` on purpose at `utc`.
    void fileDeleted(const QString& path, const QDateTime& utc);

    // One tick of the watch over the files that wait for their subtitles.
    void watchSubtitles();
    // One tick of the day's watch: the day that has ended gets its final report.
    void checkDay();

    // Before KELM ends: files still waiting are sealed now, the day's report
    // is written once more, and the seals and reports under way are given up
    // to `limitMs` to be written.
    void finishBeforeExit(int limitMs);

    // A seal or report is waiting or being written.
    bool busy() const;
    const QTimer& subtitleWatch() const { return m_subtitleWatch; }

private:
    struct Waiting {
        RecordingFile file;
        qint64 recordedMs = 0;
        qint64 closedAtMono = 0;
    };
    // `subtitleDone`: its job has ended (false: the wait was given up).
    void seal(const Waiting& waiting, bool subtitleDone);
    // The day's report, written after the jobs before it.
    void writeReport(const QString& mediaDir, const QDate& day);
    QString logDir() const;

    RecorderContext& m_ctx;
    std::function<bool(const QString&)> m_subtitlePending;
    std::unique_ptr<SealWorker> m_worker;
    std::vector<Waiting> m_waiting;
    QTimer m_subtitleWatch;
    QTimer m_dayWatch;
    QDate m_today;  // the day the watch last saw
};

}  // namespace kelm
