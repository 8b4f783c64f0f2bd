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
// The controls keep their names as object names (txtMedia, Command1, Frame1,
// Text1..Text4 with Label2..Label5, Command2, PrgBar1, Label1). The clock, the
// message sink and the chooser are borrowed and must outlive the window.
class StampelWindow final : public QWidget {
    Q_OBJECT
public:
    StampelWindow(const Clock& clock, MessageSink& messages, RecordingChooser& chooser,
                  QWidget* parent = nullptr);
    ~StampelWindow() override;

    // What Command1 does with a chosen file: shows its path, keeps its name for
    // the final message and fills the fields from the name when it is one of
    // KELM's recording names (otherwise resets them), and clears the progress.
    void openRecording(const QString& path);

    bool isGenerating() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void connectControls();

    void chooseRecording();  // Command1
    void startGeneration();  // Command2
    void showProgress(qint32 entriesWritten, qint32 entriesTotal);
    void finishGeneration(const TimecodeOutcome& outcome);

    // The leaving checks of the time fields (Text2, Text3) and the date field.
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

    QLineEdit* m_txtMedia = nullptr;
    QPushButton* m_command1 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLineEdit* m_text1 = nullptr;  // channel name
    QLabel* m_label3 = nullptr;
    QLineEdit* m_text2 = nullptr;  // start time of day
    QLabel* m_label4 = nullptr;
    QLineEdit* m_text3 = nullptr;  // duration
    QLabel* m_label5 = nullptr;
    QLineEdit* m_text4 = nullptr;  // start date
    QPushButton* m_command2 = nullptr;
    QProgressBar* m_prgBar1 = nullptr;
    QLabel* m_label1 = nullptr;
};

}  // namespace kelm
