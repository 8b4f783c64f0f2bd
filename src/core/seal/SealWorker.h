#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kelm {

// Runs the seal and report jobs one after another on a thread of its own at
// the scheduler's idle priority, so hashing an hour of recording never takes
// the processor or the disk from a recording that runs. Each job returns its
// reply, which runs on the thread that owns the worker (through its event
// loop, or in finish()).
class SealWorker final : public QObject {
    Q_OBJECT
public:
    using Reply = std::function<void()>;
    using Job = std::function<Reply()>;

    SealWorker();
    // Cancels the job that runs (jobs read `cancelFlag`) and drops the rest
    // with their replies.
    ~SealWorker() override;

    // Queues `job` behind the jobs before it.
    void submit(Job job);
    // Waits up to `limitMs` for every job submitted so far to end, then runs
    // the replies that have come. True when none is left. The one wait: the
    // program's end, whose event loop will not run the replies.
    bool finish(int limitMs);
    // A job is queued or running, or its reply has not run yet.
    bool busy() const;
    // Set when the worker goes: long reads end early.
    const std::atomic_bool* cancelFlag() const { return &m_cancel; }

private:
    void loop();
    void runReplies();

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    std::deque<Reply> m_replies;
    int m_unfinished = 0;  // submitted, reply not yet run
    bool m_stop = false;
    std::atomic_bool m_cancel{false};
    std::thread m_thread;
};

}  // namespace kelm
