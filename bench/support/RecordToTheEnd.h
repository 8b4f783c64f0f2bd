#pragma once

// Shared by the engine's benchmarks: one recording, waited for without
// spending CPU of the benchmark's own while the engine's is measured.

#include "RecordingEngine.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace kelm::bench {

// Starts the recording and sleeps in the event loop until the engine reports
// its end, or `seconds` + 30 s have passed. False, with the reason printed,
// when the recording does not start; whether it ended is the run state's.
inline bool recordToTheEnd(RecordingEngine& encoder, qint64 seconds) {
    const EncoderStatus status = encoder.start();
    if (!status.ok()) {
        std::fprintf(stderr, "start failed (%d): %s\n", status.signedCode(),
                     qPrintable(status.description));
        return false;
    }
    QEventLoop loop;
    QObject::connect(&encoder, &RecordingEngine::runStateChanged, &loop, [&](RunState state) {
        if (state == RunState::Stopped) loop.quit();
    });
    QTimer::singleShot(static_cast<int>((seconds + 30) * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

}  // namespace kelm::bench
