#include "RecordingEngine.h"

#include "EngineError.h"
#include "capture/SoundCardSharing.h"
#include "capture/V4l2Values.h"

#include <QMetaObject>

#include <time.h>

namespace kelm {
namespace {

// How long a start may wait for the first picture of the recording and for
// its sound.
constexpr int kFirstPictureTimeoutMs = 3000;
// A source that delivers nothing for longer than this ends the recording:
// far beyond any buffer a working device holds back, and short enough that
// a hung one costs the file no more than this.
constexpr qint64 kSourceSilenceLimitMs = 2000;
constexpr int kSourceWatchIntervalMs = 250;
// How long the level meters' capture thread may take to close a card the
// sources are about to open: it looks every 50 ms.
constexpr int kMeterLetGoTimeoutMs = 1000;

// A failure's cause for the log and for lastFailure(): one line.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

qint64 clockNs(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}  // namespace

RecordingEngine::RecordingEngine(EngineOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_sourceWatch.setInterval(kSourceWatchIntervalMs);
    connect(&m_sourceWatch, &QTimer::timeout, this, &RecordingEngine::watchSources);
}

RecordingEngine::~RecordingEngine() {
    // The writer and the pipelines end here, before the QObject goes, so no
    // thread of theirs can post to a dead object.
    if (m_runState == RunState::Running) endRecording(EncoderStatus::success());
    m_writer.reset();
    m_graph.reset();
}

void RecordingEngine::post(std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

void RecordingEngine::setRunState(RunState state) {
    if (m_runState == state) return;
    m_runState = state;
    post([this, state] { Q_EMIT runStateChanged(state); });
}

bool RecordingEngine::encoderAvailable(const QString& name) const {
    return !m_options.encoderAvailable || m_options.encoderAvailable(name);
}

EncoderStatus RecordingEngine::resetSourceGroup() {
    stop();
    m_graph.reset();
    m_videoInput.clear();
    m_audioInput.clear();
    m_graphVideoInput.clear();
    m_graphAudioInput.clear();
    m_graphCaptureSettings.reset();
    return EncoderStatus::success();
}

// The file's own account of a failure (the path and the system's reason, in
// the operator's language) is the cause the recorder shows, where there is one.
EncoderStatus RecordingEngine::withCause(EncoderStatus status, const QString& cause) {
    if (!status.ok() && !cause.trimmed().isEmpty()) status.description = cause;
    return status;
}

EncoderStatus RecordingEngine::refused(const EncoderStatus& status) {
    qCWarning(lcEngine).noquote() << "failure" << status.signedCode()
                                  << oneLine(status.description);
    return status;
}

EncoderStatus RecordingEngine::failed(const EncoderStatus& status) {
    if (!status.ok()) {
        m_lastFailure = EncoderStatus::failure(status.code, oneLine(status.description));
        qCWarning(lcEngine).noquote()
            << "failure" << status.signedCode() << m_lastFailure.description;
    }
    return status;
}

EncoderStatus RecordingEngine::setVideoInput(const QString& input) {
    if (!SourceResolver::videoInputWellFormed(input))
        return refused(engineStatus(EngineFailure::VideoDevice,
                                    QStringLiteral("video input \"%1\" has no name").arg(input)));
    m_videoInput = input;
    // A new source replaces the live one when it is next prepared; a running
    // recording keeps its source to the end.
    if (m_graph && m_runState != RunState::Running && m_graphVideoInput != input) m_graph.reset();
    return EncoderStatus::success();
}

void RecordingEngine::setVideoCaptureSettings(const VideoCaptureSettings& settings) {
    m_captureSettings = settings;
    // A streaming device refuses a new input, standard or format: the live
    // source stops, and the next prepare sets them and builds it again. A
    // running recording keeps its source to the end.
    if (m_graph && m_runState != RunState::Running && m_graphCaptureSettings &&
        !m_graphCaptureSettings->sameStreamingSettings(settings)) {
        qCInfo(lcEngine) << "the capture device's settings change; its picture source stops";
        m_graph.reset();
    }
}

bool RecordingEngine::graphCurrent() const {
    if (!m_graph || !m_graph->running() || m_graphVideoInput != m_videoInput ||
        m_graphAudioInput != m_audioInput)
        return false;
    return !m_graphCaptureSettings ||
           m_graphCaptureSettings->sameStreamingSettings(m_captureSettings);
}

EncoderStatus RecordingEngine::setAudioInput(const QString& input) {
    if (!SourceResolver::audioInputWellFormed(input))
        return refused(engineStatus(EngineFailure::AudioDevice,
                                    QStringLiteral("audio input \"%1\" has no name").arg(input)));
    m_audioInput = input;
    if (m_graph && m_runState != RunState::Running && m_graphAudioInput != input) m_graph.reset();
    return EncoderStatus::success();
}

EncoderStatus RecordingEngine::setProfile(const QString& profileXml) {
    // Checked when a recording starts, which reports a refusal.
    m_profileText = profileXml;
    return EncoderStatus::success();
}

EncoderStatus RecordingEngine::prepareToEncode() {
    if (m_runState == RunState::Running) return EncoderStatus::success();
    if (graphCurrent()) {
        // Running sources that have gone quiet (a hung sound server) are
        // reported at once: the caller tries again later instead of having a
        // start wait seconds on the GUI thread for data that is not coming.
        return failed(m_graph->quietSource(kSourceSilenceLimitMs));
    }
    return failed(startSources());
}

EncoderStatus RecordingEngine::startSources() {
    m_graph.reset();
    ResolvedVideoInput video;
    ResolvedAudioInput audio;
    // The level meters let go of the card before anything here opens it
    // (the resolver's probe included). A sound server takes any number of
    // openers: its devices are not claimed, and the meters keep their own.
    std::shared_ptr<SoundCardClaim> soundCard;
    const QString pcm = SourceResolver::audioPcmName(m_audioInput);
    if (m_options.soundCardSharing && !pcm.isEmpty() && !SourceResolver::servedBySoundServer(pcm)) {
        soundCard = m_options.soundCardSharing->claim(pcm, kMeterLetGoTimeoutMs);
        if (!soundCard->metersLetGo())
            qCWarning(lcEngine).noquote() << "the level meters still hold sound card" << pcm;
    }
    EncoderStatus status =
        SourceResolver::resolveAudio(m_audioInput, &audio, m_options.soundServerDirect);
    if (status.ok())
        status = SourceResolver::resolveVideo(m_videoInput, &video, m_options.videoDevices);
    if (!status.ok()) return status;
    std::optional<VideoCaptureSettings> captureSettings;
    if (video.kind == ResolvedVideoInput::Kind::CaptureDevice) {
        // Nothing of the graph streams now: the device takes its input,
        // standard, format and channel, and the picture source is built with
        // the standard and the format, so the pictures recorded have them.
        captureSettings = m_captureSettings;
        if (m_options.videoDevices &&
            m_options.videoDevices->applyCaptureSettings(video.deviceEntry, m_captureSettings) ==
                DeviceResult::Failed)
            return engineStatus(EngineFailure::VideoDevice,
                                QStringLiteral("video device %1 is busy: its input, standard and "
                                               "picture format cannot be set")
                                    .arg(video.location));
        video.norm = V4l2Values::standard(m_captureSettings.analogStandard).value_or(0);
        if (const auto format = V4l2Values::pictureFormat(m_captureSettings.pixelFormat))
            video.pictureFormat = QString::fromLatin1(format->gstFormat);
    }
    auto graph = std::make_unique<CaptureGraph>(
        [this](std::function<void()> work) { post(std::move(work)); },
        [this](EncoderStatus failure) { onSourceFailure(failure); },
        [this](PreviewFrame frame) {
            post([this, frame = std::move(frame)] {
                if (m_graph) m_graph->previewDelivered();
                if (m_previewEnabled) Q_EMIT previewFrame(frame);
            });
        });
    status = graph->start(video, audio, std::move(soundCard));
    if (!status.ok()) return status;
    graph->setPreviewEnabled(m_previewEnabled);
    m_graph = std::move(graph);
    m_graphVideoInput = m_videoInput;
    m_graphAudioInput = m_audioInput;
    m_graphCaptureSettings = captureSettings;
    return status;
}

EncoderStatus RecordingEngine::start() {
    if (m_runState == RunState::Running) return EncoderStatus::success();
    m_lastFailure = EncoderStatus::success();
    // The moment the recording was asked for: with the sources running, the
    // first picture captured from now on is the file's first.
    const bool sourcesWereRunning = graphCurrent();
    const quint64 calledAtNs = sourcesWereRunning ? m_graph->runningTimeNs() : 0;
    m_calledAtWall = QDateTime::currentDateTime();

    EncoderProfile profile;
    EncoderStatus status = EncoderProfile::parse(m_profileText, &profile);
    if (!status.ok()) return failed(status);
    if (!encoderAvailable(profile.videoCodec))
        return failed(engineStatus(
            EngineFailure::VideoCodecMissing,
            QStringLiteral("video encoder %1 is not available").arg(profile.videoCodec)));
    if (m_outputFileName.trimmed().isEmpty())
        return failed(
            engineStatus(EngineFailure::InvalidArgument, QStringLiteral("no output file chosen")));

    // Sources started here are stopped again if the recording does not start.
    status = prepareToEncode();
    if (!status.ok()) return status;
    status = startRecording(profile, calledAtNs);
    if (!status.ok()) {
        if (m_graph) m_graph->detachRecording();
        m_outputLock.release();
        // A file the writer made for this start goes with it.
        if (m_writer) m_writer->discard();
        m_writer.reset();
        if (!sourcesWereRunning) m_graph.reset();
        return failed(status);
    }
    m_sourceWatch.start();
    m_encodingClock.start();
    m_lastStatistics = {};
    m_lastEncodingMs = 0;
    setRunState(RunState::Running);
    return EncoderStatus::success();
}

EncoderStatus RecordingEngine::startRecording(const EncoderProfile& profile,
                                              quint64 fromRunningTimeNs) {
    // A name already taken is refused before anything waits or is made.
    EncoderStatus status = m_outputLock.checkFree(m_outputFileName);
    if (!status.ok()) return withCause(status, m_outputLock.failureCause());
    // The branches are linked first, so the first picture after the call is
    // caught while the file is being opened; its samples wait meanwhile.
    const QSize profileSize = profile.sourceSize() ? QSize() : QSize(profile.width, profile.height);
    quint64 firstPictureNs = 0;
    status = m_graph->attachRecording(profile, profileSize, fromRunningTimeNs,
                                      kFirstPictureTimeoutMs, &firstPictureNs);
    if (!status.ok()) return status;
    const QSize size = profile.sourceSize() ? m_graph->waitForVideoSize(0) : profileSize;
    const QDateTime firstSampleUtc = wallTimeOf(firstPictureNs);
    auto writer = std::make_unique<AsfWriter>();
    writer->setDescription(m_tags, firstSampleUtc);
    status = writer->open(m_outputFileName, profile, size.width(), size.height(), m_durationLimitMs,
                          [this](const QString& name) { return encoderAvailable(name); });
    if (!status.ok()) return withCause(status, writer->failureCause());
    m_writer = std::move(writer);
    status = m_outputLock.acquire(m_outputFileName);
    if (!status.ok()) return withCause(status, m_outputLock.failureCause());
    m_firstSampleUtc = firstSampleUtc;
    qCInfo(lcEngine).noquote()
        << QStringLiteral(
               "recording %1: video %2 %3x%4 at %5/%6 frames/s, %7 bit/s, key frame "
               "every %8 frames; audio %9 %10 Hz, %11 channels, %12 bit/s; limit %13 ms")
               .arg(m_outputFileName, profile.videoCodec)
               .arg(m_writer->width())
               .arg(m_writer->height())
               .arg(profile.frameRateNum)
               .arg(profile.frameRateDen)
               .arg(profile.videoBitrate)
               .arg(profile.keyFrameSpacingFrames())
               .arg(profile.audioCodec)
               .arg(profile.sampleRate)
               .arg(profile.channels)
               .arg(profile.audioBitrate)
               .arg(m_durationLimitMs);
    qCInfo(lcEngine).noquote() << "first picture at" << firstPictureNs / 1000000.0 << "ms ("
                               << m_firstSampleUtc.toString(Qt::ISODateWithMs) << "), asked for at"
                               << fromRunningTimeNs / 1000000.0 << "ms ("
                               << m_calledAtWall.toString(QStringLiteral("HH:mm:ss.zzz")) << ")";

    const quint64 recording = ++m_recording;
    m_writer->start(firstPictureNs, [this, recording](const EncoderStatus& ended) {
        post([this, recording, ended] { onWriterEnded(recording, ended); });
    });
    AsfWriter* target = m_writer.get();
    m_graph->deliverRecording(
        [target](gst::SamplePtr sample, quint64 rt) { target->pushVideo(std::move(sample), rt); },
        [target](gst::SamplePtr sample, quint64 rt) { target->pushAudio(std::move(sample), rt); });
    measureRecording(recording);
    return EncoderStatus::success();
}

void RecordingEngine::measureRecording(quint64 recording) {
    // A measure still on its way when the recording ends is not handed on.
    auto current = [this, recording] {
        return recording == m_recording && m_runState == RunState::Running;
    };
    m_graph->measureRecording({[this, current](const SoundLevels& levels) {
                                   post([this, current, levels] {
                                       if (current()) Q_EMIT soundMeasured(levels);
                                   });
                               },
                               [this, current](const PictureMeasures& measures) {
                                   post([this, current, measures] {
                                       if (current()) Q_EMIT pictureMeasured(measures);
                                   });
                               }});
}

void RecordingEngine::stop() {
    if (m_runState != RunState::Running) return;
    endRecording(EncoderStatus::success());
}

// Ends the recording in the order that keeps the preview alive: buffers are
// dropped at the tee pads, the writer finishes the file, then the branches go.
void RecordingEngine::endRecording(const EncoderStatus& failure) {
    m_sourceWatch.stop();
    if (m_graph) m_graph->blockRecording();
    EncoderStatus status = failure;
    if (m_writer) {
        const EncoderStatus written = withCause(m_writer->finish(), m_writer->failureCause());
        if (status.ok()) status = written;
        m_lastStatistics = m_writer->statistics();
        m_writer.reset();
    }
    if (m_graph) m_graph->detachRecording();
    m_outputLock.release();
    m_lastEncodingMs = m_encodingClock.isValid() ? m_encodingClock.elapsed() : 0;
    m_encodingClock.invalidate();
    ++m_recording;
    // A file that could not be finished is a failure even when the recording
    // was stopped on purpose. The failure and its cause are readable before
    // the run state changes and before the signal arrives.
    if (status.ok()) {
        m_lastFailure = status;
    } else {
        failed(status);
        post([this, status] { Q_EMIT errorOccurred(status); });
    }
    setRunState(RunState::Stopped);
}

void RecordingEngine::onWriterEnded(quint64 recording, const EncoderStatus& status) {
    if (recording != m_recording || m_runState != RunState::Running) return;
    endRecording(status);
}

void RecordingEngine::onSourceFailure(const EncoderStatus& status) {
    // The graph has already stopped itself.
    m_graphVideoInput.clear();
    m_graphAudioInput.clear();
    // Without a recording nothing is reported: the next prepare or start
    // builds the sources again and reports what it finds then.
    if (m_runState == RunState::Running) endRecording(status);
}

// Runs on the GUI thread and reads only what the streaming threads note, so
// a source that hangs cannot hold it.
void RecordingEngine::watchSources() {
    if (m_runState != RunState::Running || !m_graph) return;
    const EncoderStatus quiet = m_graph->quietSource(kSourceSilenceLimitMs);
    if (quiet.ok()) return;
    qCWarning(lcEngine).noquote() << "the recording ends:" << quiet.description;
    endRecording(quiet);
}

// The wall time at which the pipeline's clock showed `runningTimeNs`: now,
// less the running time that has passed since. Both clocks are read back to
// back, so the mapping is good to well within a millisecond.
QDateTime RecordingEngine::wallTimeOf(quint64 runningTimeNs) const {
    const qint64 wallNs = clockNs(CLOCK_REALTIME);
    const qint64 sinceNs = qint64(m_graph ? m_graph->runningTimeNs() : 0) - qint64(runningTimeNs);
    const qint64 ms = (wallNs - sinceNs + 500'000) / 1'000'000;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

EncoderStatistics RecordingEngine::statistics() const {
    const AsfWriter::Statistics s = m_writer ? m_writer->statistics() : m_lastStatistics;
    EncoderStatistics out;
    out.archiveBytes = s.fileBytes;
    out.archiveDurationMs = s.durationMs;
    out.encodingTimeMs = m_encodingClock.isValid() ? m_encodingClock.elapsed() : m_lastEncodingMs;
    if (s.durationMs > 0) {
        out.audioBitrate = s.audioBytes * 8000 / s.durationMs;
        out.overallBitrate = (s.audioBytes + s.videoBytes) * 8000 / s.durationMs;
    }
    return out;
}

void RecordingEngine::setPreviewEnabled(bool enabled) {
    m_previewEnabled = enabled;
    if (m_graph) m_graph->setPreviewEnabled(enabled);
}

}  // namespace kelm
