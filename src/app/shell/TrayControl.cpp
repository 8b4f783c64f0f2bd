#include "TrayControl.h"

#include "Pictures.h"
#include "Toolbar.h"
#include "TrayIcon.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace kelm {

TrayControl::TrayControl(QMainWindow& main, Toolbar& toolbar, std::function<QString()> statusText)
    : m_main(main),
      m_statusText(std::move(statusText)),
      m_icon(std::make_unique<TrayIcon>(toolbar.menu(Menu::mnuFRM))),
      m_trayAvailable(&QSystemTrayIcon::isSystemTrayAvailable) {
    QMenu* menu = toolbar.menu(Menu::mnuFRM);
    menu->setDefaultAction(toolbar.menuItem(MenuItem::mnuFRMRestore));  // shown bold
    connect(m_icon.get(), &TrayIcon::restoreRequested, this, [this] { restoreFromTray(); });
}

TrayControl::~TrayControl() = default;

bool TrayControl::isAdded() const {
    return m_icon->isAdded();
}

void TrayControl::minimizeToTray(bool minimised) {
    if (minimised) {
        // Hidden with no icon to click, the window could never be brought back.
        if (!m_trayAvailable()) return;
        m_icon->add(m_main.windowIcon(), m_main.windowTitle());
        // Hidden, then normal again, so that it comes back normal-sized.
        m_main.hide();
        m_main.setWindowState(m_main.windowState() & ~Qt::WindowMinimized);
        return;
    }
    if (!m_icon->isAdded()) return;
    m_icon->remove();
    m_main.show();
    m_main.raise();
    m_main.activateWindow();
}

void TrayControl::windowStateChanged() {
    if (!m_main.isVisible()) return;  // our own change while the window is in the tray
    const bool minimised = m_main.windowState().testFlag(Qt::WindowMinimized);
    if (!minimised && m_icon->isAdded())
        m_icon->modify(m_main.windowIcon(),
                       m_main.windowTitle() + QStringLiteral(" - ") + m_statusText());
    // The window system is still inside its state change; hide it afterwards.
    QTimer::singleShot(0, this, [this, minimised] { minimizeToTray(minimised); });
}

void TrayControl::restoreFromTray() {
    minimizeToTray(false);
}

void TrayControl::update(int iconId, const QString& tip) {
    Q_UNUSED(iconId);
    if (m_icon->isAdded()) m_icon->modify(m_main.windowIcon(), tip);
}

}  // namespace kelm
