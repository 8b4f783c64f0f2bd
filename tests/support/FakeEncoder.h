#pragma once

#include "FakeCapture.h"
#include "encoder/Encoder.h"
#include "recorder/Clock.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <deque>
#include <functional>

namespace kelm::test {

// An encoder that behaves like an ideal device on a test clock: start() writes
// the output file at once and runs until the clock has moved past the duration
// limit (checked whenever the run state is read). Faults are injected per call.
// As the real one, it answers prepares and starts through the event loop,
// never inside the call; with `slowStart` the start itself happens only then.
class FakeEncoder final : public Encoder {
public:
    explicit FakeEncoder(const Clock& clock) : m_clock(clock) {}

    // Output files "held by another recorder": start() on such a name fails.
    static QSet<QString>& heldFiles() {
        static QSet<QString> files;
        return files;
    }

    EncoderStatus resetSourceGroup() override {
        ++resets;
        m_video.clear();
        m_audio.clear();
        return {};
    }
    EncoderStatus setVideoInput(const QString& input) override {
        m_video = input;
        return {};
    }
    EncoderStatus setAudioInput(const QString& input) override {
        m_audio = input;
        return {};
    }
    void setVideoCaptureSettings(const VideoCaptureSettings& settings) override {
        m_captureSettings = settings;
    }
    VideoCaptureSettings videoCaptureSettings() const override { return m_captureSettings; }
    QString videoInput() const override { return m_video; }
    QString audioInput() const override { return m_audio; }
    EncoderStatus setProfile(const QString& xml) override {
        profile = xml;
        return {};
    }
    void setOutputFileName(const QString& path) override { m_file = path; }
    QString outputFileName() const override { return m_file; }
    void setDurationLimitMs(qint64 ms) override { m_limitMs = ms; }
    qint64 durationLimitMs() const override { return m_limitMs; }
    void setRecordingTags(const RecordingTags& t) override { tags = t; }
    void prepareToEncode() override {
        ++prepares;
        if (duringPrepare) duringPrepare();  // sources that take their time to deliver
        // As the engine does, "DEVICE://" alone names no device to capture from.
        const EncoderStatus status =
            m_video == QStringLiteral("DEVICE://")
                ? failed(EncoderStatus::failure(EncoderErrorCode::VideoInput,
                                                QStringLiteral("no video capture device chosen")))
                : failed(prepareFailure);
        later([this, status] { Q_EMIT prepared(status); });
    }

    void start() override {
        ++starts;
        if (!slowStart) {
            const EncoderStatus status = startNow();
            later([this, status] { Q_EMIT started(status); });
            return;
        }
        later([this] {
            const EncoderStatus status = startNow();
            Q_EMIT started(status);
        });
    }

    bool stopBeforeExit(int) override {
        stop();
        return true;
    }

    EncoderStatus startNow() {
        m_lastFailure = {};
        startedFiles << m_file;
        if (!startFailures.empty()) {
            const EncoderStatus failure = startFailures.front();
            startFailures.pop_front();
            return failed(failure);
        }
        if (heldFiles().contains(m_file))
            return failed(EncoderStatus::failure(
                EncoderErrorCode::FileInUse,
                QStringLiteral("%1 is held by another recorder").arg(m_file)));
        // As the engine does, a file already there is never written over.
        if (writeFiles && QFile::exists(m_file))
            return failed(EncoderStatus::failure(EncoderErrorCode::FileExists,
                                                 QStringLiteral("%1 already exists").arg(m_file)));
        if (writeFiles) {
            QFile f(m_file);
            if (f.open(QIODevice::WriteOnly)) f.write("ASF");
        }
        heldFiles().insert(m_file);
        m_lastStatistics = {};
        m_startedAt = m_clock.now();
        m_firstSampleUtc = m_startedAt.toUTC();
        m_running = true;
        return {};
    }

    // Like the engine, a stop is told by a signal after the call.
    void stop() override {
        ++stops;
        const bool wasRunning = m_running;
        finish();
        if (wasRunning)
            QMetaObject::invokeMethod(
                this, [this] { Q_EMIT runStateChanged(RunState::Stopped); }, Qt::QueuedConnection);
    }

