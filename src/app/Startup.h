#pragma once

#include "RecorderContext.h"

#include <QStringList>
#include <initializer_list>
#include <memory>

class QPushButton;

namespace kelm {

class CaptureSources;
class LogPanel;
class Toolbar;
struct SourceLists;
struct ZoomWidgets;
class EncoderFactory;
class Encoder;
class MenuStylingPort;
class RecordingControl;
class SplashPort;
class StateBinding;
class TimeFields;

// Brings KELM up in its fixed order and takes it down on both exit paths.
class Startup final {
public:
    struct Parts {
        EncoderFactory& encoderFactory;
        std::unique_ptr<Encoder>& encoder;
        SplashPort& splash;
        MenuStylingPort& menuStyling;
        CaptureSources& capture;
        StateBinding& stateBinding;
        TimeFields& timeFields;
        RecordingControl& recordingControl;
        Toolbar& toolbar;
        SourceLists& sources;
        const ZoomWidgets& zoom;
        LogPanel& logPanel;
        QPushButton* playPreview;
        std::function<void(Button)> toolbarClick;
        std::function<void()> closeWindow;
        // KELM ends while a recording may run: its file has been stopped; its
        // subtitles are to be made for what it holds before the process goes.
        std::function<void()> recordingEndsWithKelm;
    };

    Startup(RecorderContext& context, Parts parts) : m_ctx(context), m_parts(std::move(parts)) {}

    // Writes the application manifest beside the program when it is missing.
    void writeManifest(const QString& executableName);

    // The start-up sequence: the opening (splash, encoder, settings, folders,
    // log, state file), the restore of the device lists and the operator's
    // last choices, and the finishing steps (start time, monitor, zoom, daily
    // mode, the log panel button, the command-line recording, the splash's
    // end). A first run, which has just written the state file, opens twice.
    void run();

    // A close request for the main window. False when the operator chose to stay.
    bool closeRequested();
    // The toolbar's confirmed exit.
    void confirmExit();
    // Releases the sound card's mixer and the level meters' capture.
    void exitForm();

    // Ends KELM cleanly on a signal from the system (service stop, shutdown):
    // a running recording is stopped and finalised, the state saved.
    void terminate();

private:
    // What a start-up step tells the sequence: go on with the next step, or
    // stop here. A stop leaves the window as far as it came, unless the step
    // has ended the process.
    enum class Step { Next, Stop };
    using StepFunction = Step (Startup::*)();
    // Runs the steps in their order up to the first that says stop.
    Step runSteps(std::initializer_list<StepFunction> steps);

    Step openingSteps();
    Step restoringSteps();
    Step finishingSteps();

    // The opening: problems met before the log is open wait in m_deferred.
    Step showSplash();
    Step styleMenus();
    Step createEncoder();  // stop: the encoder component is missing, the process ends
    Step setStartValues();
    Step limitCommandLineRun();  // a command line without "/p" has no monitor or preview
    Step readSettings();         // and the missing-files box
    Step prepareMediaFolder();
    Step showChannelName();
    Step openLog();
    Step writeMissingStateFile();
    // The restore.
    Step writeLogHeader();  // and the problems of the opening
    Step fillTunerLists();
    Step listSoundCards();  // stop: no sound card; the operator was asked whether to exit
    Step restoreAudioAndTimes();
    Step listVideoDevices();
    Step restoreVideoSource();
    // The finishing steps.
    Step checkStartTime();
    Step showMonitor();
    Step resetZoom();
    Step selectDailyMode();
    Step showLogPanelButton();
    Step startCommandLineRecording();  // stop: the duration is no time; the splash stays
    Step unloadSplash();

    void finishExit(bool testStatePath);
    QString missingfile() const;
    void endUnattendedRun();

    RecorderContext& m_ctx;
    Parts m_parts;
    int m_exitCode = 0;               // the program's status when it ends through an exit path
    QStringList m_deferred;           // problems met by the opening, logged after the header
    bool m_stateFileWritten = false;  // start-up found no state file and wrote one
};

}  // namespace kelm
