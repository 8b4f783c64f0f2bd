#include "TrayIcon.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace kelm {

TrayIcon::TrayIcon(QMenu* menu, QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(this)) {
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A status notifier host may send only single clicks.
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    Q_EMIT restoreRequested();
            });
}

TrayIcon::~TrayIcon() {
    m_icon->hide();
}

void TrayIcon::add(const QIcon& icon, const QString& tip) {
    modify(icon, tip);
    m_icon->show();
    m_added = true;
}

void TrayIcon::modify(const QIcon& icon, const QString& tip) {
    m_icon->setIcon(icon);
    m_icon->setToolTip(cutTip(tip));
}

void TrayIcon::remove() {
    m_icon->hide();
    m_added = false;
}

QString TrayIcon::tip() const {
    return m_icon->toolTip();
}

}  // namespace kelm
