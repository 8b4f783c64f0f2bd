#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QPushButton;

namespace kelm {

// The programs tried as the system information viewer, in this order.
QStringList systemInfoViewers();

// The first viewer `findOnPath` finds (it returns a full path or empty), or an
// empty text when none is installed.
QString findSystemInfoViewer(const std::function<QString(const QString&)>& findOnPath);

// The about window "Névjegy - KELM": program, version, the channel name, the
// credits and a button that starts the system information viewer. Modeless;
// OK closes and deletes it.
class AboutWindow final : public QDialog {
    Q_OBJECT
public:
    struct SystemInfo {
        std::function<QString(const QString&)>
            findOnPath;                             // QStandardPaths::findExecutable by default
        std::function<bool(const QString&)> start;  // starts detached; false when it could not
        std::function<void(const QString&)> unavailable;  // shows the "unavailable" message
    };

    AboutWindow(const QString& version, const QString& channelCaption, QWidget* parent = nullptr);

    void setSystemInfo(SystemInfo info) { m_sysInfo = std::move(info); }
    // Starts the viewer, or reports that none is available.
    void startSystemInfo();

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblChannel = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

private:
    SystemInfo m_sysInfo;
};

}  // namespace kelm
