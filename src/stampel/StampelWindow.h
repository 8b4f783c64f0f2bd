#pragma once

#include <QDate>
#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kelm {

class Clock;
class MessageSink;
class RecordingChooser;
class TimecodeRun;
struct TimecodeOutcome;

// Stampel's one window: the operator picks a recording, checks the channel
// name, start time, duration and start date, and presses Start to write the
// recording's timecode subtitle file beside it.
//
// The controls carry their purpose as object names (mediaFile,
// chooseRecording, fields, channelName, startTime, duration, startDate with
// their labels, startButton, progress, credit). The clock, the message sink
// and the chooser are borrowed and must outlive the window.
class StampelWindow final : public QWidget {
    Q_OBJECT
public:
    StampelWindow(const Clock& clock, MessageSink& messages, RecordingChooser& chooser,
                  QWidget* parent = nullptr);
    ~StampelWindow() override;

    // What choosing a file does: shows its path, keeps its name for
    // the final message and fills the fields from the name when it is one of
    // KELM's recording names (otherwise resets them), and clears the progress.
    void openRecording(const QString& path);

    bool isGenerating() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();

    void chooseRecording();  // the choose button
    void startGeneration();  // the start button
    void showProgress(qint32 entriesWritten, qint32 entriesTotal);
    void finishGeneration(const TimecodeOutcome& outcome);

    // The leaving checks of the time fields (start time, duration) and the date field.
    void leaveTimeField(QLineEdit* field);
    void leaveDateField();
    void refillWhenEmptied(QLineEdit* field, const QString& text);
    QString todayText() const;

    const Clock& m_clock;
    MessageSink& m_messages;
    RecordingChooser& m_chooser;
    TimecodeRun* m_run = nullptr;

    // The chosen recording: the dialog's full path, and its file name for the
    // final message.
    QString m_dialogFileName;
    QString m_mediaFileName;

    QLineEdit* m_mediaFile = nullptr;
    QPushButton* m_chooseButton = nullptr;
    QGroupBox* m_fields = nullptr;
    QLabel* m_channelLabel = nullptr;
    QLineEdit* m_channelName = nullptr;  // channel name
    QLabel* m_startTimeLabel = nullptr;
    QLineEdit* m_startTime = nullptr;  // start time of day
    QLabel* m_durationLabel = nullptr;
    QLineEdit* m_duration = nullptr;  // duration
    QLabel* m_startDateLabel = nullptr;
    QLineEdit* m_startDate = nullptr;  // start date
    QPushButton* m_startButton = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_credit = nullptr;
};

}  // namespace kelm
