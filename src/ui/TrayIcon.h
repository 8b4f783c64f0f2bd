#pragma once

#include <QObject>
#include <QString>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace kelm {

// KELM's icon in the notification area while the main window is hidden there.
// A click or a double click asks for the window back; a right click opens `menu` (the
// tray menu, its restore item shown bold as the default). GUI thread only.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    // The tip field holds 64 characters including its terminating NUL.
    static constexpr int kTipLength = 63;
    static QString cutTip(const QString& tip) { return tip.left(kTipLength); }

    TrayIcon(QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    void add(const QIcon& icon, const QString& tip);
    void modify(const QIcon& icon, const QString& tip);
    void remove();
    bool isAdded() const { return m_added; }
    QString tip() const;

Q_SIGNALS:
    void restoreRequested();

private:
    QSystemTrayIcon* m_icon = nullptr;
    bool m_added = false;
};

}  // namespace kelm
