#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;

namespace kelm {

// The main window's toolbar and menus. Commands are found by their key
// ("btnEncStart", "mnuStart", ...), never by position.
class Toolbar final : public QObject {
    Q_OBJECT
public:
    explicit Toolbar(QMainWindow* window);

    QAction* button(const QString& key) const;
    QAction* menuItem(const QString& key) const;
    QMenu* menu(const QString& key) const;
    QToolBar* toolBar() const { return m_toolBar; }

    bool isPressed(const QString& key) const;
    void setPressed(const QString& key, bool pressed);
    bool isEnabled(const QString& key) const;
    void setEnabled(const QString& key, bool enabled);

    // The start button's image key, "encStart" (idle) or "encStop" (armed or
    // recording): state other code reads.
    QString startImageKey() const { return m_startImageKey; }
    void setStartImage(const QString& imageKey);
    void setStartToolTip(const QString& tip);
    QString startToolTip() const;

    // The three mode buttons: exactly one is pressed.
    enum class Mode { Most, Once, Daily };
    Mode mode() const;
    void pressMode(Mode mode);

Q_SIGNALS:
    // A toolbar button was clicked, after Qt toggled its check state.
    void buttonClicked(const QString& key);
    void menuTriggered(const QString& key);

private:
    QAction* addButton(const QString& key, const QString& toolTip, const QString& imageKey,
                       bool checkable);
    QAction* addItem(QMenu* menu, const QString& key, const QString& caption,
                     bool checkable = false, bool checked = false);
    void buildMenus(QMainWindow* window);

    QToolBar* m_toolBar = nullptr;
    QActionGroup* m_modes = nullptr;
    QHash<QString, QAction*> m_buttons;
    QHash<QString, QAction*> m_items;
    QHash<QString, QMenu*> m_menus;
    QString m_startImageKey = QStringLiteral("encStart");
};

}  // namespace kelm
