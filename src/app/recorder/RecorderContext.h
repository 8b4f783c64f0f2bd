#pragma once

#include "recorder/CommandLine.h"
#include "recorder/Settings.h"
#include "shell/RecordingArmState.h"

#include <QString>
#include <functional>

class QTimer;

namespace kelm {

class EncoderRequests;
class MediaFolderProbe;

class Clock;
class Encoder;
class EventLog;
class Messenger;
class MonitorPort;
class TrayPort;
class MixerPort;
class LevelMeterPort;
class SplashPort;
class MenuStylingPort;
class MediaStorage;

// The main window's shared recorder state: settings, stamps and flags that the
// start-up sequence, the recording control, the scheduler and the status loop
// read and write.
struct RecorderState {
    QString programDir;
    QString iniFile = QStringLiteral("kelm.ini");
    Settings settings;
    CommandLine commandLine;

    QString todayStamp;
    QString statePath;
    QString encProfile;
    QString startStamp;
    QString durationStamp;

    bool previewWanted = true;
    bool nextStartWarning = false;
    bool recordingFailed = false;  // the last recording broke off or could not be written
    bool endHandled = true;        // the scheduler has handled the end of the last recording
    qint64 recordedSize = 0;       // archive bytes seen on the scheduler's last tick
    int previewCookie = 0;         // the recording's data view, when one was added
    RecordingArmState arm;    // idle, or armed (also while recording); the start button shows it
    RecordingModeState mode;  // "Most", "1X" or "Napi"; the mode buttons show it
    // What the status icon says ("Felvétel", "Encoder hiba!" ...); the tray repeats it.
    QString statusText = QStringLiteral("Nincs felvétel");
    bool lowSpace = false;  // the media folder holds less than a day of recording
};

// How the program ends: at once, no confirmation, no further events or timers.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    virtual void endProcess(int exitCode) = 0;
    virtual bool ended() const = 0;
};

// Everything the recorder's collaborators share, owned by the main window.
struct RecorderContext {
    RecorderState& state;
    QTimer& schedulerTick;  // runs while a recording is armed (Scheduler)
    const Clock& clock;
    EventLog& log;
    Messenger& messenger;
    ProcessControl& process;
    MonitorPort& monitor;
    TrayPort& tray;
    MixerPort& mixer;
    LevelMeterPort& levelMeter;
    MediaStorage& storage;
    std::function<Encoder*()> encoder;  // null until created at start-up
    EncoderRequests& encoderRequests;   // every prepare and start, with its outcome
    MediaFolderProbe& folderProbe;      // the media folder, asked off the GUI thread
    std::function<QString()> caption;
    std::function<void(const QString&)> setCaption;
};

}  // namespace kelm
