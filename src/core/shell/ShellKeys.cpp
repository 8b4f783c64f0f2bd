#include "ShellKeys.h"

#include <array>

namespace kelm {

namespace {
constexpr std::array<const char*, kButtonCount> kButtonKeys{
    "btnMedia", "btnMonitor", "btnEncAutoMove", "btnEncMonOntop", "btnEncPreview", "btnSetup",
    "btnMost",  "btn1x",      "btnNapi",        "btnEncStart",    "btnAbout",      "btnExit"};

constexpr std::array<const char*, kMenuItemCount> kItemKeys{
    "mnuMediaPath", "mnuExit",    "mnuMonitorWindow",  "mnuAutoGo",  "mnuOnTop",
    "mnuFRMSep2",   "mnuOut",     "mnuSep3",           "mnuSetup",   "mnuMost",
    "mnu1X",        "mnuNapi",    "mnuSep4",           "mnuStart",   "mnuFRMRestore",
    "mnuFRMSep1",   "mnuFRMExit", "mnuMonitorWindow2", "mnuAutoGo2", "mnuOnTop2",
    "mnuFRMSep22"};

constexpr std::array<const char*, 6> kMenuKeys{"mnuFile",     "mnuView", "mnuZoom",
                                               "mnuControls", "mnuFRM",  "mnuPopup"};
}  // namespace

QString keyText(Button button) {
    return QString::fromLatin1(kButtonKeys.at(size_t(button)));
}
QString keyText(MenuItem item) {
    return QString::fromLatin1(kItemKeys.at(size_t(item)));
}
QString keyText(Menu menu) {
    return QString::fromLatin1(kMenuKeys.at(size_t(menu)));
}

}  // namespace kelm
