#pragma once

#include "capture/CaptureDevices.h"
#include "encoder/EncoderError.h"
#include "encoder/SignalMeasures.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <memory>

namespace kelm {

// Run states as the recorder reads them. Any other value counts as neither.
enum class RunState : int { Running = 2, Stopped = 5 };

// Statistics of the current (or last) recording. Cheap to read: the recorder
// polls them every 200 ms on the GUI thread.
struct EncoderStatistics {
    qint64 archiveBytes = 0;       // bytes written to the output file so far
    qint64 archiveDurationMs = 0;  // media time in the file, in ms
    qint64 encodingTimeMs = 0;     // wall time since the recording started, in ms
    qint64 audioBitrate = 0;       // audio stream bit rate, bit/s
    qint64 overallBitrate = 0;     // all streams together, bit/s
};

// What a recording's file says about itself beside its streams: who and
// what was recorded, for which plan. Written into the file's header.
struct RecordingTags {
    QString title;                 // the channel's name
    QString author;                // the channel's short name
    QDateTime plannedStart;        // when the recording was planned to begin; invalid: none
    qint64 plannedDurationMs = 0;  // the planned length; 0: open-ended
    QString profileName;           // the profile the file is encoded with

    bool operator==(const RecordingTags&) const = default;
};

// One preview picture, packed RGB888, `stride` bytes per line.
struct PreviewFrame {
    int width = 0;
    int height = 0;
    int stride = 0;
    QByteArray rgb;
};

// The encoder component as KELM uses it: one source group with a video and an
// audio source, a profile text, an output file with a duration limit, and the
// run state. All calls are made on the GUI thread and none of them waits on a
// device or a disk: preparing, starting and stopping return at once, and
// their outcome comes back through the signals below (queued, carrying the
// new value). Implementations keep their own threads inside.
//
// Inputs:
//   video: "DEVICE://<card name>" (V4L2 capture device) or a file path
//          (a picture frozen into a stream, or a video played in a loop);
//   audio: "Device://<name>" (ALSA capture device).
// For tests and benchmarks, the engine also takes "TEST://" on either source,
// optionally followed by a test pattern or wave name ("TEST://ball",
// "TEST://silence"): a live 720x576 picture at 25 frames/s, or a live tone;
// "TEST://hole" and "TEST://pauses" are a tone cut by silences (TestSignals).
// The recorder never produces it.
class Encoder : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Encoder() override = default;

    // Rebuilds the source group "SG1" with one video and one audio source and
    // no inputs. Stops a running recording and the live source first.
    virtual EncoderStatus resetSourceGroup() = 0;

    virtual EncoderStatus setVideoInput(const QString& input) = 0;
    virtual EncoderStatus setAudioInput(const QString& input) = 0;
    virtual QString videoInput() const = 0;
    virtual QString audioInput() const = 0;

    // The input, standard, picture format and tuner of the video capture
    // device ("DEVICE://" inputs). A change of the input, standard or format
    // stops the live picture source (a streaming device refuses them); the
    // next prepareToEncode() brings the device to them and builds the source
    // with them. A running recording keeps the settings it started with; the
    // new ones take effect at the next prepare after it. A channel alone is
    // tuned by the caller (VideoDeviceList::tune), which a streaming device
    // takes.
    virtual void setVideoCaptureSettings(const VideoCaptureSettings& settings) = 0;
    virtual VideoCaptureSettings videoCaptureSettings() const = 0;

    // The profile XML text. Parsing may be deferred to prepare/start, which
    // then fail with ProfileRefused.
    virtual EncoderStatus setProfile(const QString& profileXml) = 0;

    // Output file ("LocalFileName"). Empty means no file chosen yet.
    virtual void setOutputFileName(const QString& path) = 0;
    virtual QString outputFileName() const = 0;

    // The recording ends by itself, file finalised, when its media time reaches
    // this length. 0 means no limit.
    virtual void setDurationLimitMs(qint64 ms) = 0;
    virtual qint64 durationLimitMs() const = 0;

