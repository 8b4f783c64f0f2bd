#pragma once

#include "RecorderContext.h"
#include "recorder/EventLog.h"

#include <QMainWindow>
#include <memory>

namespace kelm {

class CaptureSources;
class Clock;
class Encoder;
class EncoderControl;
class EncoderFactory;
class LevelMeterPort;
class MenuStylingPort;
class MixerPort;
class MonitorPort;
class RecordingControl;
class Scheduler;
class SoundCardList;
class SplashPort;
class StateBinding;
class StatusLoop;
class Startup;
class TimeFields;
class TrayPort;
class VideoDeviceList;
struct MainForm;

// What the main window is built from: the clock, the encoder factory, the
// device lists, the message boxes, the way the process ends, and the shell
// windows. Tests hand in fakes; the program hands in the real ones.
struct MainWindowDeps {
    QString programDir;
    QStringList arguments;  // after the program name
    const Clock* clock = nullptr;
    EncoderFactory* encoderFactory = nullptr;
    VideoDeviceList* videoDevices = nullptr;
    SoundCardList* soundCards = nullptr;
    Messenger* messenger = nullptr;  // null: QtMessenger on this window
    ProcessControl* process = nullptr;
    std::unique_ptr<MonitorPort> monitor;
    std::unique_ptr<TrayPort> tray;
    std::unique_ptr<MixerPort> mixer;
    std::unique_ptr<LevelMeterPort> levelMeter;
    std::unique_ptr<SplashPort> splash;
    std::unique_ptr<MenuStylingPort> menuStyling;
};

// KELM's main window. It owns the shared state and the controls and wires the
// collaborators that do the work: start-up and shutdown, time fields, capture
// sources, encoder control, recording control, scheduler and status loop.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowDeps deps, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up sequence and starts the status tick.
    void start();

    MainForm& form() { return *m_form; }
    RecorderState& state() { return m_state; }
    EventLog& log() { return *m_log; }
    Encoder* encoder() const { return m_encoder.get(); }
    RecordingControl& recordingControl() { return *m_recordingControl; }
    Scheduler& scheduler() { return *m_scheduler; }
    StatusLoop& statusLoop() { return *m_statusLoop; }
    TimeFields& timeFields() { return *m_timeFields; }
    Startup& startup() { return *m_startup; }

    // Runs a toolbar button's command as a click does, then applies the
    // encoder preview state.
    void toolbarClick(Button key);
    void menuCommand(MenuItem key);
    // The log panel button: shows or hides the log box.
    void toggleLogPanel();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void wire();
    void applyPreviewState();
    void openMediaFolder();

    MainWindowDeps m_deps;
    RecorderState m_state;
    std::unique_ptr<Messenger> m_ownMessenger;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<MainForm> m_form;
    std::unique_ptr<Encoder> m_encoder;
    std::unique_ptr<RecorderContext> m_ctx;
    std::unique_ptr<StateBinding> m_stateBinding;
    std::unique_ptr<TimeFields> m_timeFields;
    std::unique_ptr<EncoderControl> m_encoderControl;
    std::unique_ptr<RecordingControl> m_recordingControl;
    std::unique_ptr<CaptureSources> m_capture;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<StatusLoop> m_statusLoop;
    std::unique_ptr<Startup> m_startup;
    enum class LogPanel { Shown, Hidden };
    LogPanel m_logPanel = LogPanel::Shown;
};

}  // namespace kelm
