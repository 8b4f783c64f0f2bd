#include "MainWindow.h"
#include "RealBackEnds.h"
#include "Startup.h"
#include "recorder/Clock.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

// Ends the event loop at once when the recorder says the process ends.
class QtProcessControl final : public kelm::ProcessControl {
public:
    void endProcess(int exitCode) override {
        if (m_ended) return;
        m_ended = true;
        m_exitCode = exitCode;
        QCoreApplication::exit(exitCode);
    }
    bool ended() const override { return m_ended; }
    int exitCode() const { return m_exitCode; }

private:
    bool m_ended = false;
    int m_exitCode = 0;
};

int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &c, 1);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KELM"));

    kelm::RealBackEnds backEnds;
    QtProcessControl process;

    kelm::MainWindowDeps deps;
    deps.programDir = QCoreApplication::applicationDirPath();
    deps.arguments = QCoreApplication::arguments().mid(1);
    backEnds.fill(deps);
    deps.process = &process;
    // The monitor, tray, splash, menu pictures, mixer lines and level meters are
    // the main window's own.

    kelm::MainWindow window(std::move(deps));

    // A service stop or shutdown ends KELM like its exit command: a running
    // recording is finalised and the state saved.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
            char c;
            [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &c, 1);
            window.startup().terminate();
        });
        std::signal(SIGTERM, onTerminationSignal);
        std::signal(SIGINT, onTerminationSignal);
        std::signal(SIGHUP, onTerminationSignal);
    }

    window.show();
    window.start();
    if (process.ended()) return process.exitCode();
    return QApplication::exec();
}
