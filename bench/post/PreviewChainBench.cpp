// The play button's preview chain on a one-hour recording that is still being
// written, timed step by step inside KELM (copy, index, subtitle job, player
// start), then each outside program's CPU time when run on its own.
//
//   post_chain_bench [--dir FOLDER] [--runs N]
//
// The recording is made once with ffmpeg and kept in FOLDER (default
// /tmp/kelm-post-bench): one minute of WMV2 512 kbit/s 384x288 25 fps with
// WMA2 64 kbit/s stereo, repeated to an hour and written as a stream (so its
// header still says "being written" and it has no index), with its last
// packet torn. KELM runs on the test harness's window with a fake encoder
// that "records" that file; the scripts, tiplon and wmindexer are the real
// ones. Exits 1 when a run misses 5 s or the indexed copy does not check out.

#include "Harness.h"
#include "PostProcessing.h"
#include "PreviewChain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <vector>

extern char** environ;

using namespace kelm;

namespace {

constexpr double kGoalSeconds = 5.0;
constexpr int kRecordingSeconds = 3600;
// The GUID of ASF's simple index object, as it lies in the file.
const QByteArray kSimpleIndexGuid = QByteArray::fromHex("90080033B1E5CF1189F400A0C90349CB");

bool runQuietly(const QString& program, const QStringList& arguments,
                const QString& outputFile = QString()) {
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    if (!outputFile.isEmpty()) p.setStandardOutputFile(outputFile);
    p.start(program, arguments);
    if (!p.waitForFinished(30 * 60 * 1000) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
        return false;
    }
    return true;
}

// The one-hour recording, made once.
QString oneHourRecording(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("one-hour-growing.wmv"));
    if (QFile::exists(path)) return path;
    std::printf("making the one-hour recording once in %s ...\n", qPrintable(folder));
    std::fflush(stdout);
    const QString minute = QDir(folder).filePath(QStringLiteral("minute.wmv"));
    if (!runQuietly(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-y"),
                     QStringLiteral("-v"),
                     QStringLiteral("error"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=384x288:rate=25"),
                     QStringLiteral("-f"),
                     QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("sine=frequency=440:sample_rate=44100"),
                     QStringLiteral("-t"),
                     QStringLiteral("60"),
                     QStringLiteral("-c:v"),
                     QStringLiteral("wmv2"),
                     QStringLiteral("-b:v"),
                     QStringLiteral("512k"),
                     QStringLiteral("-g"),
                     QStringLiteral("200"),
                     QStringLiteral("-c:a"),
                     QStringLiteral("wmav2"),
                     QStringLiteral("-b:a"),
                     QStringLiteral("64k"),
                     QStringLiteral("-ac"),
                     QStringLiteral("2"),
                     minute}))
        return QString();
    const QString list = QDir(folder).filePath(QStringLiteral("list.txt"));
    QFile listFile(list);
    if (!listFile.open(QIODevice::WriteOnly)) return QString();
    for (int i = 0; i < kRecordingSeconds / 60; ++i) listFile.write("file 'minute.wmv'\n");
    listFile.close();
    // Written as a stream: the header is never completed and no index follows,
    // as in a recording that is still being written.
    const QString partial = path + QStringLiteral(".part");
    if (!runQuietly(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                     QStringLiteral("concat"), QStringLiteral("-safe"), QStringLiteral("0"),
                     QStringLiteral("-i"), list, QStringLiteral("-c"), QStringLiteral("copy"),
                     QStringLiteral("-f"), QStringLiteral("asf"), QStringLiteral("pipe:1")},
                    partial))
        return QString();
    // A stream still gets an index at its end; a recording being written has
    // none yet. Then the copy stops inside the last packet.
    QFile torn(partial);
    if (!torn.open(QIODevice::ReadWrite)) return QString();
    const qint64 tailBytes = std::min<qint64>(torn.size(), 4 * 1024 * 1024);
    torn.seek(torn.size() - tailBytes);
    const qsizetype index = torn.read(tailBytes).lastIndexOf(kSimpleIndexGuid);
    const qint64 dataEnd = index >= 0 ? torn.size() - tailBytes + index : torn.size();
    if (!torn.resize(dataEnd - 1234) || !QFile::rename(partial, path)) return QString();
    QFile::remove(minute);
    QFile::remove(list);
    return path;
}

