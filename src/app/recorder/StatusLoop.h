#pragma once

#include "RecorderContext.h"

#include <QTimer>

namespace kelm {

class RecordingControl;
class ServiceStatus;
class SignalAlarms;
class StatusBar;
class TimeFields;
class Toolbar;
struct MixerLineWidgets;
struct ZoomWidgets;

// The status tick (every 300 ms for the whole run): the service manager's
// status and watchdog, the signal alarms' view of the run state, mixer
// sliders, clock,
// zoom controls, the menu mirror of the toolbar, the status icon (also in the
// tray), the daily preparation three seconds before each start, and the size
// limit of the log box.
class StatusLoop final {
public:
    // What the loop shows and reads besides the shared context.
    struct Parts {
        RecordingControl& recordingControl;
        TimeFields& timeFields;
        StatusBar& statusBar;
        ServiceStatus& serviceStatus;
        SignalAlarms& signalAlarms;
        Toolbar& toolbar;
        const MixerLineWidgets& mixerLines;
        const ZoomWidgets& zoom;
        // Shows the status icon as the window's own while it is in the tray.
        std::function<void(int icon)> setWindowIcon;
    };

    StatusLoop(RecorderContext& context, Parts parts);

    // Starts the tick; it runs until the program ends.
    void start() { m_tick.start(); }
    void tick();

    // The status icon shown last (101, 103, 104 or 105), 0 before the first.
    int statusIcon() const { return m_icon; }

private:
    void mirrorMenus();
    void updateStatusIcon();

    RecorderContext& m_ctx;
    Parts m_parts;
    QTimer m_tick;
    int m_icon = 0;
};

}  // namespace kelm
