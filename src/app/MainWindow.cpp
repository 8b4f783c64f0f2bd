#include "MainWindow.h"

#include "StallWatch.h"

#include "AboutWindow.h"
#include "AudioLines.h"
#include "CaptureSources.h"
#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "LevelMeters.h"
#include "LogPanel.h"
#include "MainForm.h"
#include "MenuPictures.h"
#include "MonitorControl.h"
#include "Pictures.h"
#include "PlayerWindows.h"
#include "PostProcessing.h"
#include "QtMessenger.h"
#include "RecordingControl.h"
#include "RecordingGuard.h"
#include "RetentionControl.h"
#include "Scheduler.h"
#include "SealControl.h"
#include "ServiceStatus.h"
#include "SettingsControl.h"
#include "ShellPorts.h"
#include "SignalAlarms.h"
#include "SplashControl.h"
#include "Startup.h"
#include "StateBinding.h"
#include "StatusBar.h"
#include "StatusLoop.h"
#include "SubtitleJobs.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "TrayControl.h"
#include "capture/Xtimer.h"
#include "encoder/Encoder.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/MediaStorage.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

namespace kelm {

namespace {
// Every back end is the caller's to choose (RealBackEnds, or a test's fakes);
// a missing one is a fault of the program that builds the window, told by
// name before anything runs on it.
void requireBackEnds(const MainWindowDeps& deps) {
    const std::pair<const char*, bool> parts[] = {
        {"clock", deps.clock != nullptr},
        {"encoderFactory", deps.encoderFactory != nullptr},
        {"videoDevices", deps.videoDevices != nullptr},
        {"soundCards", deps.soundCards != nullptr},
        {"soundMixers", deps.soundMixers != nullptr},
        {"levelCapture", deps.levelCapture != nullptr},
        {"timers", deps.timers != nullptr},
        {"process", deps.process != nullptr},
        {"storage", deps.storage != nullptr},
        {"serviceNotifier", deps.serviceNotifier != nullptr},
        {"startProgram", bool(deps.startProgram)},
        {"launcher", deps.launcher != nullptr},
        {"processes", deps.processes != nullptr},
        {"playerWindows", deps.playerWindows != nullptr},
    };
    for (const auto& [name, given] : parts) {
        if (!given) qFatal("MainWindowDeps: no %s was given", name);
    }
}
}  // namespace

MainWindow::MainWindow(MainWindowDeps deps, QWidget* parent)
    : QMainWindow(parent), m_deps(std::move(deps)) {
    requireBackEnds(m_deps);
    setObjectName(QStringLiteral("mainWindow"));
    m_state.programDir = m_deps.programDir;
    m_state.commandLine = CommandLine::parse(m_deps.arguments);
    m_log = std::make_unique<EventLog>(*m_deps.clock);
    createOwnParts();
    createContext();
    createRecorder();
    m_postProcessing = std::make_unique<PostProcessing>(
        *m_ctx, PostProcessing::Ports{*m_deps.launcher, *m_deps.processes, *m_deps.playerWindows},
        m_form->playPreview);
    // The subtitle job hears of a closed file first: the seal waits for it.
    m_guard->addFileObserver(&m_postProcessing->subtitleJobs());
    m_guard->addFileObserver(&m_postProcessing->seals());
    // A recording retention deletes is noted in the day's seal: deleted on purpose.
    m_retention->setDeletionObserver([this](const QString& path, const QDateTime& utc) {
        m_postProcessing->seals().fileDeleted(path, utc);
    });
    m_playPreview = [this] { m_postProcessing->playClicked(); };
    m_settings = std::make_unique<SettingsControl>(*this, *m_ctx);
    buildCommands();
    Toolbar& tb = *m_form->toolbar;
    m_state.arm.setObserver([&tb](Arm arm) { tb.showStartState(arm); });
    // The start field counts, and can be typed into, where the mode has a start time.
    m_state.mode.setObserver([this, &tb](RecordingMode mode) {
        tb.showMode(mode);
        m_timeFields->setStartEditable(mode != RecordingMode::Most);
    });
    wire();
    resize(760, LogPanel::kHeightShown);
}

void MainWindow::createOwnParts() {
    if (!m_deps.messenger) {
        m_ownMessenger = std::make_unique<QtMessenger>(this, [this](const QString& text) {
            // Without a display a message box only reaches the log, once: a
            // failure that was logged before its box was shown stays one line.
            const QString line = QString(text)
                                     .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                                     .replace(u'\r', u' ');
            if (!m_log->recentlyLogged(line)) m_log->logEvent(line);
        });
        m_deps.messenger = m_ownMessenger.get();
    }
    m_form = std::make_unique<MainForm>(this);
    m_statusBar = std::make_unique<StatusBar>(m_form->statusBar);
    m_logPanel = std::make_unique<LogPanel>(m_form->logPanel,
                                            [this](int height) { resize(width(), height); });
    m_schedulerTick.setInterval(200);
    setWindowIcon(Pictures::statusIcon(101));
    createShell();
}

void MainWindow::createContext() {
    m_timers = std::make_unique<XtimerTable>(*m_deps.timers);
    m_levelMeters = std::make_unique<LevelMeters>(m_form->levels, *m_deps.levelCapture, *m_timers);
    m_audioLines =
        std::make_unique<AudioLines>(m_form->sources, m_form->mixerLines, *m_deps.soundMixers,
                                     *m_deps.messenger, *m_levelMeters);
    MixerPort& mixer = m_deps.mixer ? *m_deps.mixer : static_cast<MixerPort&>(*m_audioLines);
    LevelMeterPort& levelMeter =
        m_deps.levelMeter ? *m_deps.levelMeter : static_cast<LevelMeterPort&>(*m_levelMeters);

    m_encoderRequests = std::make_unique<EncoderRequests>([this] { return m_encoder.get(); });
    m_folderProbe = std::make_unique<MediaFolderProbe>(*m_deps.storage, *m_deps.clock);
    m_ctx.reset(new RecorderContext{m_state, m_schedulerTick, *m_deps.clock, *m_log,
                                    *m_deps.messenger, *m_deps.process, *m_deps.monitor,
                                    *m_deps.tray, mixer, levelMeter, *m_deps.storage,
                                    [this] { return m_encoder.get(); }, *m_encoderRequests,
                                    *m_folderProbe, [this] { return windowTitle(); },
                                    [this](const QString& caption) { setWindowTitle(caption); }});
}

void MainWindow::createRecorder() {
    MainForm& f = *m_form;
    Toolbar& tb = *f.toolbar;
    m_timeFields = std::make_unique<TimeFields>(
        f.times.start, f.times.end, f.times.duration, *m_deps.clock,
        [this] { return m_state.mode.is(RecordingMode::Most); }, f.mixerLines.sourceVolume);
    m_stateBinding = std::make_unique<StateBinding>(*m_ctx, f.sources, *m_timeFields);
    m_encoderControl = std::make_unique<EncoderControl>(
        *m_ctx, EncoderControl::Parts{f.sources, *m_timeFields, *m_statusBar, tb});
    m_guard = std::make_unique<RecordingGuard>(*m_ctx, *m_encoderControl);
    m_retention = std::make_unique<RetentionControl>(*m_ctx, *m_statusBar);
    m_guard->setOutOfRoomHandler([this] { m_retention->spaceRunningOut(); });
    m_encoderControl->setStartedHandler([this] {
        m_guard->recordingStarted();
        m_retention->recordingStarted();
    });
    m_recordingControl = std::make_unique<RecordingControl>(
        *m_ctx, RecordingControl::Parts{*m_encoderControl, *m_stateBinding, *m_guard, tb, f.sources,
                                        *m_timeFields, *m_statusBar, f.playPreview});
    m_capture = std::make_unique<CaptureSources>(
        *m_ctx, CaptureSources::Parts{*m_encoderControl, *m_stateBinding, *m_deps.videoDevices,
                                      *m_deps.soundCards, *m_audioLines, f.sources, tb});
    m_startup = std::make_unique<Startup>(
        *m_ctx,
        Startup::Parts{*m_deps.encoderFactory, m_encoder, *m_deps.splash, *m_deps.menuStyling,
                       *m_capture, *m_stateBinding, *m_timeFields, *m_recordingControl, tb,
                       f.sources, f.zoom, *m_logPanel, f.playPreview,
                       [this](Button key) { toolbarClick(key); }, [this] { close(); },
                       [this] {
                           m_signalAlarms->recordingEnded();
                           m_guard->disarmed();
                           m_postProcessing->beforeExit();
                       }});
    m_scheduler = std::make_unique<Scheduler>(
        *m_ctx, Scheduler::Parts{*m_encoderControl, *m_recordingControl, *m_guard, *m_timeFields,
                                 *m_statusBar, f.sources, [this] {
                                     // A command-line recording ends KELM: its subtitle job
                                     // first.
                                     m_postProcessing->beforeExit();
                                     m_startup->exitForm();
                                 }});
    m_serviceStatus = std::make_unique<ServiceStatus>(*m_ctx, *m_deps.serviceNotifier);
    m_signalAlarms = std::make_unique<SignalAlarms>(SignalAlarms::Parts{
        *m_deps.clock, *m_log, [this] { return m_encoder.get(); }, *m_statusBar, f.sources});
    m_statusLoop = std::make_unique<StatusLoop>(
        *m_ctx, StatusLoop::Parts{*m_recordingControl, *m_timeFields, *m_statusBar,
                                  *m_serviceStatus, *m_signalAlarms, tb, f.mixerLines, f.zoom,
                                  [this](int icon) { setWindowIcon(Pictures::statusIcon(icon)); }});
}

MainWindow::~MainWindow() = default;

void MainWindow::wire() {
    MainForm& f = *m_form;
    connect(f.toolbar, &Toolbar::buttonClicked, this, [this](Button key) { toolbarClick(key); });
    connect(f.toolbar, &Toolbar::menuTriggered, this, [this](MenuItem key) { menuCommand(key); });
    connect(f.toolbar, &Toolbar::zoomTriggered, this, [this](ZoomMenu, int index) {
        if (m_monitorControl) m_monitorControl->zoomCommand(index);
    });
    connect(f.playPreview, &QPushButton::clicked, this,
            [this] { runCommand(Command::PlayPreview); });
    connect(&m_schedulerTick, &QTimer::timeout, this, [this] { m_scheduler->tick(); });
    // The status tick, the subtitle jobs' and the preview copy's timers are their owners'.
    connect(f.logPanel.toggle, &QPushButton::clicked, this, [this] { m_logPanel->toggle(); });

    const SourceLists& sources = f.sources;
    connect(sources.videoSource, &QComboBox::activated, this,
            [this] { m_capture->videoSourceSelected(); });
    connect(sources.videoInput, &QComboBox::activated, this,
            [this] { m_capture->videoInputSelected(); });
    connect(sources.audioSource, &QComboBox::activated, this,
            [this] { m_capture->audioSourceSelected(); });
    connect(sources.audioInput, &QComboBox::activated, this,
            [this] { m_capture->audioInputSelected(); });
    m_capture->wire();

    connect(m_log.get(), &EventLog::boxAppended, this,
            [this](const QString& text) { m_logPanel->append(text); });
    connect(m_log.get(), &EventLog::boxCleared, this, [this] { m_logPanel->clear(); });
}

void MainWindow::start() {
    m_stallWatch.start();
    m_startup->writeManifest(QStringLiteral("kelm"));
    m_statusLoop->start();
    m_postProcessing->seals().start();
    m_startup->run();
    if (m_deps.process->ended()) return;
    m_retention->start();
    m_serviceStatus->ready();
}

void MainWindow::createShell() {
    if (!m_deps.monitor) {
        auto monitor = std::make_unique<MonitorControl>(
            *this, *m_form->toolbar, m_form->zoom, m_state, [this] { return m_encoder.get(); });
        m_monitorControl = monitor.get();
        m_deps.monitor = std::move(monitor);
    }
    if (!m_deps.tray) {
        auto tray = std::make_unique<TrayControl>(*this, *m_form->toolbar,
                                                  [this] { return m_state.statusText; });
        m_trayControl = tray.get();
        m_deps.tray = std::move(tray);
    }
    if (!m_deps.splash)
        m_deps.splash = std::make_unique<SplashControl>(QStringLiteral(KELM_VERSION_TEXT));
    if (!m_deps.menuStyling) {
        const Toolbar& tb = *m_form->toolbar;
        QList<QMenu*> menus;
        for (Menu m :
             {Menu::mnuFile, Menu::mnuView, Menu::mnuControls, Menu::mnuFRM, Menu::mnuPopup})
            menus << tb.menu(m);
        m_deps.menuStyling = std::make_unique<MenuPictures>(menus);
    }
}

// The operation of every command; the command table binds the buttons and
// menu items to these.
void MainWindow::buildCommands() {
    Toolbar& tb = *m_form->toolbar;
    auto on = [this](Command c, std::function<void()> operation) {
        m_operations.at(size_t(c)) = std::move(operation);
    };
    on(Command::OpenMediaFolder, [this] { openMediaFolder(); });
    on(Command::MonitorOnOff,
       [this, &tb] { m_deps.monitor->applyMonitorButton(tb.isPressed(Button::btnMonitor)); });
    on(Command::MonitorMenu, [this] {
        if (m_monitorControl)
            m_monitorControl->monitorMenuCommand([this] { toolbarClick(Button::btnMonitor); });
    });
    on(Command::AutoAlign, [this] {
        if (m_monitorControl) m_monitorControl->autoAlignCommand();
    });
    on(Command::OnTop, [this] {
        if (m_monitorControl) m_monitorControl->onTopCommand();
    });
    on(Command::EncoderPreviewButton, [] {});  // the click's last step applies it
    on(Command::EncoderOutput, [this, &tb] {
        QAction* out = tb.menuItem(MenuItem::mnuOut);
        out->setChecked(!out->isChecked());
        tb.setPressed(Button::btnEncPreview, out->isChecked());
        applyPreviewState();
    });
    on(Command::OpenSettings, [this] { m_settings->openSettings(); });
    on(Command::ModeMost, [this] {
        m_state.mode.set(RecordingMode::Most);
        m_timeFields->durationLeave();
    });
    on(Command::ModeOnce, [this] {
        m_state.mode.set(RecordingMode::Once);
        m_timeFields->durationLeave();
        m_timeFields->endLeave();
    });
    on(Command::ModeDaily, [this] { m_state.mode.set(RecordingMode::Daily); });
    for (const auto& [command, button] : {std::pair{Command::MenuModeMost, Button::btnMost},
                                          std::pair{Command::MenuModeOnce, Button::btn1x},
                                          std::pair{Command::MenuModeDaily, Button::btnNapi}}) {
        on(command, [this, b = button] { toolbarClick(b); });
    }
    on(Command::toggleRecording, [this] { m_recordingControl->toggleRecording(); });
    on(Command::ShowAbout, [this] { showAbout(); });
    on(Command::ConfirmedExit, [this] { m_startup->confirmExit(); });
    on(Command::CloseWindow, [this] { close(); });
    on(Command::RestoreFromTray, [this] { m_ctx->tray.restoreFromTray(); });
    on(Command::PlayPreview, [this] {
        if (m_playPreview) m_playPreview();
    });
}

void MainWindow::runCommand(Command command) {
    // Toolbar buttons and menus take no focus: a time the operator has typed
    // counts before the command sees it.
    m_timeFields->commitFocusedEdit();
    m_operations.at(size_t(command))();
}

void MainWindow::toolbarClick(Button key) {
    const BusyScope busy("toolbar command");
    runCommand(commandOf(key));
    applyPreviewState();
}

void MainWindow::applyPreviewState() {
    Toolbar& tb = *m_form->toolbar;
    const bool show = tb.isPressed(Button::btnEncPreview);
    tb.menuItem(MenuItem::mnuOut)->setChecked(show);
    if (m_encoder && m_encoder->runState() == RunState::Running && m_state.previewWanted)
        m_deps.monitor->setEncoderViewRunning(show);
}

void MainWindow::menuCommand(MenuItem key) {
    const auto command = commandOf(key);
    if (!command) return;
    // Qt has already flipped a checkable item; the commands set the marks
    // themselves from the state before the click.
    if (QAction* item = m_form->toolbar->menuItem(key); item->isCheckable())
        item->setChecked(!item->isChecked());
    runCommand(*command);
}

void MainWindow::showAbout() {
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return;
    }
    m_about = new AboutWindow(QStringLiteral(KELM_VERSION_TEXT), windowTitle(), this);
    m_about->setWindowFlag(Qt::Window);
    const QRect main = frameGeometry();
    m_about->move(main.x() + 1300 / 15, main.y() + 100 / 15);  // 1300 and 100 twips
    m_about->show();
}

void MainWindow::openMediaFolder() {
    // The folder is one argument, never parsed by a shell: blanks and quotes
    // in its path need no quoting and can run nothing.
    const QString program = QStringLiteral("xdg-open");
    const QStringList arguments{m_state.settings.mediaDir};
    const bool started = m_deps.startProgram(program, arguments);
    if (!started)
        m_log->logEvent(QStringLiteral("A program nem indítható: ") + program + u' ' +
                        m_state.settings.mediaDir);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_trayControl)
        m_trayControl->windowStateChanged();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_startup->closeRequested())
        event->accept();
    else
        event->ignore();
}

}  // namespace kelm
