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
    askOnThread([storage = &m_storage, folder, path, prepare,
                 done = std::move(done)]() -> std::function<void()> {
        Answer answer;
        if (prepare) answer.problem = storage->prepareFolder(folder);
        answer.freeBytes = storage->freeBytes(folder);
        if (!path.isEmpty()) answer.file = storage->identify(path);
        return [answer, done] {
            if (done) done(answer);
        };
    });
    return true;
}

bool MediaFolderProbe::clean(const QString& folder, Choose choose,
                             std::function<void(const Cleaning&)> done) {
    if (silent()) return false;
    askOnThread([storage = &m_storage, folder, choose = std::move(choose),
                 done = std::move(done)]() -> std::function<void()> {
        Cleaning cleaning;
        const QStringList names = storage->fileNames(folder);
        cleaning.listed = !names.isEmpty() || storage->freeBytes(folder).has_value();
        for (const QString& name : choose(names)) {
            const QString path = folder + u'/' + name;
            // Gone already (another KELM of the channel cleaned first): not ours to report.
            if (!storage->identify(path).exists) continue;
            const QString problem = storage->removeFile(path);
            if (problem.isEmpty())
                cleaning.removed << path;
            else
                cleaning.failures << path + QStringLiteral(" (") + problem + u')';
        }
        return [cleaning, done] {
            if (done) done(cleaning);
        };
    });
    return true;
}

void MediaFolderProbe::askOnThread(std::function<std::function<void()>()> work) {
    const quint64 question = ++m_lastQuestion;
    m_unanswered.emplace(question, m_clock.monotonicMs());
    std::thread([shared = m_shared, question, work = std::move(work)] {
        std::function<void()> reply = work();
        std::lock_guard guard(shared->lock);
        if (MediaFolderProbe* owner = shared->owner)
            QMetaObject::invokeMethod(
                owner, [owner, question, reply] { owner->answered(question, reply); },
                Qt::QueuedConnection);
    }).detach();
}

void MediaFolderProbe::answered(quint64 question, const std::function<void()>& reply) {
    m_unanswered.erase(question);
    reply();
}

qint64 MediaFolderProbe::silentForMs() const {
    if (m_unanswered.empty()) return 0;
    return m_clock.monotonicMs() - m_unanswered.begin()->second;
}

}  // namespace kelm
