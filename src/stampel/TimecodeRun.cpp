#include "TimecodeRun.h"

#include <QThread>

namespace kelm {

TimecodeRun::TimecodeRun(QObject* parent) : QObject(parent) {}

TimecodeRun::~TimecodeRun() {
    // The worker only posts to this object, so waiting here is safe; what it
    // posted is dropped with the object.
    if (m_thread) m_thread->wait();
}

bool TimecodeRun::start(const TimecodeRequest& request) {
    if (m_thread) return false;
    m_thread.reset(QThread::create([this, request] {
        const auto report = [this](qint32 written, qint32 total) {
            QMetaObject::invokeMethod(
                this, [this, written, total] { Q_EMIT progressed(written, total); },
                Qt::QueuedConnection);
        };
        const TimecodeOutcome outcome =
            generateTimecode(request.recordingPath, request.startSeconds, request.durationSeconds,
                             request.startDate, request.channelName, report);
        QMetaObject::invokeMethod(
            this, [this, outcome] { finishRun(outcome); }, Qt::QueuedConnection);
    }));
    m_thread->start();
    return true;
}

void TimecodeRun::finishRun(const TimecodeOutcome& outcome) {
    // Posted as the worker's last act, so the thread is ending or has ended.
    m_thread->wait();
    m_thread.reset();
    Q_EMIT finished(outcome);
}

}  // namespace kelm
