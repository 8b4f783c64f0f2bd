#pragma once

#include "ShellKeys.h"

#include <optional>

namespace kelm {

// The operations the main window's toolbar buttons and menu items run. Every
// button and item is bound to one of these in one table (CommandTable.cpp);
// the main window runs a command through one dispatch, never by comparing
// texts.
enum class Command {
    OpenMediaFolder,  // "xdg-open" on the media folder
    MonitorOnOff,     // btnMonitor: the monitor as the button's new state says
    MonitorMenu,      // mnuMonitorWindow(2): invert, press the button to match, run MonitorOnOff
    AutoAlign,        // auto-align on/off
    OnTop,            // monitor stays on top on/off
    EncoderPreviewButton,  // btnEncPreview: nothing of its own (the click's last step applies it)
    EncoderOutput,         // mnuOut: invert, press btnEncPreview to match, apply
    OpenSettings,          // the settings dialog
    ModeMost,              // btnMost
    ModeOnce,              // btn1x
    ModeDaily,             // btnNapi
    MenuModeMost,          // mnuMost: press btnMost and run its click
    MenuModeOnce,          // mnu1X
    MenuModeDaily,         // mnuNapi
    toggleRecording,       // start or stop
    ShowAbout,             // the about window, modeless
    ConfirmedExit,         // asks, then ends
    CloseWindow,           // the window's close path (asks in the close handler)
    RestoreFromTray,       // mnuFRMRestore
    PlayPreview,           // the play button: the running recording's preview (a hook)
};
inline constexpr int kCommandCount = int(Command::PlayPreview) + 1;

// The command of a toolbar button; every button has one.
Command commandOf(Button button);
// The command of a menu item; separators have none.
std::optional<Command> commandOf(MenuItem item);

// The popup twin of a main-menu item (mnuOnTop -> mnuOnTop2), which always
// carries the same check mark; none for items without a twin.
std::optional<MenuItem> popupTwin(MenuItem item);

// The toolbar button a mode menu item presses (mnuMost -> btnMost).
std::optional<Button> modeButtonOf(MenuItem item);

// The zoom factor of zoom item `index` ("0.5 X" .. "3 X"), and its caption.
double zoomFactor(int index);
QString zoomCaption(int index);

}  // namespace kelm
