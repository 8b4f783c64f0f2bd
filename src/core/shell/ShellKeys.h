#pragma once

#include <QString>

namespace kelm {

// The keys of the main window's commands. Code names a button, a menu item or a
// menu by one of these enumerators, never by a text, so a mistyped key does not
// compile. The enumerators carry the keys' own names; `keyText` gives the text
// (the widget's object name).

// Toolbar buttons, left to right.
enum class Button {
    btnMedia,
    btnMonitor,
    btnEncAutoMove,
    btnEncMonOntop,
    btnEncPreview,
    btnSetup,
    btnMost,
    btn1x,
    btnNapi,
    btnEncStart,
    btnAbout,
    btnExit
};
inline constexpr int kButtonCount = int(Button::btnExit) + 1;

// Menu items other than the zoom items (those are numbered, see Toolbar::zoomItem).
enum class MenuItem {
    mnuMediaPath,
    mnuExit,  // mnuFile
    mnuMonitorWindow,
    mnuAutoGo,
    mnuOnTop,
    mnuFRMSep2,
    mnuOut,
    mnuSep3,
    mnuSetup,  // mnuView
    mnuMost,
    mnu1X,
    mnuNapi,
    mnuSep4,
    mnuStart,  // mnuControls
    mnuFRMRestore,
    mnuFRMSep1,
    mnuFRMExit,  // mnuFRM (tray)
    mnuMonitorWindow2,
    mnuAutoGo2,
    mnuOnTop2,
    mnuFRMSep22  // mnuPopup (monitor)
};
inline constexpr int kMenuItemCount = int(MenuItem::mnuFRMSep22) + 1;

enum class Menu { mnuFile, mnuView, mnuZoom, mnuControls, mnuFRM, mnuPopup };

// The zoom items exist twice: in the menu bar's zoom menu and in the monitor's popup.
enum class ZoomMenu { Main, Popup };
inline constexpr int kZoomCount = 5;

// The idle/armed state of the recording control, held by one owner
// (RecordingArmState) and shown by the start button's picture.
enum class Arm { Idle, Armed };

// The recording mode, held by one owner (RecordingModeState) and shown by the
// three mode buttons: "Most" (at once), "1X" (once at the start time) and
// "Napi" (every day at the start time).
enum class RecordingMode { Most, Once, Daily };

QString keyText(Button button);
QString keyText(MenuItem item);
QString keyText(Menu menu);

}  // namespace kelm
