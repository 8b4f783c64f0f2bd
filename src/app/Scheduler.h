#pragma once

#include "RecorderContext.h"

#include <QDate>
#include <QDateTime>
#include <optional>

namespace kelm {

class EncoderControl;
class RecordingControl;
class RecordingGuard;
class TimeFields;

// The scheduler tick (Timer1, every 200 ms while a recording is armed): shows
// the progress of a running recording, starts "1X" recordings at their start
// second and "Napi" recordings inside the 10-second window after it, notices
// the end of every recording, and ends the program after a command-line
// recording. It never stops a recording: the encoder ends it at its length.
class Scheduler final {
public:
    Scheduler(RecorderContext& context, EncoderControl& encoderControl,
              RecordingControl& recordingControl, RecordingGuard& guard, TimeFields& timeFields,
              std::function<void()> exitForm)
        : m_ctx(context),
          m_encoder(encoderControl),
          m_control(recordingControl),
          m_guard(guard),
          m_timeFields(timeFields),
          m_exitForm(std::move(exitForm)) {}

    void tick();

    // The daily start window: 1 to 10 seconds after the start second.
    static bool insideDailyWindow(int startSecond, int nowSecond) {
        return startSecond < nowSecond && nowSecond - 1 - startSecond < 10;
    }

    // A start the wall clock jumped over: the start instant (the start second
    // plus `offsetSeconds`, on the clock face) lay after `before` and not after
    // `now`. Gives the date of that start and how late `now` is for it.
    struct SkippedStart {
        QDate date;
        qint64 lateMs = 0;
    };
    static std::optional<SkippedStart> skippedStart(const QDateTime& before, const QDateTime& now,
                                                    int startSecond, int offsetSeconds);

    // A forward jump of the clock face larger than this, beyond the time that
    // really passed, is a change of the clock, not a slow tick.
    static constexpr qint64 kClockJumpMs = 1500;

private:
    void showProgress();
    void endHandling(bool logEnd, bool keepStartLocked);
    void logWaitingOnce(bool renewTray);
    void logEnd();
    bool firstAttempt(const QDate& date, int startSecond);
    // Logs the start, prepares the file and starts the encoder. False when the
    // program ended on the way (the encoder component is missing).
    bool startRecording(const QString& modeName, qint64 lateMs = 0);
    // Starts a recording whose start the clock jumped over, at once, for the
    // rest of its planned length. False when the program ended on the way.
    bool startLate(const QString& modeName, const SkippedStart& skipped, int startSecond);
    // How far the clock face moved beyond the real time since the last tick.
    qint64 clockJumpMs();
    // Runs one extra tick on the start second itself, so a recording starts
    // within milliseconds of it, not up to a tick interval later.
    void aimAtStart(int startSecond, int offsetSeconds);
    void reattachSourceView();

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    RecordingControl& m_control;
    RecordingGuard& m_guard;
    TimeFields& m_timeFields;
    std::function<void()> m_exitForm;
    // The start second (date and second of the day) of the last start attempt.
    // A recording is started at most once per start second ("1X") or per daily
    // window ("Napi"): a short recording that ends inside its own window must
    // not start again and overwrite its file under the same name.
    QDate m_attemptDate;
    int m_attemptSecond = -1;
    // The clock at the last tick, to tell a jump of the wall clock from time passing.
    QDateTime m_lastTickWall;
    qint64 m_lastTickMonotonicMs = 0;
    qint64 m_aimedAtFaceMs = -1;  // the start instant an extra tick is already set for
};

}  // namespace kelm
