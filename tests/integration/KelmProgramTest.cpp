#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <tuple>

// The real kelm program, headless, with the real engine and the sound server:
// what a broadcaster's timer does on a server.
namespace {

QString programDir() {
    return QStringLiteral(KELM_PROGRAM_DIR);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeText(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

double probeDuration(const QString& file) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration"), QStringLiteral("-of"),
                 QStringLiteral("default=nw=1:nk=1"), file});
    probe.waitForFinished(30000);
    return probe.readAllStandardOutput().trimmed().toDouble();
}

class KelmProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QDir(programDir()).filePath(QStringLiteral("kelm")),
                                dir.filePath(QStringLiteral("kelm"))));
        QFile::setPermissions(dir.filePath(QStringLiteral("kelm")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QImage card(320, 240, QImage::Format_RGB32);
        card.fill(Qt::darkBlue);
        QPainter(&card).fillRect(40, 40, 120, 80, Qt::yellow);
        ASSERT_TRUE(card.save(dir.filePath(QStringLiteral("card.png"))));
        writeText(dir.filePath(QStringLiteral("kelm.ini")),
                  QStringLiteral("Teszt TV\r\nteszttv\r\n") +
                      dir.filePath(QStringLiteral("card.png")) +
                      QStringLiteral("\r\n/usr/bin/mpv\r\n1\r\n") +
                      dir.filePath(QStringLiteral("Media")) + QStringLiteral("\r\n"));
        writeText(
            dir.filePath(QStringLiteral("teszttv.ini")),
            QStringLiteral(
                "\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n"));
    }
    QTemporaryDir dir;
};

