#pragma once

#include "subtitle/Timecode.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <memory>

class QThread;

namespace kelm {

// What one generation run writes.
struct TimecodeRequest {
    QString recordingPath;
    qint32 startSeconds = 0;
    qint32 durationSeconds = 0;
    QDate startDate;
    QString channelName;
};

// Runs generateTimecode on a worker thread so the window keeps repainting and
// answering while a day of entries is written. One run at a time. Lives on the
// GUI thread; its signals are emitted there. Destroying it waits for a run in
// progress to end (a run takes milliseconds on a local disk).
class TimecodeRun final : public QObject {
    Q_OBJECT
public:
    explicit TimecodeRun(QObject* parent = nullptr);
    ~TimecodeRun() override;

    bool isRunning() const { return m_thread != nullptr; }

    // Starts a run. Returns false, and does nothing, while one is running.
    bool start(const TimecodeRequest& request);

Q_SIGNALS:
    // Coarse steps, about a hundred per run.
    void progressed(qint32 entriesWritten, qint32 entriesTotal);
    // The run has ended; isRunning() is already false.
    void finished(const kelm::TimecodeOutcome& outcome);

private:
    void finishRun(const TimecodeOutcome& outcome);

    std::unique_ptr<QThread> m_thread;
};

}  // namespace kelm
