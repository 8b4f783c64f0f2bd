#include "BackgroundEncoder.h"

#include "EngineError.h"
#include "RecordingEngine.h"
#include "SourceResolver.h"

#include <QMetaObject>
#include <QSemaphore>

namespace kelm {

namespace {
constexpr int kPublishIntervalMs = 100;
// How long the program's end waits for a thread that does not come back.
constexpr unsigned long kThreadEndWaitMs = 15000;
}  // namespace

// What the engine's thread shares with the encoder: the copy of the engine's
// state, and the way back to the encoder, which the encoder cuts before it
// goes: nothing is posted to it afterwards.
struct BackgroundEncoder::Link {
    std::mutex lock;
    BackgroundEncoder* owner = nullptr;
    mutable std::mutex snapshotLock;
    Snapshot snapshot;

    // Engine's thread: copies what the GUI thread reads.
    void publish(const RecordingEngine& engine) {
        Snapshot copy;
        copy.runState = engine.runState();
        copy.statistics = engine.statistics();
        copy.firstSampleUtc = engine.firstSampleUtc();
        copy.lastFailure = engine.lastFailure();
        std::lock_guard guard(snapshotLock);
        snapshot = std::move(copy);
    }
    Snapshot read() const {
        std::lock_guard guard(snapshotLock);
        return snapshot;
    }

    void post(std::function<void(BackgroundEncoder&)> work) {
        std::lock_guard guard(lock);
        if (!owner) return;
        BackgroundEncoder* target = owner;
        QMetaObject::invokeMethod(
            target, [target, work = std::move(work)] { work(*target); }, Qt::QueuedConnection);
    }
};

BackgroundEncoder::BackgroundEncoder(std::unique_ptr<RecordingEngine> engine)
    : BackgroundEncoder(std::move(engine), Deadlines{}) {}

BackgroundEncoder::BackgroundEncoder(std::unique_ptr<RecordingEngine> engine, Deadlines deadlines)
    : m_deadlines(deadlines), m_link(std::make_shared<Link>()) {
    m_link->owner = this;
    m_videoInput = engine->videoInput();
    m_audioInput = engine->audioInput();
    m_outputFileName = engine->outputFileName();
    m_durationLimitMs = engine->durationLimitMs();
    m_captureSettings = engine->videoCaptureSettings();
    m_previewEnabled = engine->previewEnabled();

    m_engine = engine.release();
    m_publishTimer = new QTimer(m_engine);
    m_publishTimer->setInterval(kPublishIntervalMs);
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("kelm-engine"));
    m_engine->moveToThread(m_thread);

    // These run on the engine's thread: the copy first, then the signal, so a
    // handler on the GUI thread reads the state the signal speaks of.
    RecordingEngine* e = m_engine;
    const std::shared_ptr<Link> link = m_link;
    QTimer* publishTimer = m_publishTimer;
    QObject::connect(publishTimer, &QTimer::timeout, e, [e, link] { link->publish(*e); });
    QObject::connect(
        e, &RecordingEngine::runStateChanged, e, [e, link, publishTimer](RunState state) {
            link->publish(*e);
            if (state == RunState::Running)
                publishTimer->start();
            else
                publishTimer->stop();
            link->post([state](BackgroundEncoder& self) { Q_EMIT self.runStateChanged(state); });
        });
    QObject::connect(e, &RecordingEngine::errorOccurred, e, [e, link](EncoderStatus status) {
        link->publish(*e);
        link->post([status](BackgroundEncoder& self) { Q_EMIT self.errorOccurred(status); });
    });
    QObject::connect(e, &RecordingEngine::soundMeasured, e, [link](SoundLevels levels) {
        link->post([levels](BackgroundEncoder& self) { Q_EMIT self.soundMeasured(levels); });
    });
    QObject::connect(e, &RecordingEngine::pictureMeasured, e, [link](PictureMeasures measures) {
        link->post([measures](BackgroundEncoder& self) { Q_EMIT self.pictureMeasured(measures); });
    });
    QObject::connect(e, &RecordingEngine::previewFrame, e, [link](PreviewFrame frame) {
        link->post([frame = std::move(frame)](BackgroundEncoder& self) {
            Q_EMIT self.previewFrame(frame);
        });
    });
    m_thread->start();
}