struct StepTimes {
    double copySeconds = -1;
    double indexSeconds = -1;
    double subtitleSeconds = -1;
    double playerSeconds = -1;
    double totalSeconds = -1;
};

// One press of the play button; times from the click to each step's log line
// and to the stand-in player's note.
StepTimes pressPlay(test::Harness& h, const QString& playerNote) {
    QFile::remove(playerNote);
    QElapsedTimer clock;
    std::vector<std::pair<double, QString>> lines;
    const QMetaObject::Connection c = QObject::connect(
        &h.window->log(), &EventLog::boxAppended,
        [&](const QString& text) { lines.emplace_back(clock.nsecsElapsed() / 1e9, text); });
    clock.start();
    h.form().playPreview->click();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    StepTimes t;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QFile::exists(playerNote)) {
            t.totalSeconds = clock.nsecsElapsed() / 1e9;
            loop.quit();
        } else if (clock.elapsed() > 120000 || !h.window->postProcessing().previewChain().busy()) {
            if (!h.window->postProcessing().previewChain().busy() && clock.elapsed() < 2000)
                return;  // the chain has ended; the player's note may be a moment late
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    QObject::disconnect(c);
    // The first line with `part` after `after` seconds (the live job may log
    // its own end meanwhile).
    const auto at = [&](const char* part, double after) {
        for (const auto& [seconds, text] : lines) {
            if (seconds >= after && text.contains(QString::fromUtf8(part))) return seconds;
        }
        return -1.0;
    };
    const double copied = at("Fájl másolása befejeződött", 0);
    const double indexed = at("indexelése befejeződöt.", copied);
    const double subtitled = at("Timecode generálása befejeződött.", indexed);
    t.copySeconds = copied;
    t.indexSeconds = indexed - copied;
    t.subtitleSeconds = subtitled - indexed;
    t.playerSeconds = t.totalSeconds - subtitled;
    if (copied < 0 || indexed < 0 || subtitled < 0 || t.totalSeconds < 0) {
        std::fprintf(stderr, "the chain did not reach the player:\n%s\n",
                     qPrintable(h.window->log().boxText()));
        t.totalSeconds = -1;
    }
    return t;
}

struct Cost {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    int status = -1;
};

// Runs a program to its end as a child, for its CPU time (user + system).
Cost measure(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    Cost cost;
    QElapsedTimer wall;
    wall.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return cost;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return cost;
    cost.wallSeconds = wall.nsecsElapsed() / 1e9;
    cost.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return cost;
}

