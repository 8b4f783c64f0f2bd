#pragma once

#include "MainWindow.h"
#include "PlayerWindows.h"
#include "capture/Xtimer.h"
#include "post/DetachedLauncher.h"
#include "post/ProcProcessTable.h"
#include "post/ServiceNotifier.h"
#include "recorder/MediaStorage.h"

#include <QProcess>
#include <memory>

namespace kelm {

// The machine's own parts that need no capture device: its file systems,
// Qt's timers, detached processes and the process table, the service
// manager's notification socket, the X server's
// windows, and the desktop's way of opening a folder. The real back ends
// hand them to the main window, and so do tests that run the window on fake
// devices. Must outlive the main window it is handed to.
struct SystemParts {
    SystemMediaStorage storage;
    QtTimerService timers;
    DetachedLauncher launcher;
    ProcProcessTable processes;
    NotifySocket serviceNotifier;  // NOTIFY_SOCKET's, when a service manager started KELM
    std::unique_ptr<PlayerWindows> playerWindows = createPlayerWindows();

    // Hands these to the main window; the player windows go with it, once.
    void fill(MainWindowDeps& deps) {
        deps.storage = &storage;
        deps.timers = &timers;
        deps.launcher = &launcher;
        deps.processes = &processes;
        deps.serviceNotifier = &serviceNotifier;
        deps.playerWindows = std::move(playerWindows);
        deps.startProgram = [](const QString& program, const QStringList& arguments) {
            return QProcess::startDetached(program, arguments);
        };
    }
};

}  // namespace kelm
