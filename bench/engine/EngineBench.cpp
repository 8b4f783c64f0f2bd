// Drives KELM's recording engine for the benchmark script (run.sh).
//
//   kelm_engine_bench record VIDEO_INPUT AUDIO_INPUT SECONDS OUTPUT.wmv
//       One TV-profile recording of SECONDS, ended by the engine's own
//       duration limit; prints the engine's statistics at the end.
//   kelm_engine_bench startlatency COUNT OUTPUT_FOLDER [cold]
//       COUNT TV recordings of 2.5 s (test picture at 25 frames/s, sound from
//       the sound server); prints, for each start, how long start() and stop()
//       took and when the recording's first sample was captured, counted from
//       the start() call: the time between the start and stop calls minus the
//       pictures in the file (to within one picture, 40 ms). With "cold" the
//       sources are not prepared before each start.
//   kelm_engine_bench cycles COUNT OUTPUT_FOLDER
//       COUNT start/stop cycles on the live test sources; prints open
//       descriptors, threads and resident memory after the first ten and at
//       the end.

#include "EngineFactory.h"
#include "RecordToTheEnd.h"
#include "RecordingEngine.h"
#include "encoder/EncoderProfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>

#include <QProcess>
#include <QRandomGenerator>

#include <gst/gst.h>

#include <cmath>
#include <cstdio>

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

struct Usage {
    int fds = 0;
    int threads = 0;
    qint64 rssKb = 0;
};

Usage usage() {
    Usage u;
    u.fds = static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                 .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                 .size());
    u.threads = static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                     .entryList(QDir::NoDotAndDotDot | QDir::Dirs)
                                     .size());
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                u.rssKb = line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return u;
}

std::unique_ptr<kelm::RecordingEngine> makeEncoder() {
    kelm::EncoderStatus status;
    auto encoder = kelm::createRecordingEngine({}, &status);
    if (!encoder) std::fprintf(stderr, "no engine: %s\n", qPrintable(status.description));
    return encoder;
}

int record(const QString& video, const QString& audio, int seconds, const QString& output) {
    auto encoder = makeEncoder();
    if (!encoder) return 1;
    encoder->setVideoInput(video);
    encoder->setAudioInput(audio);
    encoder->setProfile(kelm::EncoderProfile::builtInText(kelm::BuiltInProfile::Tv));
    encoder->setOutputFileName(output);
    encoder->setDurationLimitMs(seconds * 1000LL);
    if (!kelm::bench::recordToTheEnd(*encoder, seconds)) return 1;
    if (encoder->runState() != kelm::RunState::Stopped) {
        std::fputs("the recording did not end by itself\n", stderr);
        return 1;
    }
    const kelm::EncoderStatistics s = encoder->statistics();
    std::printf(
        "engine statistics: %lld bytes, %lld ms, encoding time %lld ms, audio %lld bit/s, overall "
        "%lld bit/s\n",
        s.archiveBytes, s.archiveDurationMs, s.encodingTimeMs, s.audioBitrate, s.overallBitrate);
    return 0;
}

GstClockTime systemNow() {
    GstClock* system = gst_system_clock_obtain();
    const GstClockTime now = gst_clock_get_time(system);
    gst_object_unref(system);
    return now;
}

// Pictures ffmpeg decodes from the file's video stream; -1 on failure.
int videoFrames(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-select_streams"), QStringLiteral("v"),
                 QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_frames"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!probe.waitForFinished(30000)) return -1;
    bool ok = false;
    const int frames = probe.readAllStandardOutput().trimmed().toInt(&ok);
    return ok ? frames : -1;
}

