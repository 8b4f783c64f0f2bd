#pragma once

#include "RecorderContext.h"
#include "recorder/MediaFolderProbe.h"

#include <QDate>
#include <QDateTime>
#include <QTimer>
#include <functional>

namespace kelm {

class StatusBar;

// The media folder's space over years of running: deletes the channel's
// recordings older than the days the settings keep them (at start-up, at
// midnight, and when the recording guard finds the disk full), and tells
// how many hours of recording the free space still holds (in the status
// bar's tip, in the log at each start, and as a warning once a day below a
// day's worth). It never deletes a recording younger than that to make
// room. The folder is listed, emptied and measured off the GUI thread.
class RetentionControl final {
public:
    static constexpr qint64 kWarnBelowHours = 24;
    static constexpr int kCheckIntervalMs = 60'000;

    // Told of each file deleted on purpose, with the time of the deletion
    // (UTC), so the recordings' seals can note it.
    using DeletionObserver = std::function<void(const QString& path, const QDateTime& utc)>;

    RetentionControl(RecorderContext& context, StatusBar& statusBar);

    // Deletes what has outlived its days and logs the forecast, then checks
    // both every minute: deletion again when the day changes.
    void start();
    // The disk has run full under a recording: what has outlived its days goes now.
    void spaceRunningOut() { sweep(); }
    // A recording has started: the log says how long the space lasts.
    void recordingStarted() { forecast(true); }
    void setDeletionObserver(DeletionObserver observer) { m_deleted = std::move(observer); }
    // The minute's check: deletion when the day has changed, and the forecast.
    void minuteTick();

private:
    void sweep();
    void forecast(bool logIt);
    void showForecast(qint64 hours, bool logIt);
    QString runningFileName() const;

    RecorderContext& m_ctx;
    StatusBar& m_statusBar;
    QTimer m_tick;
    QDate m_sweptOn;         // the day of the last deletion run that read the folder
    QDate m_silentLoggedOn;  // the day a silent or unreadable folder was logged
    QDate m_warnedOn;        // the day the low-space warning was logged
    bool m_sweeping = false;
    DeletionObserver m_deleted;
};

}  // namespace kelm
