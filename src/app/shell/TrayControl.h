#pragma once

#include "ShellPorts.h"

#include <QObject>
#include <functional>
#include <memory>

class QMainWindow;

namespace kelm {

class Toolbar;
class TrayIcon;

// Minimising the main window moves it into the notification area; a click on
// the icon, or "&Visszállítás" in its menu, brings it back at normal size.
// While the window is in the tray, its icon and tip follow the status. Where
// the desktop has no tray, a minimised window stays an ordinary minimised one.
class TrayControl final : public QObject, public TrayPort {
    Q_OBJECT
public:
    // `statusText` is what the status icon says, for the tray icon's tip.
    TrayControl(QMainWindow& main, Toolbar& toolbar, std::function<QString()> statusText);
    ~TrayControl() override;

    // TrayPort
    bool isAdded() const override;
    void restoreFromTray() override;
    void update(int iconId, const QString& tip) override;

    // True: the window has just been minimised; it goes to the tray. False:
    // removes an icon that is shown and brings the window to the front.
    void minimizeToTray(bool minimised);
    // The main window's resize handler (window state changes).
    void windowStateChanged();

    // Whether the desktop shows tray icons; asked at every minimise.
    void setTrayAvailable(std::function<bool()> available) {
        m_trayAvailable = std::move(available);
    }

    TrayIcon& icon() { return *m_icon; }

private:
    QMainWindow& m_main;
    std::function<QString()> m_statusText;
    std::unique_ptr<TrayIcon> m_icon;
    std::function<bool()> m_trayAvailable;
};

}  // namespace kelm