int startLatency(int count, const QString& folder, bool cold) {
    gst_init(nullptr, nullptr);
    auto encoder = makeEncoder();
    if (!encoder) return 1;
    auto setUp = [&] {
        encoder->setVideoInput(QStringLiteral("TEST://ball"));
        encoder->setAudioInput(QStringLiteral("Device://default"));
        encoder->setProfile(kelm::EncoderProfile::builtInText(kelm::BuiltInProfile::Tv));
    };
    setUp();
    if (!cold && !encoder->prepareToEncode().ok()) return 1;
    std::printf("%-6s %12s %14s %12s\n", "start", "start() ms", "first sample", "stop() ms");
    double worst = 0;
    for (int i = 0; i < count; ++i) {
        if (cold) {
            encoder->resetSourceGroup();
            setUp();
        }
        // A different phase against the picture and the ticks each time.
        waitFor([] { return false; }, 300 + QRandomGenerator::global()->bounded(1000));
        const QString file = QDir(folder).filePath(QStringLiteral("start%1.wmv").arg(i));
        encoder->setOutputFileName(file);
        const GstClockTime called = systemNow();
        const kelm::EncoderStatus status = encoder->start();
        const GstClockTime returned = systemNow();
        if (!status.ok()) {
            std::fprintf(stderr, "start %d failed: %s\n", i, qPrintable(status.description));
            return 1;
        }
        waitFor([] { return false; }, 2500);
        const GstClockTime stopCalled = systemNow();
        encoder->stop();
        const GstClockTime stopped = systemNow();
        // The file holds the pictures from its first sample to the stop: the
        // time between the calls that the file lacks is how late it began.
        const int frames = videoFrames(file);
        if (frames <= 0) {
            std::fprintf(stderr, "start %d: no pictures in %s\n", i, qPrintable(file));
            return 1;
        }
        const double firstSampleMs = (stopCalled - called) / 1e6 - frames * 40.0;
        worst = std::max(worst, std::abs(firstSampleMs));
        std::printf("%-6d %12.1f %+11.0f ms %12.1f\n", i, (returned - called) / 1e6, firstSampleMs,
                    (stopped - stopCalled) / 1e6);
    }
    std::printf("largest distance of the first sample from the start call: %.0f ms (+-40)\n",
                worst);
    return 0;
}

int cycles(int count, const QString& folder) {
    auto encoder = makeEncoder();
    if (!encoder) return 1;
    encoder->setVideoInput(QStringLiteral("TEST://ball"));
    encoder->setAudioInput(QStringLiteral("TEST://"));
    encoder->setProfile(kelm::EncoderProfile::builtInText(kelm::BuiltInProfile::Tv));
    if (!encoder->prepareToEncode().ok()) return 1;
    Usage afterTen;
    for (int i = 0; i < count; ++i) {
        encoder->setOutputFileName(QDir(folder).filePath(QStringLiteral("cycle%1.wmv").arg(i % 2)));
        if (!encoder->start().ok()) {
            std::fprintf(stderr, "cycle %d: start failed\n", i);
            return 1;
        }
        waitFor([] { return false; }, 50);
        encoder->stop();
        if (i == 9) afterTen = usage();
    }
    waitFor([] { return false; }, 1000);
    const Usage end = usage();
    std::printf("after 10 cycles: %d fds, %d threads, %lld kB resident\n", afterTen.fds,
                afterTen.threads, afterTen.rssKb);
    std::printf("after %d cycles: %d fds, %d threads, %lld kB resident\n", count, end.fds,
                end.threads, end.rssKb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 6 && args[1] == QStringLiteral("record"))
        return record(args[2], args[3], args[4].toInt(), args[5]);
    if ((args.size() == 4 || args.size() == 5) && args[1] == QStringLiteral("startlatency"))
        return startLatency(args[2].toInt(), args[3],
                            args.size() == 5 && args[4] == QStringLiteral("cold"));
    if (args.size() == 4 && args[1] == QStringLiteral("cycles"))
        return cycles(args[2].toInt(), args[3]);
    std::fputs(
        "usage: kelm_engine_bench record VIDEO AUDIO SECONDS OUT.wmv | cycles COUNT FOLDER | "
        "startlatency COUNT FOLDER [cold]\n",
        stderr);
    return 2;
}
