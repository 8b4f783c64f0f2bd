// Pictures of KELM's main window while its level meters run on the sound
// server's card: the real window, engine and ALSA layer; message boxes go to
// the standard error instead of waiting for an answer. Saves three PNGs, half
// a second apart, so the meters and waveforms can be seen moving.
//
//   kelm_window_shot PROGRAM_DIR OUTPUT_PREFIX
#include "MainWindow.h"
#include "RealBackEnds.h"
#include "UnattendedRun.h"
#include "recorder/Clock.h"

#include <QApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelm_window_shot PROGRAM_DIR OUTPUT_PREFIX\n");
        return 2;
    }
    kelm::RealBackEnds backEnds;
    kelm::PrintingMessenger messenger(/*canAsk=*/false);
    kelm::NotedEnd process;

    kelm::MainWindowDeps deps;
    deps.programDir = QString::fromLocal8Bit(argv[1]);
    backEnds.fill(deps);
    deps.messenger = &messenger;
    deps.process = &process;
    kelm::MainWindow window(std::move(deps));
    window.show();
    window.start();
    kelm::runEventsFor(1500);
    for (int i = 1; i <= 3; ++i) {
        const QString path = QString::fromLocal8Bit(argv[2]) + QStringLiteral("-%1.png").arg(i);
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
        kelm::runEventsFor(500);
    }
    return 0;
}
