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
#include "encoder/FailureText.h"
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
    if (openingSteps() == Step::Stop) return;
    // A first run has just written the state file from the window's defaults.
    // It opens once more, as KELM's first start always has: the second opening
    // reads back the settings file the first one wrote, makes the encoder
    // afresh and shows its boxes again. The restore and the finishing steps
    // run once.
    const bool firstRun = m_stateFileWritten;
    if (firstRun && openingSteps() == Step::Stop) return;
    // Without a sound card the operator may stay: a later start then leaves
    // the window as far as it came, a first run still makes it ready.
    if (restoringSteps() == Step::Stop && (!firstRun || m_ctx.process.ended())) return;
    finishingSteps();
}

Startup::Step Startup::runSteps(std::initializer_list<StepFunction> steps) {
    for (const StepFunction step : steps)
        if ((this->*step)() == Step::Stop) return Step::Stop;
    return Step::Next;
}

Startup::Step Startup::openingSteps() {
    m_deferred.clear();  // a second opening meets every problem again
    return runSteps({&Startup::showSplash, &Startup::styleMenus, &Startup::createEncoder,
                     &Startup::setStartValues, &Startup::limitCommandLineRun,
                     &Startup::readSettings, &Startup::prepareMediaFolder,
                     &Startup::showChannelName, &Startup::openLog,
                     &Startup::writeMissingStateFile});
}

// Without a state file (a folder that cannot be written) KELM still comes up:
// nothing is restored, and the log says why.
Startup::Step Startup::restoringSteps() {
    return runSteps({&Startup::writeLogHeader, &Startup::fillTunerLists, &Startup::listSoundCards,
                     &Startup::restoreAudioAndTimes, &Startup::listVideoDevices,
                     &Startup::restoreVideoSource});
}

Startup::Step Startup::finishingSteps() {
    return runSteps({&Startup::checkStartTime, &Startup::showMonitor, &Startup::resetZoom,
                     &Startup::selectDailyMode, &Startup::showLogPanelButton,
                     &Startup::startCommandLineRecording, &Startup::unloadSplash});
}

Startup::Step Startup::showSplash() {
    m_parts.splash.showSplash();
    return Step::Next;
}

Startup::Step Startup::styleMenus() {
    m_parts.menuStyling.install();
    return Step::Next;
}

Startup::Step Startup::createEncoder() {
    EncoderStatus created;
    m_parts.encoder = m_parts.encoderFactory.create(&created);
    if (!m_parts.encoder) {
        m_ctx.messenger.show(FailureText::kEncoderMissing, Messenger::Icon::Critical);
        m_ctx.log.appendToBox(QStringLiteral("A ") + FailureText::kEncoderMissing +
                              QStringLiteral("\r\n"));
        m_ctx.process.endProcess(1);
        return Step::Stop;
    }
    m_parts.encoder->resetSourceGroup();
    m_parts.encoder->setOutputFileName(QString());
    return Step::Next;
}

Startup::Step Startup::setStartValues() {
    RecorderState& s = m_ctx.state;
    s.iniFile = QStringLiteral("kelm.ini");
    m_parts.playPreview->setIcon(Pictures::icon(QStringLiteral("bitmap101")));
    s.nextStartWarning = false;
    s.previewWanted = true;
    return Step::Next;
}

Startup::Step Startup::limitCommandLineRun() {
    RecorderState& s = m_ctx.state;
    if (s.commandLine.isEmpty() || s.commandLine.text.contains(QStringLiteral("/p")))
        return Step::Next;
    Toolbar& tb = m_parts.toolbar;
    s.previewWanted = false;
    for (const Button key : {Button::btnMonitor, Button::btnEncAutoMove, Button::btnEncMonOntop,
                             Button::btnEncPreview})
        tb.setEnabled(key, false);
    for (const MenuItem key :
         {MenuItem::mnuMonitorWindow, MenuItem::mnuAutoGo, MenuItem::mnuOnTop, MenuItem::mnuOut})
        tb.menuItem(key)->setEnabled(false);
    tb.menu(Menu::mnuZoom)->menuAction()->setEnabled(false);
    m_ctx.monitor.stopFollowTimer();
    return Step::Next;
}

Startup::Step Startup::readSettings() {
    RecorderState& s = m_ctx.state;
    const SettingsLoad settings = SettingsFile::readOrCreate(s.programDir);
    s.settings = settings.settings;
    m_deferred << settings.warnings;
    if (settings.outcome == SettingsLoad::Outcome::Unreadable)
        m_deferred << QStringLiteral("A beállítások nem olvashatók, az alapértékek érvényesek: ") +
                          s.iniFile;
    if (settings.outcome == SettingsLoad::Outcome::NotWritable)
        m_deferred << QStringLiteral("A beállítások nem menthetők: ") + s.iniFile;
    const QString missing = missingfile();
    if (!missing.isEmpty())
        m_ctx.messenger.show(QStringLiteral("Hiányzó fájl(ok):") + u'\r' + missing);
    return Step::Next;
}

Startup::Step Startup::prepareMediaFolder() {
    const QString& folder = m_ctx.state.settings.mediaDir;
    if (!m_ctx.storage.createFolder(folder))
        m_deferred << QStringLiteral("A media mappa nem hozható létre: ") + folder;
    return Step::Next;
}

