#include "MainWindow.h"

#include "AudioLines.h"
#include "CaptureSources.h"
#include "EncoderControl.h"
#include "LevelMeters.h"
#include "MainForm.h"
#include "Pictures.h"
#include "PlayerWindows.h"
#include "PostProcessing.h"
#include "QtMessenger.h"
#include "RecordingControl.h"
#include "RecordingGuard.h"
#include "Scheduler.h"
#include "ShellPorts.h"
#include "Startup.h"
#include "StateBinding.h"
#include "StatusLoop.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "capture/Xtimer.h"
#include "encoder/Encoder.h"
#include "post/DetachedLauncher.h"
#include "post/ProcProcessTable.h"
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
            // Without a display a message box only reaches the log.
            m_log->logEvent(QString(text)
                                .replace(QStringLiteral("\r\n"), QStringLiteral(" "))
                                .replace(u'\r', u' '));
        });
        m_deps.messenger = m_ownMessenger.get();
    }
    if (!m_deps.storage) {
        m_ownStorage = std::make_unique<SystemMediaStorage>();
        m_deps.storage = m_ownStorage.get();
    }
    m_form = std::make_unique<MainForm>(this);
    setWindowIcon(Pictures::statusIcon(101));

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

    m_ctx.reset(new RecorderContext{m_state, *m_form, *m_deps.clock, *m_log, *m_deps.messenger,
                                    *m_deps.process, *m_deps.monitor, *m_deps.tray, mixer,
                                    levelMeter, *m_deps.storage, [this] { return m_encoder.get(); },
                                    [this] { return windowTitle(); },
                                    [this](const QString& caption) { setWindowTitle(caption); },
                                    [this] { return isMinimized(); }});

    m_stateBinding = std::make_unique<StateBinding>(*m_ctx);
    m_timeFields = std::make_unique<TimeFields>(
        m_form->txtStartTime, m_form->txtEnd, m_form->txtDuration, *m_deps.clock,
        [this] { return m_form->toolbar->isPressed(QStringLiteral("btnMost")); }, m_form->Slider1);
    m_encoderControl = std::make_unique<EncoderControl>(*m_ctx);
    m_guard = std::make_unique<RecordingGuard>(*m_ctx, *m_encoderControl, *m_deps.storage);
    m_encoderControl->setStartedHandler([this] { m_guard->recordingStarted(); });
    m_recordingControl =
        std::make_unique<RecordingControl>(*m_ctx, *m_encoderControl, *m_stateBinding, *m_guard);
    m_capture =
        std::make_unique<CaptureSources>(*m_ctx, *m_encoderControl, *m_stateBinding,
                                         *m_deps.videoDevices, *m_deps.soundCards, *m_audioLines);
    m_startup = std::make_unique<Startup>(
        *m_ctx,
        Startup::Parts{*m_deps.encoderFactory, m_encoder, *m_deps.splash, *m_deps.menuStyling,
                       *m_capture, *m_stateBinding, *m_timeFields, *m_recordingControl,
                       [this](const QString& key) { toolbarClick(key); }});
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
    wire();
    resize(760, kHeightWithLog);
}

MainWindow::~MainWindow() = default;

void MainWindow::wire() {
    MainForm& f = *m_form;
    connect(f.toolbar, &Toolbar::buttonClicked, this,
            [this](const QString& key) { toolbarClick(key); });
    connect(f.toolbar, &Toolbar::menuTriggered, this,
            [this](const QString& key) { menuCommand(key); });
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
    m_startup->writeManifest(QStringLiteral("kelm"));
    m_form->Timer2->start();
    m_startup->run();
}

void MainWindow::toolbarClick(const QString& key) {
    Toolbar& tb = *m_form->toolbar;
    // Toolbar buttons take no focus: a typed time counts before the command sees it.
    m_timeFields->commitFocusedEdit();
    if (key == u"btnMost") {
        tb.pressMode(Toolbar::Mode::Most);
        m_form->txtStartTime->setEnabled(false);
        m_timeFields->durationLeave();
    } else if (key == u"btn1x") {
        tb.pressMode(Toolbar::Mode::Once);
        m_form->txtStartTime->setEnabled(true);
        m_timeFields->durationLeave();
        m_timeFields->endLeave();
    } else if (key == u"btnNapi") {
        tb.pressMode(Toolbar::Mode::Daily);
        m_form->txtStartTime->setEnabled(true);
    } else if (key == u"btnEncStart") {
        m_recordingControl->ToggleRecording();
    } else if (key == u"btnExit") {
        m_startup->confirmExit();
    } else if (key == u"btnMedia") {
        openMediaFolder();
    } else if (key == u"btnMonitor") {
        m_deps.monitor->applyMonitorButton(tb.isPressed(key) && m_state.previewWanted);
    }
    applyPreviewState();
}

void MainWindow::applyPreviewState() {
    Toolbar& tb = *m_form->toolbar;
    const bool show = tb.isPressed(QStringLiteral("btnEncPreview"));
    tb.menuItem(QStringLiteral("mnuOut"))->setChecked(show);
    if (m_encoder && m_encoder->runState() == RunState::Running && m_state.previewWanted)
        m_deps.monitor->setEncoderViewRunning(show);
}

void MainWindow::menuCommand(const QString& key) {
    Toolbar& tb = *m_form->toolbar;
    m_timeFields->commitFocusedEdit();
    if (key == u"mnuMost" || key == u"mnu1X" || key == u"mnuNapi") {
        const QString button = key == u"mnuMost" ? QStringLiteral("btnMost")
                               : key == u"mnu1X" ? QStringLiteral("btn1x")
                                                 : QStringLiteral("btnNapi");
        tb.setPressed(button, true);
        toolbarClick(button);
    } else if (key == u"mnuStart") {
        m_recordingControl->ToggleRecording();
    } else if (key == u"mnuExit" || key == u"mnuFRMExit") {
        close();
    } else if (key == u"mnuMediaPath") {
        openMediaFolder();
    }
}

void MainWindow::openMediaFolder() {
    // The folder is one argument, never parsed by a shell.
    QProcess::startDetached(QStringLiteral("xdg-open"), {m_state.settings.mediaDir});
}

void MainWindow::toggleLogPanel() {
    MainForm& f = *m_form;
    if (f.Command5->toolTip() == u"Eseménynapló bezárása...") {
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

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_startup->closeRequested())
        event->accept();
    else
        event->ignore();
}

}  // namespace kelm
