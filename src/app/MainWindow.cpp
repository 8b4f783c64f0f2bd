#include "MainWindow.h"

#include "StallWatch.h"

#include "AboutWindow.h"
#include "AudioLines.h"
#include "CaptureSources.h"
#include "EncoderControl.h"
#include "EncoderRequests.h"
#include "LevelMeters.h"
#include "MainForm.h"
#include "MenuPictures.h"
#include "MonitorControl.h"
#include "Pictures.h"
#include "PlayerWindows.h"
#include "PostProcessing.h"
#include "QtMessenger.h"
#include "RecordingControl.h"
#include "RecordingGuard.h"
#include "Scheduler.h"
#include "SettingsControl.h"
#include "ShellPorts.h"
#include "SplashControl.h"
#include "Startup.h"
#include "StateBinding.h"
#include "StatusLoop.h"
#include "SubtitleJobs.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "TrayControl.h"
#include "capture/Xtimer.h"
#include "encoder/Encoder.h"
#include "post/DetachedLauncher.h"
#include "post/ProcProcessTable.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/MediaStorage.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QProcess>
#include <QTextCursor>

namespace kelm {

namespace {
// Window heights with the log panel shown and hidden, from 6255 and 4315 twips.
constexpr int kHeightWithLog = 6255 / 15;
constexpr int kHeightWithoutLog = 4315 / 15;
}  // namespace

MainWindow::MainWindow(MainWindowDeps deps, QWidget* parent)
    : QMainWindow(parent), m_deps(std::move(deps)) {
    setObjectName(QStringLiteral("Form1"));
    m_state.programDir = m_deps.programDir;
    m_state.commandLine = CommandLine::parse(m_deps.arguments);
    m_log = std::make_unique<EventLog>(*m_deps.clock);
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
    if (!m_deps.storage) {
        m_ownStorage = std::make_unique<SystemMediaStorage>();
        m_deps.storage = m_ownStorage.get();
    }
    m_form = std::make_unique<MainForm>(this);
    setWindowIcon(Pictures::statusIcon(101));
    createShell();

    if (!m_deps.timers) {
        m_ownTimers = std::make_unique<QtTimerService>();
        m_deps.timers = m_ownTimers.get();
    }
    m_timers = std::make_unique<XtimerTable>(*m_deps.timers);
    m_levelMeters = std::make_unique<LevelMeters>(*m_form, *m_deps.levelCapture, *m_timers);
    m_audioLines = std::make_unique<AudioLines>(*m_form, *m_deps.soundMixers, *m_deps.messenger,
                                                *m_levelMeters);
    MixerPort& mixer = m_deps.mixer ? *m_deps.mixer : static_cast<MixerPort&>(*m_audioLines);
    LevelMeterPort& levelMeter =
        m_deps.levelMeter ? *m_deps.levelMeter : static_cast<LevelMeterPort&>(*m_levelMeters);

    m_encoderRequests = std::make_unique<EncoderRequests>([this] { return m_encoder.get(); });
    m_folderProbe = std::make_unique<MediaFolderProbe>(*m_deps.storage, *m_deps.clock);
    m_ctx.reset(new RecorderContext{m_state, *m_form, *m_deps.clock, *m_log, *m_deps.messenger,
                                    *m_deps.process, *m_deps.monitor, *m_deps.tray, mixer,
                                    levelMeter, *m_deps.storage, [this] { return m_encoder.get(); },
                                    *m_encoderRequests, *m_folderProbe,
                                    [this] { return windowTitle(); },
                                    [this](const QString& caption) { setWindowTitle(caption); }});

    m_stateBinding = std::make_unique<StateBinding>(*m_ctx);
    m_timeFields = std::make_unique<TimeFields>(
        m_form->txtStartTime, m_form->txtEnd, m_form->txtDuration, *m_deps.clock,
        [this] { return m_form->toolbar->isPressed(Button::btnMost); }, m_form->Slider1);
    m_encoderControl = std::make_unique<EncoderControl>(*m_ctx);
    m_guard = std::make_unique<RecordingGuard>(*m_ctx, *m_encoderControl);
    m_encoderControl->setStartedHandler([this] { m_guard->recordingStarted(); });
    m_recordingControl =
        std::make_unique<RecordingControl>(*m_ctx, *m_encoderControl, *m_stateBinding, *m_guard);
    m_capture =
        std::make_unique<CaptureSources>(*m_ctx, *m_encoderControl, *m_stateBinding,
                                         *m_deps.videoDevices, *m_deps.soundCards, *m_audioLines);
    m_startup = std::make_unique<Startup>(
        *m_ctx, Startup::Parts{*m_deps.encoderFactory, m_encoder, *m_deps.splash,
                               *m_deps.menuStyling, *m_capture, *m_stateBinding, *m_timeFields,
                               *m_recordingControl, [this](Button key) { toolbarClick(key); },
                               [this] {
                                   m_guard->disarmed();
                                   m_postProcessing->beforeExit();
                               }});
    m_scheduler = std::make_unique<Scheduler>(*m_ctx, *m_encoderControl, *m_recordingControl,
                                              *m_guard, *m_timeFields, [this] {
                                                  // A command-line recording ends KELM: its
                                                  // subtitle job first.
                                                  m_postProcessing->beforeExit();
                                                  m_startup->exitForm();
                                              });
    m_statusLoop = std::make_unique<StatusLoop>(*m_ctx, *m_recordingControl);
    if (!m_deps.launcher)
        m_deps.launcher = (m_ownLauncher = std::make_unique<DetachedLauncher>()).get();
    if (!m_deps.processes)
        m_deps.processes = (m_ownProcesses = std::make_unique<ProcProcessTable>()).get();
    if (!m_deps.playerWindows) m_deps.playerWindows = createPlayerWindows();
    m_postProcessing = std::make_unique<PostProcessing>(
        *m_ctx, PostProcessing::Ports{*m_deps.launcher, *m_deps.processes, *m_deps.playerWindows});
    m_guard->setFileObserver(&m_postProcessing->subtitleJobs());
    m_playPreview = [this] { m_postProcessing->cmdPlayClick(); };
    m_settings = std::make_unique<SettingsControl>(*this, *m_ctx);
    buildCommands();
    m_state.arm.setObserver([this](Arm arm) { m_form->toolbar->showStartState(arm); });
    wire();
    resize(760, kHeightWithLog);
}

MainWindow::~MainWindow() = default;

void MainWindow::wire() {
    MainForm& f = *m_form;
    connect(f.toolbar, &Toolbar::buttonClicked, this, [this](Button key) { toolbarClick(key); });
    connect(f.toolbar, &Toolbar::menuTriggered, this, [this](MenuItem key) { menuCommand(key); });
    connect(f.toolbar, &Toolbar::zoomTriggered, this, [this](ZoomMenu, int index) {
        if (m_monitorControl) m_monitorControl->zoomCommand(index);
    });
    connect(f.cmdPlay, &QPushButton::clicked, this, [this] { runCommand(Command::PlayPreview); });
    connect(f.Timer1, &QTimer::timeout, this, [this] { m_scheduler->tick(); });
    connect(f.Timer2, &QTimer::timeout, this, [this] { m_statusLoop->tick(); });
    // preStartSub, startSub, startPreviewSub, TimerCopy and the play button: PostProcessing.
    connect(f.Command5, &QPushButton::clicked, this, [this] { toggleLogPanel(); });

    connect(f.cboVideoSource, &QComboBox::activated, this,
            [this] { m_capture->videoSourceSelected(); });
    connect(f.cboVideoInput, &QComboBox::activated, this,
            [this] { m_capture->videoInputSelected(); });
    connect(f.cboAudioSource, &QComboBox::activated, this,
            [this] { m_capture->audioSourceSelected(); });
    connect(f.cboInput, &QComboBox::activated, this, [this] { m_capture->audioInputSelected(); });
    m_capture->wire();

    connect(m_log.get(), &EventLog::boxAppended, this, [this](const QString& text) {
        QPlainTextEdit* box = m_form->Text1;
        QTextCursor c = box->textCursor();
        c.movePosition(QTextCursor::End);
        box->setTextCursor(c);
        box->insertPlainText(QString(text).remove(u'\r'));
        box->ensureCursorVisible();
    });
    connect(m_log.get(), &EventLog::boxCleared, this, [this] { m_form->Text1->clear(); });
}

void MainWindow::start() {
    m_stallWatch.start();
    m_startup->writeManifest(QStringLiteral("kelm"));
    m_form->Timer2->start();
    m_startup->run();
}

void MainWindow::createShell() {
    if (!m_deps.monitor) {
        auto monitor = std::make_unique<MonitorControl>(*this, *m_form, m_state,
                                                        [this] { return m_encoder.get(); });
        m_monitorControl = monitor.get();
        m_deps.monitor = std::move(monitor);
    }
    if (!m_deps.tray) {
        auto tray = std::make_unique<TrayControl>(*this, *m_form);
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
    on(Command::ModeMost, [this, &tb] {
        tb.pressMode(Toolbar::Mode::Most);
        m_form->txtStartTime->setEnabled(false);
        m_timeFields->durationLeave();
    });
    on(Command::ModeOnce, [this, &tb] {
        tb.pressMode(Toolbar::Mode::Once);
        m_form->txtStartTime->setEnabled(true);
        m_timeFields->durationLeave();
        m_timeFields->endLeave();
    });
    on(Command::ModeDaily, [this, &tb] {
        tb.pressMode(Toolbar::Mode::Daily);
        m_form->txtStartTime->setEnabled(true);
    });
    for (const auto& [command, button] : {std::pair{Command::MenuModeMost, Button::btnMost},
                                          std::pair{Command::MenuModeOnce, Button::btn1x},
                                          std::pair{Command::MenuModeDaily, Button::btnNapi}}) {
        on(command, [this, &tb, b = button] {
            tb.setPressed(b, true);
            toolbarClick(b);
        });
    }
    on(Command::ToggleRecording, [this] { m_recordingControl->ToggleRecording(); });
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
    const bool started = m_deps.startProgram ? m_deps.startProgram(program, arguments)
                                             : QProcess::startDetached(program, arguments);
    if (!started)
        m_log->logEvent(QStringLiteral("A program nem indítható: ") + program + u' ' +
                        m_state.settings.mediaDir);
}

void MainWindow::toggleLogPanel() {
    MainForm& f = *m_form;
    // The panel's state lives here; the button's tool tip and picture only show it.
    m_logPanel = m_logPanel == LogPanel::Shown ? LogPanel::Hidden : LogPanel::Shown;
    if (m_logPanel == LogPanel::Hidden) {
        f.Command5->setToolTip(QStringLiteral("Eseménynapló lenyítása..."));
        f.Command5->setIcon(Pictures::icon(QStringLiteral("bitmap102")));
        f.Text1->hide();
        resize(width(), kHeightWithoutLog);
    } else {
        f.Command5->setToolTip(QStringLiteral("Eseménynapló bezárása..."));
        f.Command5->setIcon(Pictures::icon(QStringLiteral("bitmap103")));
        f.Text1->show();
        resize(width(), kHeightWithLog);
    }
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
