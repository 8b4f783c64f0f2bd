#pragma once

#include "FormParts.h"

class QHBoxLayout;
class QMainWindow;
class QWidget;

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

private:
    void layoutVideoFrame(QWidget* central, QHBoxLayout* frames);
    void layoutAudioFrame(QWidget* central, QHBoxLayout* frames);
    void layoutTimeFrame(QWidget* central, QHBoxLayout* frames);
    void layoutStatusBar(QMainWindow* window);
};

}  // namespace kelm
