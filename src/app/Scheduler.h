#pragma once

#include "RecorderContext.h"

#include <QDate>

namespace kelm {

class EncoderControl;
class RecordingControl;
class TimeFields;

// The scheduler tick (Timer1, every 200 ms while a recording is armed): shows
// the progress of a running recording, starts "1X" recordings at their start
// second and "Napi" recordings inside the 10-second window after it, notices
// the end of every recording, and ends the program after a command-line
// recording. It never stops a recording: the encoder ends it at its length.
class Scheduler final {
public:
    Scheduler(RecorderContext& context, EncoderControl& encoderControl,
              RecordingControl& recordingControl, TimeFields& timeFields,
              std::function<void()> exitForm)
        : m_ctx(context),
          m_encoder(encoderControl),
          m_control(recordingControl),
          m_timeFields(timeFields),
          m_exitForm(std::move(exitForm)) {}

    void tick();

    // The daily start window: 1 to 10 seconds after the start second.
    static bool insideDailyWindow(int startSecond, int nowSecond) {
        return startSecond < nowSecond && nowSecond - 1 - startSecond < 10;
    }

private:
    void showProgress();
    void endHandling(bool logEnd, bool keepStartLocked);
    void logWaitingOnce(bool renewTray);
    void logEnd();
    bool firstAttempt(const QDate& date, int startSecond);
    // Logs the start, prepares the file and starts the encoder. False when the
    // program ended on the way (the encoder component is missing).
    bool startRecording(const QString& modeName);
    void reattachSourceView();

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    RecordingControl& m_control;
    TimeFields& m_timeFields;
    std::function<void()> m_exitForm;
    // The start second (date and second of the day) of the last start attempt.
    // A recording is started at most once per start second ("1X") or per daily
    // window ("Napi"): a short recording that ends inside its own window must
    // not start again and overwrite its file under the same name.
    QDate m_attemptDate;
    int m_attemptSecond = -1;
};

}  // namespace kelm
