#include "seal/SealWorker.h"

#include <QMetaObject>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <chrono>

namespace kelm {

namespace {
// The lowest priority Linux gives a thread: it runs only when nothing else
// wants the processor. Where that is refused, the highest nice value.
void lowerThisThread() {
    sched_param param{};
    param.sched_priority = 0;
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) != 0)
        setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
}
}  // namespace

SealWorker::SealWorker() : m_thread([this] { loop(); }) {}

SealWorker::~SealWorker() {
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
        m_cancel = true;
        m_jobs.clear();
    }
    m_changed.notify_all();
    m_thread.join();
}

void SealWorker::submit(Job job) {
    {
        std::lock_guard guard(m_lock);
        m_jobs.push_back(std::move(job));
        ++m_unfinished;
    }
    m_changed.notify_all();
}

bool SealWorker::busy() const {
    std::lock_guard guard(m_lock);
    return m_unfinished > 0;
}

void SealWorker::loop() {
    lowerThisThread();
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_lock);
            m_changed.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop) return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        Reply reply = job();
        {
            std::lock_guard guard(m_lock);
            m_replies.push_back(std::move(reply));
        }
        m_changed.notify_all();
        QMetaObject::invokeMethod(
            this, [this] { runReplies(); }, Qt::QueuedConnection);
    }
}

void SealWorker::runReplies() {
    for (;;) {
        Reply reply;
        {
            std::lock_guard guard(m_lock);
            if (m_replies.empty()) return;
            reply = std::move(m_replies.front());
            m_replies.pop_front();
            --m_unfinished;
        }
        if (reply) reply();
    }
}

bool SealWorker::finish(int limitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    {
        std::unique_lock lock(m_lock);
        m_changed.wait_until(lock, deadline, [this] {
            return m_jobs.empty() && int(m_replies.size()) == m_unfinished;
        });
    }
    runReplies();
    return !busy();
}

}  // namespace kelm
