#pragma once

#include "encoder/Encoder.h"

#include <QSet>
#include <QThread>
#include <QTimer>

#include <memory>
#include <mutex>

namespace kelm {

class RecordingEngine;

// The recording engine as the recorder uses it: the engine lives on a thread
// of its own, and every call from the GUI thread returns at once.
//
// Calls are served in the order they are made. Setters are kept here as well,
// so their getters answer without asking the engine. Run state, statistics
// and the last failure are read from a copy the engine's thread renews at
// every change and every 100 ms while recording; a run state read as Stopped
// comes with the failure that stopped it.
//
// Outcomes have a deadline: a prepare or start the engine has not answered
// in time (a device or a disk that hangs) is reported as NoAnswer. A start
// that succeeds after its deadline is stopped again at once, so the file
// the recorder was told failed never goes on unwatched.
class BackgroundEncoder final : public Encoder {
    Q_OBJECT
public:
    struct Deadlines {
        int prepareMs = 12000;  // the engine itself gives up on its sources after 5 s
        int startMs = 20000;    // sources, first picture and the file's creation
    };

    explicit BackgroundEncoder(std::unique_ptr<RecordingEngine> engine);
    BackgroundEncoder(std::unique_ptr<RecordingEngine> engine, Deadlines deadlines);
    // Finishes what was asked for (a recording's file included) and ends the
    // engine's thread, waiting at most 15 s for a thread that hangs.
    ~BackgroundEncoder() override;

    EncoderStatus resetSourceGroup() override;
    EncoderStatus setVideoInput(const QString& input) override;
    EncoderStatus setAudioInput(const QString& input) override;
    void setVideoCaptureSettings(const VideoCaptureSettings& settings) override;
    VideoCaptureSettings videoCaptureSettings() const override { return m_captureSettings; }
    QString videoInput() const override { return m_videoInput; }
    QString audioInput() const override { return m_audioInput; }
    EncoderStatus setProfile(const QString& profileXml) override;
    void setOutputFileName(const QString& path) override;
    QString outputFileName() const override { return m_outputFileName; }
    void setDurationLimitMs(qint64 ms) override;
    qint64 durationLimitMs() const override { return m_durationLimitMs; }
    void setRecordingTags(const RecordingTags& tags) override;
    void prepareToEncode() override;
    void start() override;
    void stop() override;
    bool stopBeforeExit(int timeoutMs) override;
    RunState runState() const override;
    EncoderStatistics statistics() const override;
    QDateTime firstSampleUtc() const override;
    EncoderStatus lastFailure() const override;
    void setPreviewEnabled(bool enabled) override;
    bool previewEnabled() const override { return m_previewEnabled; }

private:
    // What the GUI thread reads of the engine, renewed on the engine's thread.
    struct Snapshot {
        RunState runState = RunState::Stopped;
        EncoderStatistics statistics;
        QDateTime firstSampleUtc;
        EncoderStatus lastFailure;
    };
    enum class Call { Prepare, Start };

    // Runs `work` on the engine's thread, after everything asked for before.
    void onEngineThread(std::function<void(RecordingEngine&)> work);
    // A prepare or start that failed here, before the engine answered: it is
    // the last failure until the engine's copy is renewed.
    void failedHere(const EncoderStatus& status);
    // Asks the engine's thread for a prepare or a start, with its deadline.
    void request(Call kind);
    // GUI thread: the outcome of request `number` arrived, or its deadline passed.
    void answer(Call kind, quint64 number, const EncoderStatus& status);

    struct Link;

    Deadlines m_deadlines;
    // Shared with the engine's thread, which may outlive this object when a
    // device hangs at the program's end.
    std::shared_ptr<Link> m_link;
    QThread* m_thread = nullptr;
    RecordingEngine* m_engine = nullptr;  // lives on m_thread
    QTimer* m_publishTimer = nullptr;     // lives on m_thread

    // GUI thread only.
    QString m_videoInput;
    QString m_audioInput;
    QString m_outputFileName;
    VideoCaptureSettings m_captureSettings;
    qint64 m_durationLimitMs = 0;
    bool m_previewEnabled = false;
    quint64 m_lastRequest = 0;
    QSet<quint64> m_unanswered;  // requests whose outcome has not been reported yet
};

}  // namespace kelm
