// Sealing one hour of the TV profile's recording: the file is as large as an
// hour at the profile's bit rates with the container's overhead, and is
// hashed and sealed as KELM does when a recording closes, on the seal
// worker's idle-priority thread. Twice: with the file still in the page
// cache (as it is just after the recording closed) and read back from the
// disk.
//
//   seal_bench [--dir FOLDER] [--runs N]

#include "encoder/EncoderProfile.h"
#include "recorder/MediaStorage.h"
#include "seal/DaySeal.h"
#include "seal/SealWorker.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <random>

using namespace kelm;

namespace {

// Bytes that do not compress or repeat, as encoded media does not.
bool writeFile(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    std::mt19937_64 random(42);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 written = 0; written < bytes;) {
        auto* words = reinterpret_cast<quint64*>(chunk.data());
        for (qsizetype i = 0; i < chunk.size() / 8; ++i) words[i] = random();
        const qint64 n = std::min<qint64>(chunk.size(), bytes - written);
        if (file.write(chunk.constData(), n) != n) return false;
        written += n;
    }
    return file.flush() && ::fsync(file.handle()) == 0;
}

// Drops the file's pages from the page cache: the next read comes from the disk.
void dropFromCache(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// One seal of the file on the worker, as SealControl submits it; ms.
qint64 sealOnWorker(SealWorker& worker, const QString& folder, const QString& path, int day) {
    QElapsedTimer timer;
    timer.start();
    DaySeal::Outcome outcome;
    worker.submit([&]() -> SealWorker::Reply {
        outcome = DaySeal::append(
            folder, QStringLiteral("bench"), QDate(2026, 12, day),
            {DaySeal::Entry::file(path, QDateTime::currentDateTimeUtc(), 3'600'000)},
            worker.cancelFlag());
        return {};
    });
    if (!worker.finish(600'000) || !outcome.ok()) {
        std::fprintf(stderr, "sealing failed: %s\n", qPrintable(outcome.problems.join(u' ')));
        return -1;
    }
    return timer.elapsed();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QString folder;
    int runs = 3;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--dir")) folder = args[i + 1];
        if (args[i] == QStringLiteral("--runs")) runs = args[i + 1].toInt();
    }
    QTemporaryDir own(QDir::currentPath() + QStringLiteral("/seal-bench-XXXXXX"));
    if (folder.isEmpty()) folder = own.path();

    EncoderProfile profile;
    if (!EncoderProfile::parse(EncoderProfile::textForVideoSource({}), &profile).ok()) return 1;
    const qint64 bytes =
        RecordingBudget::plannedBytes(profile.videoBitrate, profile.audioBitrate, 3'600'000);
    const QString path =
        QDir(folder).filePath(QStringLiteral("bench-20261207-200000-010000-TV512.wmv"));
    std::printf("TV profile: %lld + %lld bit/s; one hour with overhead: %.1f MB in %s\n",
                static_cast<long long>(profile.videoBitrate),
                static_cast<long long>(profile.audioBitrate), double(bytes) / 1e6,
                qPrintable(folder));
    if (!writeFile(path, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    SealWorker worker;
    for (int run = 1; run <= runs; ++run) {
        const qint64 warm = sealOnWorker(worker, folder, path, 2 * run);
        dropFromCache(path);
        const qint64 cold = sealOnWorker(worker, folder, path, 2 * run + 1);
        if (warm < 0 || cold < 0) return 1;
        std::printf(
            "run %d: sealed in %lld ms from the page cache (%.0f MB/s), %lld ms from the "
            "disk (%.0f MB/s)\n",
            run, static_cast<long long>(warm),
            double(bytes) / 1e3 / double(std::max<qint64>(1, warm)), static_cast<long long>(cold),
            double(bytes) / 1e3 / double(std::max<qint64>(1, cold)));
    }
    QFile::remove(path);
    return 0;
}
