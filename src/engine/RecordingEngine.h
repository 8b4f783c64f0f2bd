#pragma once

#include "AsfWriter.h"
#include "CaptureGraph.h"
#include "EngineOptions.h"
#include "OutputFileLock.h"
#include "SourceResolver.h"
#include "encoder/Encoder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>
#include <optional>

namespace kelm {

// KELM's recording engine: GStreamer captures, converts and times the
// sources and feeds the preview (CaptureGraph); libavcodec and libavformat
// write the .wmv file on the writer's thread (AsfWriter).
//
// Its calls do the work they are asked for and return its outcome, waiting
// on the devices and the disk where they must: preparing waits up to 5 s for
// the sources, a start up to 3 s more for the first picture, a stop for the
// writer to finish the file. The recorder therefore never calls it from its
// GUI thread: BackgroundEncoder runs it on a thread of its own. Its signals
// come from the event loop of the thread it lives on.
//
// Besides the inputs the Encoder interface names, both sources accept
// "TEST://" for a live test picture or tone (see SourceResolver); the
// recorder never produces it.
//
// Run state: Running from a successful start() until stop(), the duration
// limit, or a failure of the sources or the file; each change is signalled
// from the GUI thread's event loop, never from inside the call that caused it.
//
// Start: with the sources already running (prepareToEncode() on the same
// inputs), start() only links the recording branches, and the file's time 0
// is the first picture captured after the call, within a frame or two; with
// a video file source, the file's first picture. firstSampleUtc() is that
// picture's capture time, from the pipeline's clock mapped to the wall clock.
// The start fails, and no file is made, while either source delivers nothing
// for up to 3 s; the output file must not exist yet (FileExists).
//
// A source that goes quiet during a recording (nothing for more than 2 s)
// ends it with a failure (SoundCard, VideoInput): the file is finished as
// far as it goes, and the sources keep running, so a start() that follows
// succeeds as soon as the source delivers again.
class RecordingEngine final : public QObject {
    Q_OBJECT
public:
    explicit RecordingEngine(EngineOptions options, QObject* parent = nullptr);
    ~RecordingEngine() override;

    EncoderStatus resetSourceGroup();
    EncoderStatus setVideoInput(const QString& input);
    EncoderStatus setAudioInput(const QString& input);
    void setVideoCaptureSettings(const VideoCaptureSettings& settings);
    VideoCaptureSettings videoCaptureSettings() const { return m_captureSettings; }
    QString videoInput() const { return m_videoInput; }
    QString audioInput() const { return m_audioInput; }
    EncoderStatus setProfile(const QString& profileXml);
    void setOutputFileName(const QString& path) { m_outputFileName = path; }
    QString outputFileName() const { return m_outputFileName; }
    void setDurationLimitMs(qint64 ms) { m_durationLimitMs = std::max<qint64>(0, ms); }
    qint64 durationLimitMs() const { return m_durationLimitMs; }
    void setRecordingTags(const RecordingTags& tags) { m_tags = tags; }
    EncoderStatus prepareToEncode();
    EncoderStatus start();
    void stop();
    RunState runState() const { return m_runState; }
    EncoderStatistics statistics() const;
    EncoderStatus lastFailure() const { return m_lastFailure; }
    QDateTime firstSampleUtc() const { return m_firstSampleUtc; }
    void setPreviewEnabled(bool enabled);
    bool previewEnabled() const { return m_previewEnabled; }

Q_SIGNALS:
    void runStateChanged(kelm::RunState state);
    void errorOccurred(kelm::EncoderStatus status);
    void previewFrame(kelm::PreviewFrame frame);
    // The recording's measures (see Encoder), from this object's thread.
    void soundMeasured(kelm::SoundLevels levels);
    void pictureMeasured(kelm::PictureMeasures measures);

private:
    EncoderStatus startSources();
    // Whether the running graph was built for the current inputs and, with a
    // capture device, for its current settings.
    bool graphCurrent() const;
    EncoderStatus startRecording(const EncoderProfile& profile, quint64 fromRunningTimeNs);
    // Hands the recording's measures on, from this object's thread, for as
    // long as recording `recording` runs.
    void measureRecording(quint64 recording);
    static EncoderStatus withCause(EncoderStatus status, const QString& cause);
    // A setter's refusal: logged and returned, nothing more.
    static EncoderStatus refused(const EncoderStatus& status);
    // The failure of a prepare, a start or a recording: logged and kept as
    // lastFailure(), its cause on one line; returned as it came.
    EncoderStatus failed(const EncoderStatus& status);
    // Ends the recording; `failure` is success for a stop that was asked for.
    void endRecording(const EncoderStatus& failure);
    void onWriterEnded(quint64 recording, const EncoderStatus& status);
    void onSourceFailure(const EncoderStatus& status);
    void watchSources();
    QDateTime wallTimeOf(quint64 runningTimeNs) const;
    void setRunState(RunState state);
    void post(std::function<void()> work);
    bool encoderAvailable(const QString& name) const;

    EngineOptions m_options;
    QString m_videoInput;
    QString m_audioInput;
    QString m_profileText;
    QString m_outputFileName;
    qint64 m_durationLimitMs = 0;
    RecordingTags m_tags;
    QDateTime m_firstSampleUtc;
    QDateTime m_calledAtWall;  // when the last start was asked for, for the log
    bool m_previewEnabled = false;
    RunState m_runState = RunState::Stopped;
    EncoderStatus m_lastFailure;

    std::unique_ptr<CaptureGraph> m_graph;
    QString m_graphVideoInput;  // the inputs the running graph was built for
    QString m_graphAudioInput;
    VideoCaptureSettings m_captureSettings;
    // The capture device's settings the running graph streams with; unset
    // when its picture comes from elsewhere.
    std::optional<VideoCaptureSettings> m_graphCaptureSettings;
    std::unique_ptr<AsfWriter> m_writer;
    OutputFileLock m_outputLock;
    quint64 m_recording = 0;  // number of the current recording, for late reports
    QElapsedTimer m_encodingClock;
    qint64 m_lastEncodingMs = 0;
    AsfWriter::Statistics m_lastStatistics;
    QTimer m_sourceWatch{this};  // while recording: has a source gone quiet?
};

}  // namespace kelm