    RunState runState() const override {
        if (busyUntil.isValid() && m_clock.now() < busyUntil)
            return RunState::Running;  // another recording still runs
        if (m_running && m_limitMs > 0 && m_startedAt.msecsTo(m_clock.now()) >= m_limitMs)
            const_cast<FakeEncoder*>(this)->finish();
        return m_running ? RunState::Running : RunState::Stopped;
    }

    EncoderStatistics statistics() const override {
        EncoderStatistics s = m_lastStatistics;  // a finished file keeps its figures
        if (m_running) {
            s.archiveDurationMs =
                std::min(m_startedAt.msecsTo(m_clock.now()), m_limitMs > 0 ? m_limitMs : LLONG_MAX);
            s.archiveBytes = s.archiveDurationMs * 72;  // about 576 kbit/s
            s.encodingTimeMs = m_startedAt.msecsTo(m_clock.now());
            s.audioBitrate = 64032;
            s.overallBitrate = 576032;
        }
        return s;
    }
    EncoderStatus lastFailure() const override { return m_lastFailure; }
    // An ideal device: its first sample is captured the moment start() runs.
    QDateTime firstSampleUtc() const override { return m_firstSampleUtc; }

    // The running recording ends with this failure, as a lost device or a full
    // disk ends it: the failure first, then the run state, then the signals.
    void fail(const EncoderStatus& failure) {
        if (!m_running) return;
        m_lastFailure = failure;
        finish();
        Q_EMIT errorOccurred(failure);
        Q_EMIT runStateChanged(RunState::Stopped);
    }

    // The recording's measures, as the engine hands them on: only while it
    // records; false (and nothing sent) otherwise.
    bool measureSound(const SoundLevels& levels) {
        if (runState() != RunState::Running) return false;
        Q_EMIT soundMeasured(levels);
        return true;
    }
    bool measurePicture(const PictureMeasures& measures) {
        if (runState() != RunState::Running) return false;
        Q_EMIT pictureMeasured(measures);
        return true;
    }

    void setPreviewEnabled(bool enabled) override { m_preview = enabled; }
    bool previewEnabled() const override { return m_preview; }

    QString profile;
    RecordingTags tags;  // as last set; the recording started next is written with them
    int resets = 0;
    int prepares = 0;
    int starts = 0;
    int stops = 0;
    QStringList startedFiles;
    std::deque<EncoderStatus> startFailures;
    EncoderStatus prepareFailure;
    std::function<void()> duringPrepare;
    bool writeFiles = true;
    bool slowStart = false;  // the run state changes only when the start is answered
    QDateTime busyUntil;

private:
    void later(std::function<void()> work) {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }
    EncoderStatus failed(const EncoderStatus& status) {
        if (!status.ok()) m_lastFailure = status;
        return status;
    }
    void finish() {
        if (!m_running) return;
        m_lastStatistics = statistics();
        m_running = false;
        heldFiles().remove(m_file);
    }

    const Clock& m_clock;
    QString m_video;
    QString m_audio;
    VideoCaptureSettings m_captureSettings;
    QString m_file;
    qint64 m_limitMs = 0;
    QDateTime m_startedAt;
    QDateTime m_firstSampleUtc;
    bool m_running = false;
    bool m_preview = false;
    EncoderStatus m_lastFailure;
    EncoderStatistics m_lastStatistics;
};

class FakeEncoderFactory final : public EncoderFactory {
public:
    explicit FakeEncoderFactory(const Clock& clock) : m_clock(clock) {}
    std::unique_ptr<Encoder> create(EncoderStatus* status) override {
        ++creations;
        if (missing) {
            if (status)
                *status = EncoderStatus::failure(EncoderErrorCode::ComponentMissing,
                                                 QStringLiteral("missing"));
            return nullptr;
        }
        auto encoder = std::make_unique<FakeEncoder>(m_clock);
        last = encoder.get();
        return encoder;
    }
    bool missing = false;
    int creations = 0;
    FakeEncoder* last = nullptr;

private:
    const Clock& m_clock;
};

}  // namespace kelm::test