QByteArray toolOutput(const QString& program, const QStringList& arguments, QByteArray* err) {
    QProcess p;
    p.start(program, arguments);
    p.waitForFinished(10 * 60 * 1000);
    *err = p.readAllStandardError().trimmed();
    return p.readAllStandardOutput().trimmed();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString folder = QStringLiteral("/tmp/kelm-post-bench");
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--dir") == 0)
            folder = QString::fromLocal8Bit(argv[i + 1]);
        else if (qstrcmp(argv[i], "--runs") == 0)
            runs = std::max(1, atoi(argv[i + 1]));
    }
    QDir().mkpath(folder);
    const QString recording = oneHourRecording(folder);
    if (recording.isEmpty()) return 1;
    std::printf("recording: %s, %.1f MB\n", qPrintable(recording),
                QFileInfo(recording).size() / 1e6);

    // KELM's program folder beside the recording, on the same disk.
    const QString programDir = QDir(folder).filePath(QStringLiteral("program"));
    QDir(programDir).removeRecursively();
    QDir().mkpath(programDir);
    test::Harness h;
    h.folder = programDir;
    for (const char* tool : {"tiplon", "wmindexer"})
        QFile::copy(QStringLiteral(KELM_PROGRAM_DIR "/") + QLatin1String(tool),
                    h.file(QLatin1String(tool)));
    const QString playerNote = h.file(QStringLiteral("player-args"));
    h.write(QStringLiteral("player"),
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/player-args\"\n");
    QFile::setPermissions(h.file(QStringLiteral("player")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString media = h.file(QStringLiteral("Media"));
    h.write(QStringLiteral("kelm.ini"),
            (QStringLiteral("Teszt TV\r\nteszttv\r\n\r\n") + h.file(QStringLiteral("player")) +
             QStringLiteral("\r\n1\r\n") + media + QStringLiteral("\r\n"))
                .toUtf8());
    h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                 QStringLiteral("00:00:00"));
    h.start();
    h.encoder().writeFiles = false;
    h.window->toolbarClick(Button::btnMost);
    h.form().times.duration->setText(QStringLiteral("01:00:00"));
    h.window->timeFields().durationLeave();
    h.window->recordingControl().toggleRecording();
    h.settle();
    const QString output = h.encoder().outputFileName();
    QDir().mkpath(media);
    QFile::remove(output);
    if (::link(QFile::encodeName(recording).constData(), QFile::encodeName(output).constData()) !=
            0 &&
        !QFile::copy(recording, output)) {
        std::fprintf(stderr, "cannot place the recording at %s\n", qPrintable(output));
        return 1;
    }
    h.clock.advanceMs((kRecordingSeconds - 1) * 1000LL);  // the recording still runs

    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("\npreview chain, seconds from the click (/proc/loadavg: %s)\n",
                loadavg.readAll().trimmed().constData());
    std::printf("run   copy  index  subtitles  player-start  total\n");
    bool ok = true;
    std::vector<double> totals;
    for (int run = 1; run <= runs; ++run) {
        const StepTimes t = pressPlay(h, playerNote);
        if (t.totalSeconds < 0) return 1;
        std::printf("%3d  %5.2f  %5.2f  %9.2f  %12.3f  %5.2f\n", run, t.copySeconds, t.indexSeconds,
                    t.subtitleSeconds, t.playerSeconds, t.totalSeconds);
        totals.push_back(t.totalSeconds);
        ok = ok && t.totalSeconds <= kGoalSeconds;
    }
    std::sort(totals.begin(), totals.end());
    std::printf("median total %.2f s (goal %.1f s)\n", totals[totals.size() / 2], kGoalSeconds);

    // The indexed copy: its length, and a clean decode after a seek.
    const QString indexed = media + QStringLiteral("/preview-teszttv--idx.wmv");
    QByteArray err;
    const double duration =
        toolOutput(QStringLiteral("ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                    QStringLiteral("format=duration"), QStringLiteral("-of"),
                    QStringLiteral("csv=p=0"), indexed},
                   &err)
            .toDouble();
    toolOutput(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                QStringLiteral("3540"), QStringLiteral("-i"), indexed, QStringLiteral("-f"),
                QStringLiteral("null"), QStringLiteral("-")},
               &err);
    std::printf("indexed copy: %.1f s by ffprobe; decoding its last minute after a seek: %s\n",
                duration, err.isEmpty() ? "no error" : err.constData());
    ok = ok && duration >= kRecordingSeconds - 60 && err.isEmpty();

    // Each outside program on its own, as a child, for its CPU time.
    const std::string copy =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral("cpu-copy.wmv"))).toStdString();
    const std::string index =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral("cpu-copy-idx.wmv"))).toStdString();
    const std::string rec = QFile::encodeName(recording).toStdString();
    const std::string tools = QFile::encodeName(programDir).toStdString();
    const std::pair<const char*, std::vector<std::string>> programs[] = {
        {"cp (copy script's work)", {"/bin/cp", "-f", "--", rec, copy}},
        {"wmindexer", {tools + "/wmindexer", "-i", copy, "-o", index}},
        {"tiplon, 3600 s", {tools + "/tiplon", index, "32400", "3599", "2026.12.07", "teszttv"}},
        {"/bin/sh, empty script", {"/bin/sh", "-c", ":"}},
    };
    std::printf("\noutside programs on their own     wall s   CPU s (user+sys)\n");
    for (const auto& [name, command] : programs) {
        const Cost cost = measure(command);
        std::printf("%-32s %7.3f  %7.3f%s\n", name, cost.wallSeconds, cost.cpuSeconds,
                    cost.status == 0 ? "" : "  (failed)");
        ok = ok && cost.status == 0;
    }
    for (const std::string& f : {copy, index}) {
        QFile::remove(QFile::decodeName(f.c_str()));
    }
    return ok ? 0 : 1;
}
