// Pictures of KELM's main window while its level meters run on the sound
// server's card: the real window, engine and ALSA layer; message boxes go to
// the standard error instead of waiting for an answer. Saves three PNGs, half
// a second apart, so the meters and waveforms can be seen moving.
//
//   kelm_window_shot PROGRAM_DIR OUTPUT_PREFIX
#include "MainWindow.h"
#include "RealBackEnds.h"
#include "Messenger.h"
#include "recorder/Clock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <cstdio>

namespace {

class PrintingMessenger final : public kelm::Messenger {
public:
    Answer ask(const QString& text, Buttons, Icon, Answer defaultAnswer) override {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        return defaultAnswer;
    }
    bool canAsk() const override { return false; }
};

class Process final : public kelm::ProcessControl {
public:
    void endProcess(int) override { m_ended = true; }
    bool ended() const override { return m_ended; }

private:
    bool m_ended = false;
};

void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kelm_window_shot PROGRAM_DIR OUTPUT_PREFIX\n");
        return 2;
    }
    kelm::RealBackEnds backEnds;
    PrintingMessenger messenger;
    Process process;

    kelm::MainWindowDeps deps;
    deps.programDir = QString::fromLocal8Bit(argv[1]);
    backEnds.fill(deps);
    deps.messenger = &messenger;
    deps.process = &process;
    kelm::MainWindow window(std::move(deps));
    window.show();
    window.start();
    runFor(1500);
    for (int i = 1; i <= 3; ++i) {
        const QString path = QString::fromLocal8Bit(argv[2]) + QStringLiteral("-%1.png").arg(i);
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
        runFor(500);
    }
    return 0;
}
