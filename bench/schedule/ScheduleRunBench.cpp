// Arms one "Most", "1X" or "Napi" recording in KELM's main window (the real
// engine, sound cards and picture source) and lets the machine's clock run
// for a while; prints the event log, every file the recording left with its
// length, and the longest time the window's event loop stood still. Under
// faketime it shows what a night of a summer-time change does; with a sound
// server outage, whether the window keeps answering while it lasts.
//
//   schedule_run_bench MOST|1X|NAPI HH:MM:SS <duration> <seconds to run>
//                      [<sound server stopped at s> <for s>]

#include "BenchWindow.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "RecordingControl.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "recorder/EventLog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <csignal>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc != 5 && argc != 7) {
        out << "usage: schedule_run_bench MOST|1X|NAPI HH:MM:SS <duration> <seconds to run> "
               "[<sound server stopped at s> <for s>]\n";
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]).toUpper();
    const kelm::Button modeKey = mode == u"NAPI"   ? kelm::Button::btnNapi
                                 : mode == u"MOST" ? kelm::Button::btnMost
                                                   : kelm::Button::btn1x;
    const QString start = QString::fromLocal8Bit(argv[2]);
    const QString duration = QString::fromLocal8Bit(argv[3]);
    const int seconds = atoi(argv[4]);

    kelm::BenchWindow bench;
    if (!bench.start()) return 1;
    kelm::MainWindow& window = bench.window();
    kelm::runEventsFor(1000);

    kelm::MainForm& f = window.form();
    // The event loop's pulse: a gap between two ticks is time the window
    // could not answer.
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer pulse;
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
    if (argc == 7) {
        const qint64 pid = QString::fromLocal8Bit(qgetenv("KELM_SOUND_SERVER_PID")).toLongLong();
        const int stopAtS = atoi(argv[5]);
        const int stopForS = atoi(argv[6]);
        QTimer::singleShot(stopAtS * 1000, [pid] { ::kill(pid_t(pid), SIGSTOP); });
        QTimer::singleShot((stopAtS + stopForS) * 1000, [pid] { ::kill(pid_t(pid), SIGCONT); });
    }
    window.toolbarClick(modeKey);
    f.times.start->setText(start);
    f.times.duration->setText(duration);
    window.timeFields().durationLeave();
    sinceTick.start();
    pulse.start(10);
    window.recordingControl().toggleRecording();
    kelm::runEventsFor(qint64(seconds) * 1000);
    pulse.stop();

    out << window.log().boxText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QDir media(QDir(bench.folder()).filePath(QStringLiteral("Media")));
    for (const QString& name :
         media.entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name)) {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                     QStringLiteral("format=duration"), QStringLiteral("-of"),
                     QStringLiteral("csv=p=0"), media.filePath(name)});
        probe.waitForFinished(10000);
        out << "file " << name << ": " << probe.readAllStandardOutput().trimmed() << " s\n";
    }
    out << "longest time the window stood still after the start button: " << longestGapMs
        << " ms\n";
    return 0;
}
