#include "Startup.h"

#include "StallWatch.h"

#include "CaptureSources.h"
#include "FormParts.h"
#include "LogPanel.h"
#include "Messenger.h"
#include "Pictures.h"
#include "RecordingControl.h"
#include "ShellPorts.h"
#include "StateBinding.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "recorder/EventLog.h"
#include "recorder/LastState.h"
#include "recorder/MediaStorage.h"
#include "recorder/RegionalFormat.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

namespace kelm {

namespace {

// How long the end of the program waits for a recording's file to be finished.
constexpr int kExitFinishMs = 10000;

const QString kComponentMissing =
    QStringLiteral("Windows Media Encoder nincs telepítve! A program kilép.");

const char kManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"X86\" "
    "name=\"MyCompany.MyApp.MyApp\" "
    "type=\"win32\"/>\r\n"
    "<description></description>\r\n"
    "<dependency>\r\n"
    "<dependentAssembly>\r\n"
    "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
    "version=\"6.0.0.0\" "
    "processorArchitecture=\"X86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
    "</dependentAssembly>\r\n"
    "</dependency>\r\n"
    "</assembly>\r\n";

}  // namespace

void Startup::writeManifest(const QString& executableName) {
    const QString path =
        QDir(m_ctx.state.programDir).filePath(executableName + QStringLiteral(".exe.manifest"));
    if (QFileInfo::exists(path)) return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(kManifest);  // a failure here changes nothing for KELM
}

QString Startup::missingfile() const {
    QString result;
    const Settings& s = m_ctx.state.settings;
    if (!QFileInfo::exists(s.encVideo)) result += QStringLiteral("\r\n") + s.encVideo;
    if (!QFileInfo::exists(s.fileMPlayer)) result += QStringLiteral("\r\n") + s.fileMPlayer;
    return result;
}

void Startup::run() {
    const BusyScope busy("start-up");
    pass(0);
}

bool Startup::pass(int depth) {
    RecorderState& s = m_ctx.state;
    Toolbar& tb = m_parts.toolbar;
    SourceLists& sources = m_parts.sources;
    QStringList deferred;  // problems met before the log file is open

    m_parts.splash.showSplash();
    m_parts.menuStyling.install();

    EncoderStatus created;
    m_parts.encoder = m_parts.encoderFactory.create(&created);
    if (!m_parts.encoder) {
        m_ctx.messenger.show(kComponentMissing, Messenger::Icon::Critical);
        m_ctx.log.appendToBox(QStringLiteral("A ") + kComponentMissing + QStringLiteral("\r\n"));
        m_ctx.process.endProcess(1);
        return false;
    }
    m_parts.encoder->resetSourceGroup();
    m_parts.encoder->setOutputFileName(QString());

    s.iniFile = QStringLiteral("kelm.ini");
    m_parts.playPreview->setIcon(Pictures::icon(QStringLiteral("bitmap101")));
    s.nextStartWarning = false;
    s.previewWanted = true;

    if (!s.commandLine.isEmpty() && !s.commandLine.text.contains(QStringLiteral("/p"))) {
        s.previewWanted = false;
        for (const Button key : {Button::btnMonitor, Button::btnEncAutoMove, Button::btnEncMonOntop,
                                 Button::btnEncPreview})
            tb.setEnabled(key, false);
        for (const MenuItem key : {MenuItem::mnuMonitorWindow, MenuItem::mnuAutoGo,
                                   MenuItem::mnuOnTop, MenuItem::mnuOut})
            tb.menuItem(key)->setEnabled(false);
        tb.menu(Menu::mnuZoom)->menuAction()->setEnabled(false);
        m_ctx.monitor.stopFollowTimer();
    }

    const SettingsLoad settings = SettingsFile::readOrCreate(s.programDir);
    s.settings = settings.settings;
    deferred << settings.warnings;
    if (settings.outcome == SettingsLoad::Outcome::Unreadable)
        deferred << QStringLiteral("A beállítások nem olvashatók, az alapértékek érvényesek: ") +
                        s.iniFile;
    if (settings.outcome == SettingsLoad::Outcome::NotWritable)
        deferred << QStringLiteral("A beállítások nem menthetők: ") + s.iniFile;
    const QString missing = missingfile();
    if (!missing.isEmpty())
        m_ctx.messenger.show(QStringLiteral("Hiányzó fájl(ok):") + u'\r' + missing);

    if (!m_ctx.storage.createFolder(s.settings.mediaDir))
        deferred << QStringLiteral("A media mappa nem hozható létre: ") + s.settings.mediaDir;
    m_ctx.setCaption(s.settings.channelName);

    const QDateTime now = m_ctx.clock.now();
    s.todayStamp = RegionalFormat::todayStamp(now.date());
    const QString logDir = QDir(s.programDir).filePath(QStringLiteral("Log"));
    if (!QFileInfo(logDir).isDir() && !QDir().mkdir(logDir))
        deferred << QStringLiteral("A napló mappa nem hozható létre: ") + logDir;
    const qint64 pid = QCoreApplication::applicationPid();
    if (!m_ctx.log.open(logDir, s.settings.channelShortName, s.todayStamp, pid))
        deferred << QStringLiteral("A napló fájl nem nyitható meg, a sorok csak itt látszanak: ") +
                        logDir;

    s.statePath = LastState::path(s.programDir, s.settings.channelShortName);

    bool recursed = false;
    if (!QFileInfo::exists(s.statePath)) {
        m_parts.stateBinding.saveState();
        if (depth == 0 && QFileInfo::exists(s.statePath)) {
            // The second pass finds the state file and does the whole sequence.
            pass(depth + 1);
            if (m_ctx.process.ended()) return false;
            recursed = true;
        }
    }

    // Without a state file (a folder that cannot be written) KELM still comes
    // up: nothing is restored, and the log says why.
    if (!recursed) {
        m_ctx.log.writeStartupHeader(pid, s.settings.channelShortName);
        for (const QString& line : deferred) m_ctx.log.logEvent(line);

        m_parts.capture.fillTunerLists();
        if (!m_parts.capture.listSoundCards() && sources.audioSource->count() == 0) {
            m_ctx.messenger.show(QStringLiteral("Nincs hangkártya telepítve!"),
                                 Messenger::Icon::Critical);
            m_exitCode = 1;
            m_parts.closeWindow();
            return false;
        }
        m_parts.stateBinding.restoreAudioAndTimes([this] { m_parts.capture.audioSourceSelected(); },
                                                  [this] { m_parts.capture.audioInputSelected(); });
        if (!m_parts.capture.listVideoDevices()) {
            m_ctx.messenger.show(QStringLiteral("Nincs telepítve TV tunerkártya!"),
                                 Messenger::Icon::Warning);
            setListText(sources.videoSource, QString(), nullptr);
        }
        m_parts.stateBinding.restoreStateLine(LastState::VideoSource, sources.videoSource,
                                              [this] { m_parts.capture.videoSourceSelected(); });
        m_parts.capture.videoSourceSelected();
    }

    // After the second pass has started a command-line recording, this pass
    // must neither switch the mode nor run the start/stop control again: that
    // would stop the recording it has just started.
    const bool alreadyRecording = recursed && s.arm.isArmed();
    if (!alreadyRecording) {
        m_parts.timeFields.startLeave();

        m_ctx.monitor.applyMonitorButton(tb.isPressed(Button::btnMonitor) && s.previewWanted);
        m_parts.zoom.text->setText(QStringLiteral("1 X"));
        m_parts.zoom.bar->setRange(0, 4);
        m_parts.zoom.bar->setInvertedAppearance(true);
        m_parts.zoom.bar->setValue(1);
        m_parts.toolbarClick(Button::btnNapi);
        m_parts.logPanel.showButton();

        if (!s.commandLine.isEmpty()) {
            const auto duration = s.commandLine.duration();
            if (!duration) {
                m_ctx.log.logEvent(QStringLiteral("Hibás felvételi idő a parancssorban: ") +
                                   s.commandLine.rawDuration);
                endUnattendedRun();
                return false;  // nothing is recorded; the splash stays
            }
            m_parts.timeFields.setTexts(std::nullopt, std::nullopt, *duration);
            m_parts.timeFields.setStartEditable(false);
            m_parts.timeFields.durationLeave();
            s.mode.set(RecordingMode::Most);
            m_ctx.log.logEvent(QStringLiteral("Paraméteres indítás: ") + *duration);
            m_parts.recordingControl.toggleRecording();
            if (s.arm.isIdle()) endUnattendedRun();  // refused: nothing is armed
        }
    }
    m_parts.splash.unloadSplash();
    return true;
}

void Startup::exitForm() {
    m_ctx.mixer.close();
    if (m_ctx.levelMeter.isOpen()) m_ctx.levelMeter.stop();
}

void Startup::finishExit(bool testStatePath) {
    RecorderState& s = m_ctx.state;
    if (Encoder* encoder = m_ctx.encoder(); encoder && encoder->runState() != RunState::Stopped) {
        // The file is finished before the program ends, unless its disk no
        // longer answers: then the log says so, and the file can be repaired.
        if (!encoder->stopBeforeExit(kExitFinishMs))
            m_ctx.log.logEvent(QStringLiteral("A felvétel fájlja nem zárult le %1 mp alatt: %2")
                                   .arg(kExitFinishMs / 1000)
                                   .arg(encoder->outputFileName()));
    }
    if (m_parts.recordingEndsWithKelm) m_parts.recordingEndsWithKelm();
    exitForm();
    if (!testStatePath || !s.statePath.isEmpty()) {
        m_ctx.log.logEvent(QStringLiteral("Esemény napló kiírása. Program befejezése."));
        s.statePath = LastState::path(s.programDir, s.settings.channelShortName);
        m_ctx.log.logEvent(QStringLiteral("Beállítások mentése: ") + s.statePath);
        m_parts.stateBinding.saveState();
        m_ctx.log.close();
    }
    m_ctx.process.endProcess(m_exitCode);
}

void Startup::endUnattendedRun() {
    // With a display the operator sees the window and decides; without one a
    // command-line run that records nothing must not wait forever.
    if (m_ctx.messenger.canAsk() || m_ctx.process.ended()) return;
    m_exitCode = 1;
    finishExit(false);
}

bool Startup::closeRequested() {
    if (m_ctx.process.ended()) return true;
    if (m_parts.menuStyling.isActive()) m_parts.menuStyling.detach();
    if (m_ctx.tray.isAdded()) m_ctx.tray.restoreFromTray();
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.sendToBack();
    const auto answer =
        m_ctx.messenger.ask(QStringLiteral("Valóban ki akar lépni?"), Messenger::Buttons::YesNo,
                            Messenger::Icon::Question, Messenger::Answer::Yes);
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.reapplyOnTop();
    if (answer != Messenger::Answer::Yes) return false;
    finishExit(true);
    return true;
}

void Startup::confirmExit() {
    if (m_ctx.monitor.isVisible()) m_ctx.monitor.sendToBack();
    const auto answer =
        m_ctx.messenger.ask(QStringLiteral("Valóban ki akar lépni?"), Messenger::Buttons::YesNo,
                            Messenger::Icon::Question, Messenger::Answer::Yes);
    if (answer != Messenger::Answer::Yes) {
        if (m_ctx.monitor.isVisible()) m_ctx.monitor.reapplyOnTop();
        return;
    }
    finishExit(false);
}

void Startup::terminate() {
    if (m_ctx.process.ended()) return;
    m_ctx.log.logEvent(QStringLiteral("Leállítási kérés a rendszertől."));
    finishExit(false);
}

}  // namespace kelm
