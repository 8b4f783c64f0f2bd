#pragma once

// What the tools, benchmarks and tests that run KELM's real main window with
// nobody at it hand to the window instead of a person: message boxes printed
// and answered with their default, an end of the program that is only noted,
// and time for the window to work in.

#include "Messenger.h"
#include "RecorderContext.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

namespace kelm {

// Prints every box to the standard error and takes its default answer, so a
// run never waits for a click. `canAsk` says whether start-up should behave
// as with a display (the default) or as a run nobody watches.
class PrintingMessenger final : public Messenger {
public:
    explicit PrintingMessenger(bool canAsk = true) : m_canAsk(canAsk) {}
    Answer ask(const QString& text, Buttons, Icon, Answer defaultAnswer) override {
        QTextStream(stderr) << "message: " << text << "\n";
        return defaultAnswer;
    }
    bool canAsk() const override { return m_canAsk; }

private:
    bool m_canAsk;
};

// Notes that the program asked to end; with `quitsEventLoop` it also leaves
// the application's event loop with the exit code.
class NotedEnd final : public ProcessControl {
public:
    explicit NotedEnd(bool quitsEventLoop = false) : m_quits(quitsEventLoop) {}
    void endProcess(int exitCode) override {
        m_ended = true;
        if (m_quits) QCoreApplication::exit(exitCode);
    }
    bool ended() const override { return m_ended; }

private:
    bool m_quits;
    bool m_ended = false;
};

// Lets the window's timers and events run for `ms` milliseconds, sleeping
// in the event loop in between.
inline void runEventsFor(qint64 ms) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::max<qint64>(0, ms)), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

}  // namespace kelm