Startup::Step Startup::showChannelName() {
    m_ctx.setCaption(m_ctx.state.settings.channelName);
    return Step::Next;
}

Startup::Step Startup::openLog() {
    RecorderState& s = m_ctx.state;
    s.todayStamp = RegionalFormat::todayStamp(m_ctx.clock.now().date());
    const QString logDir = QDir(s.programDir).filePath(QStringLiteral("Log"));
    if (!QFileInfo(logDir).isDir() && !QDir().mkdir(logDir))
        m_deferred << QStringLiteral("A napló mappa nem hozható létre: ") + logDir;
    if (!m_ctx.log.open(logDir, s.settings.channelShortName, s.todayStamp,
                        QCoreApplication::applicationPid()))
        m_deferred << QStringLiteral(
                          "A napló fájl nem nyitható meg, a sorok csak itt látszanak: ") +
                          logDir;
    return Step::Next;
}

Startup::Step Startup::writeMissingStateFile() {
    RecorderState& s = m_ctx.state;
    s.statePath = LastState::path(s.programDir, s.settings.channelShortName);
    if (QFileInfo::exists(s.statePath)) return Step::Next;
    m_parts.stateBinding.saveState();
    if (QFileInfo::exists(s.statePath)) m_stateFileWritten = true;
    return Step::Next;
}

Startup::Step Startup::writeLogHeader() {
    m_ctx.log.writeStartupHeader(QCoreApplication::applicationPid(),
                                 m_ctx.state.settings.channelShortName);
    for (const QString& line : std::as_const(m_deferred)) m_ctx.log.logEvent(line);
    return Step::Next;
}

Startup::Step Startup::fillTunerLists() {
    m_parts.capture.fillTunerLists();
    return Step::Next;
}

Startup::Step Startup::listSoundCards() {
    if (m_parts.capture.listSoundCards() || m_parts.sources.audioSource->count() > 0)
        return Step::Next;
    m_ctx.messenger.show(QStringLiteral("Nincs hangkártya telepítve!"), Messenger::Icon::Critical);
    m_exitCode = 1;
    m_parts.closeWindow();  // asks whether to exit
    return Step::Stop;
}

Startup::Step Startup::restoreAudioAndTimes() {
    m_parts.stateBinding.restoreAudioAndTimes([this] { m_parts.capture.audioSourceSelected(); },
                                              [this] { m_parts.capture.audioInputSelected(); });
    return Step::Next;
}

Startup::Step Startup::listVideoDevices() {
    if (!m_parts.capture.listVideoDevices()) {
        m_ctx.messenger.show(QStringLiteral("Nincs telepítve TV tunerkártya!"),
                             Messenger::Icon::Warning);
        setListText(m_parts.sources.videoSource, QString(), nullptr);
    }
    return Step::Next;
}

Startup::Step Startup::restoreVideoSource() {
    m_parts.stateBinding.restoreStateLine(LastState::VideoSource, m_parts.sources.videoSource,
                                          [this] { m_parts.capture.videoSourceSelected(); });
    m_parts.capture.videoSourceSelected();
    return Step::Next;
}

Startup::Step Startup::checkStartTime() {
    m_parts.timeFields.startLeave();
    return Step::Next;
}

Startup::Step Startup::showMonitor() {
    const bool pressed = m_parts.toolbar.isPressed(Button::btnMonitor);
    m_ctx.monitor.applyMonitorButton(pressed && m_ctx.state.previewWanted);
    return Step::Next;
}

Startup::Step Startup::resetZoom() {
    m_parts.zoom.text->setText(QStringLiteral("1 X"));
    m_parts.zoom.bar->setRange(0, 4);
    m_parts.zoom.bar->setInvertedAppearance(true);
    m_parts.zoom.bar->setValue(1);
    return Step::Next;
}

Startup::Step Startup::selectDailyMode() {
    m_parts.toolbarClick(Button::btnNapi);
    return Step::Next;
}

Startup::Step Startup::showLogPanelButton() {
    m_parts.logPanel.showButton();
    return Step::Next;
}

// Runs once per start, whatever happened before it: a second start or stop
// control would stop the recording it has just started.
Startup::Step Startup::startCommandLineRecording() {
    RecorderState& s = m_ctx.state;
    if (s.commandLine.isEmpty()) return Step::Next;
    const auto duration = s.commandLine.duration();
    if (!duration) {
        m_ctx.log.logEvent(QStringLiteral("Hibás felvételi idő a parancssorban: ") +
                           s.commandLine.rawDuration);
        endUnattendedRun();
        return Step::Stop;  // nothing is recorded; the splash stays
    }
    m_parts.timeFields.setTexts(std::nullopt, std::nullopt, *duration);
    m_parts.timeFields.durationLeave();
    s.mode.set(RecordingMode::Most);
    m_ctx.log.logEvent(QStringLiteral("Paraméteres indítás: ") + *duration);
    m_parts.recordingControl.toggleRecording();
    if (s.arm.isIdle()) endUnattendedRun();  // refused: nothing is armed
    return Step::Next;
}

Startup::Step Startup::unloadSplash() {
    m_parts.splash.unloadSplash();
    return Step::Next;
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
