// Arms one "1X" or "Napi" recording in KELM's main window (the real engine,
// sound cards and picture source) and lets the machine's clock run for a
// while; prints the event log and every file the recording left, with its
// length. Under faketime it shows what a night of a summer-time change does.
//
//   schedule_run_bench 1X|NAPI HH:MM:SS <duration HH:MM:SS> <seconds to run>

#include "MainForm.h"
#include "MainWindow.h"
#include "RecordingControl.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "RealBackEnds.h"
#include "UnattendedRun.h"
#include "recorder/EventLog.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc != 5) {
        out << "usage: schedule_run_bench 1X|NAPI HH:MM:SS <duration> <seconds to run>\n";
        return 2;
    }
    const bool daily = QString::fromLocal8Bit(argv[1]).toUpper() == u"NAPI";
    const QString start = QString::fromLocal8Bit(argv[2]);
    const QString duration = QString::fromLocal8Bit(argv[3]);
    const int seconds = atoi(argv[4]);

    QTemporaryDir folder;
    QFile::copy(QDir(QStringLiteral(KELM_PROGRAM_DIR)).filePath(QStringLiteral("video.wmv")),
                folder.filePath(QStringLiteral("video.wmv")));
    QFile::copy(QDir(QStringLiteral(KELM_PROGRAM_DIR)).filePath(QStringLiteral("tiplon")),
                folder.filePath(QStringLiteral("tiplon")));
    QFile state(folder.filePath(QStringLiteral("teszttv.ini")));
    if (!state.open(QIODevice::WriteOnly)) return 1;
    state.write(QStringLiteral("\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n"
                               "\r\n\r\n\r\n")
                    .toUtf8());
    state.close();

    kelm::RealBackEnds backEnds;
    kelm::NotedEnd process;
    kelm::PrintingMessenger messenger;
    kelm::MainWindowDeps deps;
    deps.programDir = folder.path();
    backEnds.fill(deps);
    deps.process = &process;
    deps.messenger = &messenger;
    kelm::MainWindow window(std::move(deps));
    window.start();
    kelm::runEventsFor(1000);

    kelm::MainForm& f = window.form();
    window.toolbarClick(daily ? kelm::Button::btnNapi : kelm::Button::btn1x);
    f.txtStartTime->setText(start);
    f.txtDuration->setText(duration);
    window.timeFields().durationLeave();
    window.recordingControl().ToggleRecording();
    kelm::runEventsFor(qint64(seconds) * 1000);

    out << window.log().boxText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QDir media(folder.filePath(QStringLiteral("Media")));
    for (const QString& name : media.entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name)) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("format=duration"), QStringLiteral("-of"),
                     QStringLiteral("csv=p=0"), media.filePath(name)});
        probe.waitForFinished(10000);
        out << "file " << name << ": " << probe.readAllStandardOutput().trimmed() << " s\n";
    }
    return 0;
}
