// Times `tiplon` writing the longest timecode (86,400 entries) against writing
// the same bytes with a single write() call, and prints both with their ratio.
// Two more lines give the parts of tiplon's time: generateTimecode inside this
// process, and starting a program that does nothing (/bin/true), which is the
// system's own cost of any program KELM starts.
//
//   subtitle_bench [--runs N] [--dir FOLDER] [--tiplon PROGRAM]
//
// FOLDER (default: a new temporary folder) should be on the disk the media
// folder lives on. Exits 1 when tiplon misses its goals: a median under
// 0.5 s and within 5 times the single write.

#include "subtitle/Timecode.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoalSeconds = 0.5;
constexpr double kGoalRatio = 5.0;

struct Figures {
    double medianSeconds = 0;
    double bestSeconds = 0;
};

Figures summarize(std::vector<double> seconds) {
    std::sort(seconds.begin(), seconds.end());
    return {seconds[seconds.size() / 2], seconds.front()};
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// One run of the program, start to exit. Returns a negative value on failure.
double timeProgram(const QByteArray& program, const std::vector<QByteArray>& arguments) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.constData()));
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);

    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, program.constData(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    const double elapsed = secondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

double timeSingleWrite(const QByteArray& path, const QByteArray& bytes) {
    const Clock::time_point start = Clock::now();
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    const bool closed = ::close(fd) == 0;
    const double elapsed = secondsSince(start);
    return written == bytes.size() && closed ? elapsed : -1;
}

void printFigures(const char* what, const Figures& figures) {
    std::printf("%-34s median %8.2f ms   best %8.2f ms\n", what, figures.medianSeconds * 1000,
                figures.bestSeconds * 1000);
}

int fail(const char* message) {
    std::fprintf(stderr, "subtitle_bench: %s\n", message);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 20;
    QString folder;
    QByteArray program = KELM_PROGRAM_DIR "/tiplon";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--dir") == 0)
            folder = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--tiplon") == 0)
            program = argv[i + 1];
        else
            return fail("usage: subtitle_bench [--runs N] [--dir FOLDER] [--tiplon PROGRAM]");
    }
    QTemporaryDir scratch(folder.isEmpty()
                              ? QDir::tempPath() + QStringLiteral("/subtitle-bench-XXXXXX")
                              : folder + QStringLiteral("/subtitle-bench-XXXXXX"));
    if (!scratch.isValid()) return fail("cannot create a scratch folder");

    const QString recording =
        scratch.filePath(QStringLiteral("bench-20061231-235959-235959-TV512.wmv"));
    const QString subtitle = kelm::subtitlePathFor(recording);
    {
        QFile file(recording);
        if (!file.open(QIODevice::WriteOnly)) return fail("cannot create the recording");
    }
    const QDate date(2006, 12, 31);
    const std::vector<QByteArray> arguments{QFile::encodeName(recording), "86399", "86399",
                                            "2006.12.31.", "M1"};

    // One untimed run of each, so every timed run finds warm caches.
    if (timeProgram(program, arguments) < 0) return fail("tiplon failed; is it built?");
    QFile produced(subtitle);
    if (!produced.open(QIODevice::ReadOnly)) return fail("tiplon wrote no subtitle file");
    const QByteArray bytes = produced.readAll();
    produced.close();
    if (bytes.count("-->") != 86400) return fail("the subtitle file does not hold 86,400 entries");
    const QByteArray baselinePath =
        QFile::encodeName(scratch.filePath(QStringLiteral("baseline.sub")));

    std::vector<double> tiplonSeconds;
    std::vector<double> inProcessSeconds;
    std::vector<double> writeSeconds;
    std::vector<double> emptyProgramSeconds;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(subtitle);
        const double tiplon = timeProgram(program, arguments);
        if (tiplon < 0) return fail("tiplon failed");
        tiplonSeconds.push_back(tiplon);

        QFile::remove(subtitle);
        const Clock::time_point start = Clock::now();
        if (!kelm::generateTimecode(recording, 86399, 86399, date, QStringLiteral("M1"))
                 .succeeded())
            return fail("generateTimecode failed");
        inProcessSeconds.push_back(secondsSince(start));

        ::unlink(baselinePath.constData());
        const double single = timeSingleWrite(baselinePath, bytes);
        if (single < 0) return fail("the single write failed");
        writeSeconds.push_back(single);

        const double empty = timeProgram("/bin/true", {});
        if (empty >= 0) emptyProgramSeconds.push_back(empty);
    }

    const Figures tiplon = summarize(tiplonSeconds);
    const Figures inProcess = summarize(inProcessSeconds);
    const Figures single = summarize(writeSeconds);
    const double ratio = tiplon.medianSeconds / single.medianSeconds;
    std::printf("timecode of 86,400 entries, %lld bytes, %d runs, in %s\n",
                static_cast<long long>(bytes.size()), runs,
                QFile::encodeName(scratch.path()).constData());
    printFigures("tiplon (program, start to exit)", tiplon);
    printFigures("generateTimecode (in process)", inProcess);
    printFigures("one write() of the same bytes", single);
    if (!emptyProgramSeconds.empty())
        printFigures("a program doing nothing (/bin/true)", summarize(emptyProgramSeconds));
    std::printf("ratio tiplon / one write (medians): %.2f\n", ratio);

    const bool met = tiplon.medianSeconds < kGoalSeconds && ratio <= kGoalRatio;
    std::printf("goal (under %.1f s, within %.0fx): %s\n", kGoalSeconds, kGoalRatio,
                met ? "met" : "MISSED");
    return met ? 0 : 1;
}