TEST_F(KelmProgram, CommandLineRecordingRecordsLogsAndExitsByItself) {
    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelm.setProcessEnvironment(env);
    kelm.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    kelm.start(dir.filePath(QStringLiteral("kelm")), {QStringLiteral("00:00:05")});
    ASSERT_TRUE(kelm.waitForFinished(40000)) << "kelm did not end by itself";
    const qint64 elapsedMs = clock.elapsed();
    EXPECT_EQ(kelm.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(kelm.exitCode(), 0);

    const QStringList logs =
        QDir(dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    const QString log =
        QString::fromUtf8(readAll(dir.filePath(QStringLiteral("Log/")) + logs.first()));
    for (const char* line :
         {"Paraméteres indítás: 00:00:05", "Encoder indítása - MOST",
          "Kódolás befejezve. Fájl neve: ", "Esemény napló kiírása. Program befejezése."})
        EXPECT_TRUE(log.contains(QString::fromUtf8(line))) << line << "\n" << log.toStdString();

    const QStringList files =
        QDir(dir.filePath(QStringLiteral("Media"))).entryList({QStringLiteral("*.wmv")});
    ASSERT_EQ(files.size(), 1) << log.toStdString();
    const QRegularExpressionMatch name =
        QRegularExpression(QStringLiteral("^teszttv-\\d{8}-\\d{6}-0000(\\d\\d)-R64\\.wmv$"))
            .match(files.first());
    ASSERT_TRUE(name.hasMatch()) << files.first().toStdString();
    // Sources that answer late (a loaded machine) start the file later, for
    // the rest of the planned length: its name and the log say so.
    const int named = name.captured(1).toInt();
    EXPECT_LE(named, 5);
    if (named < 5) {
        EXPECT_GE(named, 3);
        EXPECT_TRUE(log.contains(QStringLiteral("A források csak "))) << log.toStdString();
    }
    const double seconds = probeDuration(dir.filePath(QStringLiteral("Media/")) + files.first());
    EXPECT_NEAR(seconds, named, 1.0);
    // Start-up, 5 seconds of recording, and at most 3 seconds to notice the end and exit.
    EXPECT_LT(elapsedMs, 5000 + 3000 + 3000) << elapsedMs;
    std::printf("kelm 00:00:05 ended after %lld ms, file %.2f s\n",
                static_cast<long long>(elapsedMs), seconds);
}

// kelmcheck on the media folder a timer's recording leaves: everything
// holds; one byte changed or the day's seal gone, it says so and exits 1.
TEST_F(KelmProgram, RecordingIsSealedAndKelmcheckFindsEveryChange) {
    ASSERT_TRUE(QFile::copy(QDir(programDir()).filePath(QStringLiteral("tiplon")),
                            dir.filePath(QStringLiteral("tiplon"))));
    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelm.setProcessEnvironment(env);
    kelm.start(dir.filePath(QStringLiteral("kelm")), {QStringLiteral("00:00:05")});
    ASSERT_TRUE(kelm.waitForFinished(40000));
    ASSERT_EQ(kelm.exitCode(), 0);

    const QString media = dir.filePath(QStringLiteral("Media"));
    const auto kelmcheck = [&](const QStringList& extra = {}) {
        QProcess check;
        check.start(QDir(programDir()).filePath(QStringLiteral("kelmcheck")),
                    QStringList{media} + extra);
        EXPECT_TRUE(check.waitForFinished(30000));
        return std::pair{check.exitCode(), QString::fromUtf8(check.readAllStandardOutput() +
                                                             check.readAllStandardError())};
    };
    const QStringList seals = QDir(media).entryList({QStringLiteral("*.sha256")});
    ASSERT_EQ(seals.size(), 1);
    const QStringList recordings = QDir(media).entryList({QStringLiteral("*.wmv")});
    ASSERT_EQ(recordings.size(), 1);
    const QString recording = recordings.first();
    const QString seal = QString::fromUtf8(readAll(QDir(media).filePath(seals.first())));
    EXPECT_TRUE(seal.contains(QStringLiteral("  ") + recording + u'\n')) << seal.toStdString();
    EXPECT_TRUE(
        seal.contains(QStringLiteral("  ") + recording.chopped(4) + QStringLiteral(".sub\n")))
        << "tiplon's subtitle file, sealed once it was done\n"
        << seal.toStdString();

    auto [status, output] = kelmcheck();
    EXPECT_EQ(status, 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Ítélet: RENDBEN"))) << output.toStdString();

    {
        QFile file(QDir(media).filePath(recording));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        char c = 0;
        ASSERT_TRUE(file.getChar(&c));
        file.seek(file.size() / 2);
        file.putChar(char(c ^ 0x20));
    }
    std::tie(status, output) = kelmcheck();
    EXPECT_EQ(status, 1) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Megváltozott: ") + recording))
        << output.toStdString();

    ASSERT_TRUE(QFile::remove(QDir(media).filePath(seals.first())));
    std::tie(status, output) = kelmcheck({recording.section(u'-', 1, 1)});
    EXPECT_EQ(status, 1) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("Nincs lepecsételve: ") + recording))
        << output.toStdString();

    std::tie(status, output) = kelmcheck({QStringLiteral("2026-12-07")});
    EXPECT_EQ(status, 2) << output.toStdString();
    QProcess missing;
    missing.start(QDir(programDir()).filePath(QStringLiteral("kelmcheck")),
                  {dir.filePath(QStringLiteral("nincs"))});
    ASSERT_TRUE(missing.waitForFinished(10000));
    EXPECT_EQ(missing.exitCode(), 2);
}

TEST_F(KelmProgram, TerminationSignalFinalisesTheRecordingAndSavesTheState) {
    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelm.setProcessEnvironment(env);
    kelm.start(dir.filePath(QStringLiteral("kelm")), {QStringLiteral("01:00:00")});
    ASSERT_TRUE(kelm.waitForStarted());
    QThread::msleep(4000);
    kelm.terminate();
    ASSERT_TRUE(kelm.waitForFinished(20000));
    EXPECT_EQ(kelm.exitCode(), 0);
    const QStringList files =
        QDir(dir.filePath(QStringLiteral("Media"))).entryList({QStringLiteral("*.wmv")});
    ASSERT_EQ(files.size(), 1);
    EXPECT_GT(probeDuration(dir.filePath(QStringLiteral("Media/")) + files.first()), 1.0);
    const QStringList logs =
        QDir(dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    const QString log =
        QString::fromUtf8(readAll(dir.filePath(QStringLiteral("Log/")) + logs.first()));
    EXPECT_TRUE(log.contains(QStringLiteral("Beállítások mentése: ")));
}

// What a systemd unit of type "notify" with a watchdog hears from a timer's
// recording: ready once up, the recording and its time, and the watchdog
// fed while the file grows.
TEST_F(KelmProgram, TellsTheServiceManagerItIsUpWhatItRecordsAndThatItIsSound) {
    const QString socketPath = dir.filePath(QStringLiteral("notify"));
    const int manager = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray pathBytes = socketPath.toLocal8Bit();
    ASSERT_LT(pathBytes.size(), static_cast<qsizetype>(sizeof address.sun_path));
    std::memcpy(address.sun_path, pathBytes.constData(), static_cast<size_t>(pathBytes.size()));
    ASSERT_EQ(::bind(manager, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("NOTIFY_SOCKET"), socketPath);
    kelm.setProcessEnvironment(env);
    kelm.start(dir.filePath(QStringLiteral("kelm")), {QStringLiteral("00:00:05")});
    QList<QByteArray> heard;
    const auto listen = [&] {
        char buffer[4096];
        for (qint64 n; (n = ::recv(manager, buffer, sizeof buffer, 0)) >= 0;)
            heard.append(QByteArray(buffer, n));
    };
    while (!kelm.waitForFinished(200)) {
        listen();
        ASSERT_NE(kelm.state(), QProcess::NotRunning);
    }
    listen();
    ::close(manager);
    EXPECT_EQ(kelm.exitCode(), 0);

    ASSERT_FALSE(heard.isEmpty());
    EXPECT_EQ(heard.count("READY=1"), 1);
    const auto recordingStatus =
        std::find_if(heard.begin(), heard.end(), [](const QByteArray& message) {
            return message.startsWith("STATUS=Felvétel: teszttv-") &&
                   message.contains(".wmv, 00:00:");
        });
    ASSERT_NE(recordingStatus, heard.end()) << heard.join(' ').toStdString();
    // Fed from the status tick while the file grows: about once a second of
    // the five recorded.
    const auto firstRecording = recordingStatus - heard.begin();
    EXPECT_GE(heard.mid(firstRecording).count("WATCHDOG=1"), 3) << heard.join(' ').toStdString();
    std::printf("the service manager heard %lld messages, %lld of them WATCHDOG=1\n",
                static_cast<long long>(heard.size()),
                static_cast<long long>(heard.count("WATCHDOG=1")));
}

}  // namespace
