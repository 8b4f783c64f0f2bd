#pragma once

#include "RecorderContext.h"
#include "recorder/StartInstant.h"

#include <QDate>
#include <QDateTime>
#include <optional>

namespace kelm {

class EncoderControl;
class RecordingControl;
class RecordingGuard;
class StatusBar;
class TimeFields;
struct SourceLists;

// The scheduler tick (every 200 ms while a recording is armed): shows
// the progress of a running recording, starts "1X" and "Napi" recordings on
// their start second ("Napi" still up to ten seconds after it), notices
// the end of every recording, and ends the program after a command-line
// recording. It never stops a recording: the encoder ends it at its length.
class Scheduler final {
public:
    // What the scheduler works with besides the shared context.
    struct Parts {
        EncoderControl& encoderControl;
        RecordingControl& recordingControl;
        RecordingGuard& guard;
        TimeFields& timeFields;
        StatusBar& statusBar;
        const SourceLists& sources;
        // Ends the program after a command-line recording: its subtitle job first.
        std::function<void()> exitForm;
    };

    Scheduler(RecorderContext& context, Parts parts)
        : m_ctx(context),
          m_encoder(parts.encoderControl),
          m_control(parts.recordingControl),
          m_guard(parts.guard),
          m_timeFields(parts.timeFields),
          m_statusBar(parts.statusBar),
          m_sources(parts.sources),
          m_exitForm(std::move(parts.exitForm)) {}

    void tick();

    // How late after its start instant a recording still starts as planned:
    // "1X" inside its start second; "Napi" also up to ten seconds later, so a
    // tick the program was too busy to run on time still starts the day's
    // recording.
    static constexpr qint64 kOnceWindowMs = 1000;
    static constexpr qint64 kDailyWindowMs = 11000;

    // What a tick does about the start of an armed "1X" or "Napi" recording.
    struct StartCall {
        enum class Kind {
            Wait,    // no start is due
            OnTime,  // inside the start window: the full planned length
            Late,    // the wall clock was stepped past the start: the rest of it
        };
        Kind kind = Kind::Wait;
        StartInstant due;   // the start instant last due
        qint64 lateMs = 0;  // real time since it
    };
    // `lastTickUtcMs` is the previous tick's time, if there was one;
    // `stepped` says whether the wall clock was stepped since.
    static StartCall startCall(const QDateTime& now, int startSecond, qint64 windowMs,
                               std::optional<qint64> lastTickUtcMs, bool stepped);

    // A forward step of the wall clock (UTC) larger than this, beyond the
    // time that really passed, is a change of the clock, not a slow tick.
    static constexpr qint64 kClockJumpMs = 1500;

private:
    // What one tick sees, shared by the decisions of the three modes.
    struct TickView {
        Encoder& encoder;
        std::optional<int> startSecond;  // the start field's time
        std::optional<qint64> lastTickUtcMs;
        bool stepped;  // the wall clock was stepped since the last tick
    };
    // The decision of each mode on one tick.
    void tickOnce(const TickView& view);
    void tickMost(const TickView& view);
    void tickDaily(const TickView& view);
    // Whether nothing records, resumes or starts.
    bool stopped(const Encoder& encoder) const;
    StartCall callFor(const TickView& view, qint64 windowMs) const;

    void showProgress();
    void endHandling(bool logEnd, bool keepStartLocked);
    void logWaitingOnce(bool renewTray);
    void logEnd();
    bool firstAttempt(const QDate& date, int startSecond);
    // Acts on a start call: starts on time, or late when `free` (the encoder
    // has stopped). False when the program ended on the way.
    bool startAsCalled(const QString& modeName, const StartCall& call, int startSecond, bool free);
    // Logs the start, prepares the file and starts the encoder. False when the
    // program ended on the way (the encoder component is missing).
    bool startRecording(const QString& modeName, qint64 lateMs = 0);
    // Starts a recording whose start the clock was stepped over, at once, for
    // the rest of its planned length. False when the program ended on the way.
    bool startLate(const QString& modeName, const StartCall& call, int startSecond);
    // How far the wall clock was stepped beyond the real time since the last tick.
    qint64 clockStepMs();
    // Runs one extra tick on the start instant itself, so a recording starts
    // within milliseconds of it, not up to a tick interval later.
    void aimAtStart(int startSecond);
    void reattachSourceView();

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    RecordingControl& m_control;
    RecordingGuard& m_guard;
    TimeFields& m_timeFields;
    StatusBar& m_statusBar;
    const SourceLists& m_sources;
    std::function<void()> m_exitForm;
    // The start second (date and second of the day) of the last start attempt.
    // A recording is started at most once per start second ("1X") or per daily
    // window ("Napi"): a short recording that ends inside its own window must
    // not start again and overwrite its file under the same name, nor may the
    // hour an autumn change repeats start the day's recording a second time.
    QDate m_attemptDate;
    int m_attemptSecond = -1;
    // The clock at the last tick, to tell a step of the wall clock from time passing.
    std::optional<qint64> m_lastTickUtcMs;
    qint64 m_lastTickMonotonicMs = 0;
    std::optional<qint64> m_aimedAtUtcMs;  // the start instant an extra tick is already set for
};

}  // namespace kelm