    // The tags the next recording's file is written with. Set before start();
    // they are kept for every later start until set again.
    virtual void setRecordingTags(const RecordingTags& tags) = 0;

    // Starts the live sources so the preview runs before any recording; the
    // outcome comes as prepared(). With the sources already running it is
    // success, or the failure of a source that has delivered nothing for more
    // than 2 s. Calls are served in order: a prepare asked for after a
    // setter sees that setting.
    virtual void prepareToEncode() = 0;

    // Starts writing the output file, preparing first if needed; the outcome
    // comes as started(), within a bounded time even when a device or the
    // disk does not answer. On success the run state is Running by the time
    // the signal arrives. On failure the run state stays Stopped and nothing
    // keeps running that was not before.
    virtual void start() = 0;

    // Ends the recording and finalises the file; the live source keeps
    // running. The run state turns Stopped, signalled, once the file is
    // finished.
    virtual void stop() = 0;

    // For the program's exit only: ends the recording and waits up to
    // `timeoutMs` for its file to be finished. False when it was not
    // finished in that time.
    virtual bool stopBeforeExit(int timeoutMs) = 0;

    virtual RunState runState() const = 0;
    virtual EncoderStatistics statistics() const = 0;

    // When the first sample of the current (or last) recording was captured,
    // as UTC wall-clock time to the millisecond: the moment the file's time 0
    // shows, which is later than the call to start() when the sources were
    // slow to come up. Invalid before any recording has started; valid as
    // soon as start() has returned success, and kept after the recording
    // ends until the next successful start.
    virtual QDateTime firstSampleUtc() const = 0;

    // The last failure of a prepare or a start, or the failure that ended
    // the last recording (a source lost, the disk full, the file
    // unwritable). Its description is the cause in plain words for the
    // operator's log: the system's reason with the file or device it
    // concerns, e.g. "cannot create /media/TV.wmv: No space left on device"
    // or "video device /dev/video0: Device or resource busy"; the same text
    // as the status the call or the signal carries, on one line.
    // A failed prepare or start sets it before its outcome is signalled; the
    // failure that ends a recording is readable as soon as runState() says
    // Stopped, before the signals below arrive. start() clears it: success
    // while a recording runs, and after one that reached its limit or that
    // stop() ended. A setter's refusal is only returned.
    virtual EncoderStatus lastFailure() const = 0;

    // Preview frames are delivered through previewFrame() only while enabled.
    virtual void setPreviewEnabled(bool enabled) = 0;
    virtual bool previewEnabled() const = 0;

Q_SIGNALS:
    // The outcome of prepareToEncode() and of start(), one signal per call.
    void prepared(kelm::EncoderStatus status);
    void started(kelm::EncoderStatus status);
    void runStateChanged(kelm::RunState state);
    // An asynchronous failure after start (device lost, disk full). The run
    // state change to Stopped follows.
    void errorOccurred(kelm::EncoderStatus status);
    void previewFrame(kelm::PreviewFrame frame);
    // The recorded streams' measures for the signal alarms, only while a
    // recording runs: the sound that goes into the file about every 100 ms,
    // its pictures about every 200 ms. Nothing comes while the run state is
    // Stopped, nor from the live sources between recordings.
    void soundMeasured(kelm::SoundLevels levels);
    void pictureMeasured(kelm::PictureMeasures measures);
};

// Creates encoder objects. Failing to create one is the "component missing"
// case (429), which ends KELM at start-up.
class EncoderFactory {
public:
    virtual ~EncoderFactory() = default;
    virtual std::unique_ptr<Encoder> create(EncoderStatus* status) = 0;
};

}  // namespace kelm

Q_DECLARE_METATYPE(kelm::RunState)
Q_DECLARE_METATYPE(kelm::EncoderStatus)
Q_DECLARE_METATYPE(kelm::PreviewFrame)
