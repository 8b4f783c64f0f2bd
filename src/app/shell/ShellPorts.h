#pragma once

#include <QString>

namespace kelm {

// What the recorder asks of the shell windows (monitor, tray, splash, menu
// styling). The recorder core calls these at fixed points of its sequences;
// the windows themselves live in the ui layer.

class MonitorPort {
public:
    virtual ~MonitorPort() = default;
    virtual bool isVisible() const = 0;
    // Sends the monitor window behind other windows so a message box is not hidden.
    virtual void sendToBack() = 0;
    // Applies the stay-on-top setting again, unchanged.
    virtual void reapplyOnTop() = 0;
    // Shows the video source's live picture (not the recording).
    virtual void attachSourceView() = 0;
    // Shows or hides the window as the monitor button says.
    virtual void applyMonitorButton(bool pressed) = 0;
    virtual void stopFollowTimer() = 0;
    // Shows the recording's picture (the encoder's preview), or stops showing it.
    virtual void setEncoderViewRunning(bool running) = 0;
    virtual void unload() = 0;
};

class TrayPort {
public:
    virtual ~TrayPort() = default;
    virtual bool isAdded() const = 0;
    // Removes the tray icon and shows the main window again in front.
    virtual void restoreFromTray() = 0;
    // Renews the tray icon's picture and tip (cut or padded to the tip field).
    virtual void update(int iconId, const QString& tip) = 0;
};

class SplashPort {
public:
    virtual ~SplashPort() = default;
    virtual void showSplash() = 0;
    virtual void unloadSplash() = 0;
};

class MenuStylingPort {
public:
    virtual ~MenuStylingPort() = default;
    virtual void install() = 0;
    virtual bool isActive() const = 0;
    virtual void detach() = 0;
};

// The sound card's mixer as the status loop reads it: the two controls chosen
// in the hidden control lists. `available` is false until a mixer is open.
class MixerPort {
public:
    virtual ~MixerPort() = default;
    virtual bool available() const = 0;
    // False when either control list has no chosen position.
    virtual bool hasSelection() const = 0;
    virtual int sourceControlValue() const = 0;
    virtual int destinationControlValue() const = 0;
    virtual void close() = 0;
};

// The level meters' own sound capture.
class LevelMeterPort {
public:
    virtual ~LevelMeterPort() = default;
    virtual bool isOpen() const = 0;
    virtual void stop() = 0;
};

}  // namespace kelm
