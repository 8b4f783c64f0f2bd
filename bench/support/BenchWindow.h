#pragma once

// KELM's main window on the real back ends, in a program folder of its own
// that holds the default video and tiplon and an idle last state choosing the
// video file source: what the benchmarks that arm recordings in the window
// start from. Boxes are printed and answered with their default.

#include "MainWindow.h"
#include "RealBackEnds.h"
#include "UnattendedRun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace kelm {

class BenchWindow {
public:
    // False when the program folder cannot be set up. `storage`, when given,
    // stands for the machine's file systems (a folder that hangs on demand).
    bool start(MediaStorage* storage = nullptr) {
        if (!m_folder.isValid()) return false;
        for (const char* file : {"video.wmv", "tiplon", "wmindexer"})
            QFile::copy(QDir(QStringLiteral(KELM_PROGRAM_DIR)).filePath(QLatin1String(file)),
                        m_folder.filePath(QLatin1String(file)));
        QFile state(m_folder.filePath(QStringLiteral("teszttv.ini")));
        if (!state.open(QIODevice::WriteOnly)) return false;
        state.write(QStringLiteral("\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n"
                                   "\r\n\r\n\r\n\r\n\r\n")
                        .toUtf8());
        state.close();
        MainWindowDeps deps;
        deps.programDir = m_folder.path();
        m_backEnds.fill(deps);
        if (storage) deps.storage = storage;
        deps.process = &m_process;
        deps.messenger = &m_messenger;
        m_window = std::make_unique<MainWindow>(std::move(deps));
        m_window->start();
        return true;
    }
    // KEEP=1 leaves the folder and its recordings behind.
    void keepFolderWhenAsked() { m_folder.setAutoRemove(qEnvironmentVariableIsEmpty("KEEP")); }
    QString folder() const { return m_folder.path(); }
    MainWindow& window() { return *m_window; }

private:
    QTemporaryDir m_folder;
    RealBackEnds m_backEnds;
    NotedEnd m_process;
    PrintingMessenger m_messenger;
    std::unique_ptr<MainWindow> m_window;  // ends before the back ends it uses
};

}  // namespace kelm
