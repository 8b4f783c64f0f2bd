#pragma once

#include "RecorderContext.h"

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

    // The start-up sequence. On a first run (no state file) it runs itself once
    // more from the beginning, then goes on where it left.
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
    bool pass(int depth);
    void finishExit(bool testStatePath);
    QString missingfile() const;
    void endUnattendedRun();

    RecorderContext& m_ctx;
    Parts m_parts;
    int m_exitCode = 0;  // the program's status when it ends through an exit path
};

}  // namespace kelm
