#pragma once

#include "AboutWindow.h"
#include "PlayerWindows.h"
#include "RecorderContext.h"
#include "ShellPorts.h"
#include "StallWatch.h"
#include "recorder/EventLog.h"
#include "shell/CommandTable.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

namespace kelm {

class CaptureSources;
class Clock;
class Encoder;
class EncoderControl;
class EncoderRequests;
class MediaFolderProbe;
class EncoderFactory;
class AudioLines;
class LevelCapture;
class LevelMeterPort;
class LevelMeters;
class MenuStylingPort;
class MonitorControl;
class SettingsControl;
class TrayControl;
class MixerPort;
class MonitorPort;
class PostProcessing;
class ProcessTable;
class ProgramLauncher;
class RecordingControl;
class RecordingGuard;
class MediaStorage;
class RetentionControl;
class Scheduler;
class ServiceNotifier;
class ServiceStatus;
class SignalAlarms;
class SoundCardList;
class SoundMixerDevices;
class SplashPort;
class StateBinding;
class StatusBar;
class LogPanel;
class StatusLoop;
class Startup;
class TimeFields;
class TimerService;
class TrayPort;
class VideoDeviceList;
class XtimerTable;
struct MainForm;

// What the main window is built from: the clock, the encoder factory, the
// device lists, the machine's parts (RealBackEnds and SystemParts fill
// these), the way the process ends, and the shell windows. Every back end is
// required; tests hand in fakes. A shell port left empty gets the window's
// own: its monitor, tray, splash, menu pictures, message boxes, mixer lines
// and level meters.
struct MainWindowDeps {
    QString programDir;
    QStringList arguments;  // after the program name
    const Clock* clock = nullptr;
    EncoderFactory* encoderFactory = nullptr;
    VideoDeviceList* videoDevices = nullptr;
    SoundCardList* soundCards = nullptr;
    SoundMixerDevices* soundMixers = nullptr;  // the cards' mixers
    LevelCapture* levelCapture = nullptr;      // the level meters' capture
    TimerService* timers = nullptr;            // the level meters' 40 ms timer
    Messenger* messenger = nullptr;            // null: QtMessenger on this window
    ProcessControl* process = nullptr;
    MediaStorage* storage = nullptr;             // the media folder's file system
    ServiceNotifier* serviceNotifier = nullptr;  // the service manager that started KELM
    // Starts an outside program detached (the file browser).
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    std::unique_ptr<MonitorPort> monitor;
    std::unique_ptr<TrayPort> tray;
    // Null: the window's own mixer lines and level meters on the devices above.
    std::unique_ptr<MixerPort> mixer;
    std::unique_ptr<LevelMeterPort> levelMeter;
    std::unique_ptr<SplashPort> splash;
    std::unique_ptr<MenuStylingPort> menuStyling;
    // Post-processing's outside programs and the previous player's window.
    ProgramLauncher* launcher = nullptr;
    ProcessTable* processes = nullptr;
    std::unique_ptr<PlayerWindows> playerWindows;
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
    MediaFolderProbe& folderProbe() { return *m_folderProbe; }
    EncoderControl& encoderControl() { return *m_encoderControl; }
    const StallWatch& stallWatch() const { return m_stallWatch; }
    StatusLoop& statusLoop() { return *m_statusLoop; }
    RetentionControl& retention() { return *m_retention; }
    StatusBar& statusBar() { return *m_statusBar; }
    SignalAlarms& signalAlarms() { return *m_signalAlarms; }
    LogPanel& logPanel() { return *m_logPanel; }
    const QTimer& schedulerTick() const { return m_schedulerTick; }
    TimeFields& timeFields() { return *m_timeFields; }
    Startup& startup() { return *m_startup; }
    CaptureSources& captureSources() { return *m_capture; }
    AudioLines& audioLines() { return *m_audioLines; }
    LevelMeters& levelMeters() { return *m_levelMeters; }
    PostProcessing& postProcessing() { return *m_postProcessing; }

    // Runs a toolbar button's command as a click does, then applies the
    // encoder preview state.
    void toolbarClick(Button key);
    void menuCommand(MenuItem key);
    // Runs one command of the table (CommandTable.h).
    void runCommand(Command command);
    // The operation of the preview play button, set by the preview chain's owner.
    void setPlayPreviewHandler(std::function<void()> handler) {
        m_playPreview = std::move(handler);
    }

    // The real shell windows' controls; null where a test handed in a fake port.
    MonitorControl* monitorControl() const { return m_monitorControl; }
    TrayControl* trayControl() const { return m_trayControl; }
    SettingsControl& settingsControl() { return *m_settings; }
    AboutWindow* aboutWindow() const { return m_about; }
    void showAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The window's own parts: message boxes, form, status bar, log panel, shell.
    void createOwnParts();
    // The level meters, the mixer lines and the context the collaborators share.
    void createContext();
    // The recorder's collaborators, from the time fields to the status loop.
    void createRecorder();
    void createShell();
    void buildCommands();
    void wire();
    void applyPreviewState();
    void openMediaFolder();

    MainWindowDeps m_deps;
    RecorderState m_state;
    std::unique_ptr<Messenger> m_ownMessenger;
    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<MainForm> m_form;
    std::unique_ptr<StatusBar> m_statusBar;
    std::unique_ptr<LogPanel> m_logPanel;
    QTimer m_schedulerTick;  // runs while a recording is armed
    std::unique_ptr<XtimerTable> m_timers;
    std::unique_ptr<LevelMeters> m_levelMeters;
    std::unique_ptr<AudioLines> m_audioLines;
    std::unique_ptr<Encoder> m_encoder;
    std::unique_ptr<EncoderRequests> m_encoderRequests;
    std::unique_ptr<MediaFolderProbe> m_folderProbe;
    StallWatch m_stallWatch;
    std::unique_ptr<RecorderContext> m_ctx;
    std::unique_ptr<StateBinding> m_stateBinding;
    std::unique_ptr<TimeFields> m_timeFields;
    std::unique_ptr<EncoderControl> m_encoderControl;
    std::unique_ptr<RecordingGuard> m_guard;
    std::unique_ptr<RecordingControl> m_recordingControl;
    std::unique_ptr<CaptureSources> m_capture;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<RetentionControl> m_retention;
    std::unique_ptr<ServiceStatus> m_serviceStatus;
    std::unique_ptr<SignalAlarms> m_signalAlarms;
    std::unique_ptr<StatusLoop> m_statusLoop;
    std::unique_ptr<Startup> m_startup;
    std::unique_ptr<PostProcessing> m_postProcessing;
    MonitorControl* m_monitorControl = nullptr;  // owned by m_deps.monitor
    TrayControl* m_trayControl = nullptr;        // owned by m_deps.tray
    std::unique_ptr<SettingsControl> m_settings;
    QPointer<AboutWindow> m_about;
    std::array<std::function<void()>, kCommandCount> m_operations;
    std::function<void()> m_playPreview;
};

}  // namespace kelm
