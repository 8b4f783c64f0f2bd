// Where a "1X" recording's first sample lies against its start second, found
// the way an operator would check it: a tone is played into the sound server
// at a known wall time, and its place in the recording says when the
// recording began.
//
// The tone goes through `pacat` with a 10 ms buffer into the sound server's
// null sink, whose monitor KELM records. A capture client sees it about 1 to
// 3 ms after the write (measured with a reader of the monitor that stamps the
// tone's arrival), so the offsets printed are short of the truth by that much.
//
// The tone is found by its presentation time, as a player plays it: the WMA
// decoder gives no sound for the stream's first two packets, so counting the
// decoded samples from the first one would place the tone about 90 ms early.
#include "BenchWindow.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "RecordingControl.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "recorder/Clock.h"
#include "recorder/TimeText.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr qint64 kToneAfterStartMs = 500;

QByteArray toneBytes(int ms) {
    const int frames = kRate * ms / 1000;
    QByteArray bytes(frames * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<qint16*>(bytes.data());
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(16000 * std::sin(2 * M_PI * 1000.0 * i / kRate));
        out[2 * i] = v;
        out[2 * i + 1] = v;
    }
    return bytes;
}

// Seconds from the recording's start to the first loud sample, or -1. The
// resampler pads the sound to its first time stamp, so sample n is heard at
// n / rate.
double toneOnsetSeconds(const QString& recording) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), recording,
                  QStringLiteral("-vn"), QStringLiteral("-af"),
                  QStringLiteral("aresample=async=1:first_pts=0"), QStringLiteral("-ac"),
                  QStringLiteral("1"), QStringLiteral("-ar"), QString::number(kRate),
                  QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(30000)) return -1;
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    for (qsizetype i = 0; i < pcm.size() / 2; ++i) {
        if (std::abs(int(samples[i])) > 4000) return double(i) / kRate;
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    kelm::BenchWindow bench;
    bench.keepFolderWhenAsked();
    if (!bench.start()) return 1;
    kelm::MainWindow& window = bench.window();
    kelm::runEventsFor(1500);

    QProcess player;
    player.start(
        QStringLiteral("pacat"),
        {QStringLiteral("--playback"), QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
         QStringLiteral("--rate=48000"), QStringLiteral("--channels=2"),
         QStringLiteral("--latency-msec=10"), QStringLiteral("--device=kelm")});
    if (!player.waitForStarted(5000)) {
        QTextStream(stderr) << "pacat does not start\n";
        return 1;
    }
    const QByteArray tone = toneBytes(200);
    kelm::MainForm& f = window.form();
    QTextStream out(stdout);
    out << "run  start second  first sample after it  file\n";
    std::vector<qint64> offsets;
    for (int run = 1; run <= runs; ++run) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime start = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(),
                                                            now.time().second()))
                                    .addSecs(4);
        window.toolbarClick(kelm::Button::btn1x);
        f.times.start->setText(kelm::TimeText::format(start.time()));
        f.times.duration->setText(QStringLiteral("00:00:03"));
        window.timeFields().durationLeave();
        window.recordingControl().toggleRecording();

        qint64 toneWrittenMs = 0;
        QTimer::singleShot(int(QDateTime::currentDateTime().msecsTo(start) + kToneAfterStartMs),
                           Qt::PreciseTimer, &app, [&] {
                               toneWrittenMs = QDateTime::currentMSecsSinceEpoch();
                               player.write(tone);
                           });
        kelm::runEventsFor(QDateTime::currentDateTime().msecsTo(start) + 4500);
        const QString recording = window.encoder()->outputFileName();
        const double onset = toneOnsetSeconds(recording);
        if (onset < 0 || toneWrittenMs == 0) {
            out << run << "    no tone found in " << recording << "\n";
            continue;
        }
        // The first sample's wall time: the tone's time less its place in the file.
        const qint64 firstSampleMs = toneWrittenMs - qint64(std::llround(onset * 1000));
        const qint64 offset = firstSampleMs - start.toMSecsSinceEpoch();
        offsets.push_back(offset);
        out << run << "    " << start.time().toString(QStringLiteral("HH:mm:ss")) << "      "
            << offset << " ms   " << QFileInfo(recording).fileName() << "\n";
        out.flush();
        kelm::runEventsFor(1500);
    }
    player.closeWriteChannel();
    player.waitForFinished(2000);
    if (offsets.empty()) return 1;
    const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
    out << "first sample after the start second: " << *lo << " to " << *hi << " ms over "
        << offsets.size()
        << " starts (the tone's way into the sound server, 1 to 3 ms, comes on top)\n";
    return 0;
}
