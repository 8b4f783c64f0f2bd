#pragma once

#include "FormParts.h"

class QMainWindow;

namespace kelm {

class Toolbar;

// The controls of the main window, created and laid out once, in groups by
// the work they serve (FormParts.h). It holds no behaviour: the main window
// hands each collaborator the groups it uses.
struct MainForm {
    explicit MainForm(QMainWindow* window);

    Toolbar* toolbar = nullptr;
    SourceLists sources;
    MixerLineWidgets mixerLines;
    LevelWidgets levels;
    TimeFieldWidgets times;
    ZoomWidgets zoom;
    LogPanelWidgets logPanel;
    QPushButton* playPreview = nullptr;  // plays the preview copy of a recording
    StatusBarWidgets statusBar;
};

}  // namespace kelm
