#include "recorder/MediaFolderProbe.h"

#include <QMetaObject>

#include <mutex>
#include <thread>

namespace kelm {

// What a question's thread shares with the probe: the way back, which the
// probe cuts before it goes.
struct MediaFolderProbe::Shared {
    std::mutex lock;
    MediaFolderProbe* owner = nullptr;
};

MediaFolderProbe::MediaFolderProbe(MediaStorage& storage, const Clock& clock, qint64 silenceLimitMs)
    : m_storage(storage),
      m_clock(clock),
      m_silenceLimitMs(silenceLimitMs),
      m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
}

MediaFolderProbe::~MediaFolderProbe() {
    std::lock_guard guard(m_shared->lock);
    m_shared->owner = nullptr;
}

bool MediaFolderProbe::ask(const QString& folder, const QString& path, bool prepare, Done done) {
    if (silent()) return false;
    const quint64 question = ++m_lastQuestion;
    m_unanswered.emplace(question, m_clock.monotonicMs());
    std::thread([storage = &m_storage, shared = m_shared, question, folder, path, prepare,
                 done = std::move(done)] {
        Answer answer;
        if (prepare) answer.problem = storage->prepareFolder(folder);
        answer.freeBytes = storage->freeBytes(folder);
        if (!path.isEmpty()) answer.file = storage->identify(path);
        std::lock_guard guard(shared->lock);
        if (MediaFolderProbe* owner = shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, question, answer, done] { owner->answered(question, answer, done); },
                Qt::QueuedConnection);
    }).detach();
    return true;
}

void MediaFolderProbe::answered(quint64 question, const Answer& answer, const Done& done) {
    m_unanswered.erase(question);
    if (done) done(answer);
}

qint64 MediaFolderProbe::silentForMs() const {
    if (m_unanswered.empty()) return 0;
    return m_clock.monotonicMs() - m_unanswered.begin()->second;
}

}  // namespace kelm
