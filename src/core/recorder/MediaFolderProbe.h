#pragma once

#include "recorder/Clock.h"
#include "recorder/MediaStorage.h"

#include <QObject>

#include <functional>
#include <map>
#include <memory>

namespace kelm {

// Asks the media folder's file system on threads of its own, so a mount that
// stops answering (a network share, a dying disk) never holds the window.
// Each question runs on its own short-lived thread and its answer comes back
// through the event loop of the thread that asked. Once a question has gone
// unanswered for longer than the silence limit, no further one is sent: a
// hung mount holds at most the few threads asked before it went quiet.
class MediaFolderProbe final : public QObject {
    Q_OBJECT
public:
    struct Answer {
        QString problem;                  // prepareFolder's answer; empty: usable, or not asked
        std::optional<qint64> freeBytes;  // empty: the folder cannot be examined
        FileIdentity file;                // of the path asked about; none when none asked
    };
    using Done = std::function<void(const Answer&)>;

    MediaFolderProbe(MediaStorage& storage, const Clock& clock, qint64 silenceLimitMs = 2000);
    // Does not wait for questions that hang; their answers are dropped.
    ~MediaFolderProbe() override;

    // Asks about `folder` (made first when `prepare`) and the file `path`
    // (none when empty). `done` hears the answer later. False, and nothing
    // asked, while the folder has been silent beyond the limit.
    bool ask(const QString& folder, const QString& path, bool prepare, Done done);

    // What a cleaning of the folder did: the paths deleted, and for each one
    // that could not be, "<path> (<the system's words>)".
    struct Cleaning {
        bool listed = false;  // the folder could be read
        QStringList removed;
        QStringList failures;
    };
    // Chooses, from the folder's file names, those to delete; runs on the
    // probe's thread, so it must only compute.
    using Choose = std::function<QStringList(const QStringList& fileNames)>;
    // Lists `folder`, deletes the files `choose` names, and tells `done`.
    // False, and nothing done, while the folder has been silent beyond the
    // limit.
    bool clean(const QString& folder, Choose choose, std::function<void(const Cleaning&)> done);

    // How long the oldest unanswered question has waited, in ms; 0 when none.
    qint64 silentForMs() const;
    bool silent() const { return silentForMs() > m_silenceLimitMs; }
    // Some question has not been answered yet.
    bool waiting() const { return !m_unanswered.empty(); }

private:
    struct Shared;
    void answered(quint64 question, const std::function<void()>& reply);
    // Runs `work` on a thread of its own, then the reply it returns on the
    // GUI thread, unless the probe has gone.
    void askOnThread(std::function<std::function<void()>()> work);

    MediaStorage& m_storage;
    const Clock& m_clock;
    const qint64 m_silenceLimitMs;
    std::shared_ptr<Shared> m_shared;
    quint64 m_lastQuestion = 0;
    std::map<quint64, qint64> m_unanswered;  // question -> monotonic ms it was asked at
};

}  // namespace kelm
