// Records with one of KELM's built-in profiles through the recording engine,
// for the writer's benchmark script (run.sh).
//
//   kelm_writer_bench radio|tv VIDEO_INPUT SECONDS OUTPUT.wmv
//
// The recording ends by the engine's own duration limit. Prints the engine's
// statistics and how the recording ended: "ended: ok" or "ended: failed" with
// the error number and description (a full disk must say "failed").

#include "EngineFactory.h"
#include "RecordToTheEnd.h"
#include "RecordingEngine.h"
#include "encoder/EncoderProfile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5 ||
        (args[1] != QStringLiteral("radio") && args[1] != QStringLiteral("tv"))) {
        std::fputs("usage: kelm_writer_bench radio|tv VIDEO_INPUT SECONDS OUT.wmv\n", stderr);
        return 2;
    }
    const int seconds = args[3].toInt();
    kelm::EncoderStatus status;
    auto encoder = kelm::createRecordingEngine({}, &status);
    if (!encoder) {
        std::fprintf(stderr, "no engine: %s\n", qPrintable(status.description));
        return 1;
    }
    encoder->setVideoInput(args[2]);
    encoder->setAudioInput(QStringLiteral("TEST://silence"));
    encoder->setProfile(kelm::EncoderProfile::builtInText(args[1] == QStringLiteral("radio")
                                                              ? kelm::BuiltInProfile::Radio
                                                              : kelm::BuiltInProfile::Tv));
    encoder->setOutputFileName(args[4]);
    encoder->setDurationLimitMs(seconds * 1000LL);
    kelm::EncoderStatus failure;
    QObject::connect(encoder.get(), &kelm::RecordingEngine::errorOccurred,
                     [&](const kelm::EncoderStatus& s) { failure = s; });
    if (!kelm::bench::recordToTheEnd(*encoder, seconds)) return 1;
    QCoreApplication::processEvents();
    const kelm::EncoderStatistics s = encoder->statistics();
    std::printf("engine statistics: %lld bytes, %lld ms, audio %lld bit/s, overall %lld bit/s\n",
                s.archiveBytes, s.archiveDurationMs, s.audioBitrate, s.overallBitrate);
    if (encoder->runState() != kelm::RunState::Stopped) {
        std::puts("ended: still running");
        return 1;
    }
    if (!failure.ok()) {
        std::printf("ended: failed (%d): %s\n", failure.signedCode(),
                    qPrintable(failure.description));
        return 3;
    }
    std::puts("ended: ok");
    return 0;
}
