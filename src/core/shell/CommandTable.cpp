#include "CommandTable.h"

#include <array>
#include <utility>

namespace kelm {

namespace {

// Every toolbar button and the command it runs.
constexpr std::array<std::pair<Button, Command>, kButtonCount> kButtonTable{{
    {Button::btnMedia, Command::OpenMediaFolder},
    {Button::btnMonitor, Command::MonitorOnOff},
    {Button::btnEncAutoMove, Command::AutoAlign},
    {Button::btnEncMonOntop, Command::OnTop},
    {Button::btnEncPreview, Command::EncoderPreviewButton},
    {Button::btnSetup, Command::OpenSettings},
    {Button::btnMost, Command::ModeMost},
    {Button::btn1x, Command::ModeOnce},
    {Button::btnNapi, Command::ModeDaily},
    {Button::btnEncStart, Command::toggleRecording},
    {Button::btnAbout, Command::ShowAbout},
    {Button::btnExit, Command::ConfirmedExit},
}};

// Every menu item that runs something, and its command.
constexpr std::array<std::pair<MenuItem, Command>, 16> kItemTable{{
    {MenuItem::mnuMediaPath, Command::OpenMediaFolder},
    {MenuItem::mnuExit, Command::CloseWindow},
    {MenuItem::mnuMonitorWindow, Command::MonitorMenu},
    {MenuItem::mnuAutoGo, Command::AutoAlign},
    {MenuItem::mnuOnTop, Command::OnTop},
    {MenuItem::mnuOut, Command::EncoderOutput},
    {MenuItem::mnuSetup, Command::OpenSettings},
    {MenuItem::mnuMost, Command::MenuModeMost},
    {MenuItem::mnu1X, Command::MenuModeOnce},
    {MenuItem::mnuNapi, Command::MenuModeDaily},
    {MenuItem::mnuStart, Command::toggleRecording},
    {MenuItem::mnuFRMRestore, Command::RestoreFromTray},
    {MenuItem::mnuFRMExit, Command::CloseWindow},
    {MenuItem::mnuMonitorWindow2, Command::MonitorMenu},
    {MenuItem::mnuAutoGo2, Command::AutoAlign},
    {MenuItem::mnuOnTop2, Command::OnTop},
    // The separators run nothing.
}};

constexpr std::array<std::pair<MenuItem, MenuItem>, 3> kTwins{{
    {MenuItem::mnuMonitorWindow, MenuItem::mnuMonitorWindow2},
    {MenuItem::mnuAutoGo, MenuItem::mnuAutoGo2},
    {MenuItem::mnuOnTop, MenuItem::mnuOnTop2},
}};

constexpr std::array<const char*, kZoomCount> kZoomCaptions{"0.5 X", "1 X", "1.5 X", "2 X", "3 X"};

}  // namespace

Command commandOf(Button button) {
    for (const auto& [b, command] : kButtonTable)
        if (b == button) return command;
    return Command::EncoderPreviewButton;  // unreachable: the table covers every button
}

std::optional<Command> commandOf(MenuItem item) {
    for (const auto& [i, command] : kItemTable)
        if (i == item) return command;
    return std::nullopt;
}

std::optional<MenuItem> popupTwin(MenuItem item) {
    for (const auto& [main, twin] : kTwins)
        if (main == item) return twin;
    return std::nullopt;
}

std::optional<Button> modeButtonOf(MenuItem item) {
    switch (item) {
        case MenuItem::mnuMost:
            return Button::btnMost;
        case MenuItem::mnu1X:
            return Button::btn1x;
        case MenuItem::mnuNapi:
            return Button::btnNapi;
        default:
            return std::nullopt;
    }
}

QString zoomCaption(int index) {
    return QString::fromLatin1(kZoomCaptions.at(size_t(index)));
}

double zoomFactor(int index) {
    // The number before " X" in the caption.
    const QString caption = zoomCaption(index);
    return caption.left(caption.indexOf(u' ')).toDouble();
}

}  // namespace kelm