BackgroundEncoder::~BackgroundEncoder() {
    {
        std::lock_guard guard(m_link->lock);
        m_link->owner = nullptr;
    }
    // The recording's file is finished before the engine goes; the engine is
    // deleted on its own thread, which then ends.
    RecordingEngine* engine = m_engine;
    QThread* thread = m_thread;
    QMetaObject::invokeMethod(
        engine,
        [engine, thread] {
            engine->stop();
            delete engine;
            thread->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(kThreadEndWaitMs)) {
        delete thread;
        return;
    }
    // A device or disk that never answers keeps the thread; the program ends
    // without it rather than hanging with it.
    qCWarning(lcEngine) << "the engine's thread did not end within" << kThreadEndWaitMs << "ms";
}

void BackgroundEncoder::onEngineThread(std::function<void(RecordingEngine&)> work) {
    RecordingEngine* engine = m_engine;
    QMetaObject::invokeMethod(
        engine, [engine, work = std::move(work)] { work(*engine); }, Qt::QueuedConnection);
}

void BackgroundEncoder::failedHere(const EncoderStatus& status) {
    std::lock_guard guard(m_link->snapshotLock);
    m_link->snapshot.lastFailure = status;
}

EncoderStatus BackgroundEncoder::resetSourceGroup() {
    m_videoInput.clear();
    m_audioInput.clear();
    onEngineThread([](RecordingEngine& engine) { engine.resetSourceGroup(); });
    return EncoderStatus::success();
}

EncoderStatus BackgroundEncoder::setVideoInput(const QString& input) {
    if (!SourceResolver::videoInputWellFormed(input))
        return engineStatus(EngineFailure::VideoDevice,
                            QStringLiteral("video input \"%1\" has no name").arg(input));
    m_videoInput = input;
    onEngineThread([input](RecordingEngine& engine) { engine.setVideoInput(input); });
    return EncoderStatus::success();
}

EncoderStatus BackgroundEncoder::setAudioInput(const QString& input) {
    if (!SourceResolver::audioInputWellFormed(input))
        return engineStatus(EngineFailure::AudioDevice,
                            QStringLiteral("audio input \"%1\" has no name").arg(input));
    m_audioInput = input;
    onEngineThread([input](RecordingEngine& engine) { engine.setAudioInput(input); });
    return EncoderStatus::success();
}

void BackgroundEncoder::setVideoCaptureSettings(const VideoCaptureSettings& settings) {
    m_captureSettings = settings;
    onEngineThread(
        [settings](RecordingEngine& engine) { engine.setVideoCaptureSettings(settings); });
}

EncoderStatus BackgroundEncoder::setProfile(const QString& profileXml) {
    // The engine checks the profile when a recording starts.
    onEngineThread([profileXml](RecordingEngine& engine) { engine.setProfile(profileXml); });
    return EncoderStatus::success();
}

void BackgroundEncoder::setOutputFileName(const QString& path) {
    m_outputFileName = path;
    onEngineThread([path](RecordingEngine& engine) { engine.setOutputFileName(path); });
}

void BackgroundEncoder::setDurationLimitMs(qint64 ms) {
    m_durationLimitMs = std::max<qint64>(0, ms);
    onEngineThread([ms](RecordingEngine& engine) { engine.setDurationLimitMs(ms); });
}

void BackgroundEncoder::setRecordingTags(const RecordingTags& tags) {
    onEngineThread([tags](RecordingEngine& engine) { engine.setRecordingTags(tags); });
}

void BackgroundEncoder::setPreviewEnabled(bool enabled) {
    m_previewEnabled = enabled;
    onEngineThread([enabled](RecordingEngine& engine) { engine.setPreviewEnabled(enabled); });
}

void BackgroundEncoder::prepareToEncode() {
    request(Call::Prepare);
}

void BackgroundEncoder::start() {
    request(Call::Start);
}

void BackgroundEncoder::request(Call kind) {
    const quint64 number = ++m_lastRequest;
    m_unanswered.insert(number);
    const std::shared_ptr<Link> link = m_link;
    onEngineThread([kind, number, link](RecordingEngine& engine) {
        const EncoderStatus status =
            kind == Call::Start ? engine.start() : engine.prepareToEncode();
        link->publish(engine);
        link->post(
            [kind, number, status](BackgroundEncoder& self) { self.answer(kind, number, status); });
    });
    const int deadlineMs = kind == Call::Start ? m_deadlines.startMs : m_deadlines.prepareMs;
    QTimer::singleShot(deadlineMs, this, [this, kind, number, deadlineMs] {
        if (!m_unanswered.contains(number)) return;
        const EncoderStatus late = EncoderStatus::failure(
            EncoderErrorCode::NoAnswer,
            QStringLiteral("no answer from the sources or the disk within %1 s")
                .arg(deadlineMs / 1000));
        qCWarning(lcEngine).noquote()
            << (kind == Call::Start ? "start:" : "prepare:") << late.description;
        failedHere(late);
        answer(kind, number, late);
    });
}

void BackgroundEncoder::answer(Call kind, quint64 number, const EncoderStatus& status) {
    if (!m_unanswered.remove(number)) {
        // Reported as NoAnswer already: a recording that came up after all
        // is ended, so nothing records that the recorder counts as failed.
        if (kind == Call::Start && status.ok()) {
            qCWarning(lcEngine) << "a start came up after its deadline; it is stopped";
            stop();
        }
        return;
    }
    if (kind == Call::Start)
        Q_EMIT started(status);
    else
        Q_EMIT prepared(status);
}

void BackgroundEncoder::stop() {
    onEngineThread([](RecordingEngine& engine) { engine.stop(); });
}

bool BackgroundEncoder::stopBeforeExit(int timeoutMs) {
    auto done = std::make_shared<QSemaphore>();
    const std::shared_ptr<Link> link = m_link;
    onEngineThread([link, done](RecordingEngine& engine) {
        engine.stop();
        link->publish(engine);
        done->release();
    });
    return done->tryAcquire(1, timeoutMs);
}

RunState BackgroundEncoder::runState() const {
    return m_link->read().runState;
}

EncoderStatistics BackgroundEncoder::statistics() const {
    return m_link->read().statistics;
}

QDateTime BackgroundEncoder::firstSampleUtc() const {
    return m_link->read().firstSampleUtc;
}

EncoderStatus BackgroundEncoder::lastFailure() const {
    return m_link->read().lastFailure;
}

}  // namespace kelm
