#pragma once

#include "shell/ShellKeys.h"

#include <QObject>
#include <QString>
#include <array>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;

namespace kelm {

// The main window's toolbar and menus. Buttons, items and menus are found by
// their typed key (Button::btnEncStart, MenuItem::mnuStart), never by position
// or text.
class Toolbar final : public QObject {
    Q_OBJECT
public:
    explicit Toolbar(QMainWindow* window);

    QAction* button(Button key) const { return m_buttons.at(size_t(key)); }
    QAction* menuItem(MenuItem key) const { return m_items.at(size_t(key)); }
    // Zoom item `index` (0 "0.5 X" .. 4 "3 X") of the menu bar or of the popup.
    QAction* zoomItem(ZoomMenu menu, int index) const;
    QMenu* menu(Menu key) const { return m_menus.at(size_t(key)); }
    QToolBar* toolBar() const { return m_toolBar; }

    bool isPressed(Button key) const;
    void setPressed(Button key, bool pressed);
    bool isEnabled(Button key) const;
    void setEnabled(Button key, bool enabled);

    // Shows the recording control's state on the start button: "encStart"
    // while idle, "encStop" while armed or recording. The state itself lives in
    // RecordingArmState.
    void showStartState(Arm arm);
    void setStartToolTip(const QString& tip);
    QString startToolTip() const;

    // Shows the recording mode on the three mode buttons and their menu
    // items: exactly one is pressed. The mode itself lives in
    // RecordingModeState.
    void showMode(RecordingMode mode);
    // Enables the button of `current`, and the other two mode buttons as `others` says.
    void enableModes(RecordingMode current, bool others);

Q_SIGNALS:
    // A toolbar button was clicked, after Qt toggled its check state.
    void buttonClicked(kelm::Button key);
    void menuTriggered(kelm::MenuItem key);
    void zoomTriggered(kelm::ZoomMenu menu, int index);

private:
    QAction* addButton(Button key, const QString& toolTip, const QString& imageKey, bool checkable);
    QAction* addItem(QMenu* menu, MenuItem key, const QString& caption, bool checkable = false,
                     bool checked = false);
    void addZoomItems(QMenu* menu, ZoomMenu which);
    void buildMenus(QMainWindow* window);

    QToolBar* m_toolBar = nullptr;
    QActionGroup* m_modes = nullptr;
    std::array<QAction*, kButtonCount> m_buttons{};
    std::array<QAction*, kMenuItemCount> m_items{};
    std::array<QMenu*, 6> m_menus{};
    std::array<std::array<QAction*, kZoomCount>, 2> m_zoomItems{};
};

}  // namespace kelm
