// `kelm <duration>` headless, with tiplon beside it: every recording gets its
// timecode subtitle file, and the media folder keeps no marker.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PostProgram : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        for (const char* program : {"kelm", "tiplon"}) {
            const QString target = dir.filePath(QLatin1String(program));
            ASSERT_TRUE(
                QFile::copy(QStringLiteral(KELM_PROGRAM_DIR "/") + QLatin1String(program), target));
        }
        // the picture of a radio channel
        ASSERT_EQ(
            QProcess::execute(QStringLiteral("ffmpeg"),
                              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                               QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("testsrc=size=320x240"), QStringLiteral("-frames:v"),
                               QStringLiteral("1"), dir.filePath(QStringLiteral("card.png"))}),
            0);
        media = dir.filePath(QStringLiteral("Média 'a' $HOME `x`"));
        QFile ini(dir.filePath(QStringLiteral("kelm.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write((QStringLiteral("Teszt TV\r\nteszttv\r\n") +
                   dir.filePath(QStringLiteral("card.png")) +
                   QStringLiteral("\r\n/usr/bin/mpv\r\n1\r\n") + media + QStringLiteral("\r\n"))
                      .toUtf8());
        QFile state(dir.filePath(QStringLiteral("teszttv.ini")));
        ASSERT_TRUE(state.open(QIODevice::WriteOnly));
        state.write(
            QString::fromUtf8(
                "\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n")
                .toUtf8());
    }
    QTemporaryDir dir;
    QString media;
};

TEST_P(PostProgram, CommandLineRecordingGetsItsSubtitleFileAndLeavesNoMarker) {
    const QString duration = QLatin1String(GetParam());
    const int seconds = duration.right(2).toInt();
    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelm.setProcessEnvironment(env);
    kelm.start(dir.filePath(QStringLiteral("kelm")), {duration});
    ASSERT_TRUE(kelm.waitForFinished(60000));
    EXPECT_EQ(kelm.exitCode(), 0);

    const QStringList logs =
        QDir(dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    const QString log =
        QString::fromUtf8(readAll(dir.filePath(QStringLiteral("Log/")) + logs.first()));
    EXPECT_EQ(log.count(QStringLiteral("Timecode generálás...")), 1) << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Timecode generálása befejeződött.")), 1)
        << log.toStdString();
    EXPECT_LT(log.indexOf(QStringLiteral("Timecode generálása befejeződött.")),
              log.indexOf(QStringLiteral("Esemény napló kiírása. Program befejezése.")));

    QStringList files = QDir(media).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    // The day's seal and report lie beside the recordings; nothing else does.
    EXPECT_EQ(files.removeAll(QDir(media).entryList({QStringLiteral("teszttv-*.sha256")}).value(0)),
              1);
    EXPECT_EQ(files.removeAll(QDir(media).entryList({QStringLiteral("*-jelentes.txt")}).value(0)),
              1);
    ASSERT_EQ(files.size(), 2) << files.join(u' ').toStdString();
    const QRegularExpressionMatch name =
        QRegularExpression(
            QStringLiteral("^teszttv-\\d{8}-(\\d\\d)(\\d\\d)(\\d\\d)-0000(\\d\\d)-R64\\.sub$"))
            .match(files.at(0));
    ASSERT_TRUE(name.hasMatch()) << files.at(0).toStdString();
    EXPECT_EQ(files.at(1), files.at(0).chopped(4) + QStringLiteral(".wmv"));
    const QByteArray sub = readAll(QDir(media).filePath(files.at(0)));
    // Sources that answer late (a loaded machine) move the start and shorten
    // the file, which its name and the log say; its subtitles follow the file.
    const int named = name.captured(4).toInt();
    if (named != seconds) {
        EXPECT_TRUE(log.contains(QStringLiteral("A források csak "))) << log.toStdString();
    }
    EXPECT_LE(named, seconds);
    EXPECT_EQ(sub.count("-->"), named + 1) << "one entry per second plus one";
    const QString start = name.captured(1) + u':' + name.captured(2) + u':' + name.captured(3);
    EXPECT_TRUE(sub.startsWith(("1\n00:00:00.000 --> 00:00:01.000\nCh:teszttv, D: ")))
        << sub.left(80).constData();
    EXPECT_EQ(sub.mid(sub.indexOf("T: ") + 3, 8), start.toUtf8())
        << "the first entry shows the start time";
}

// Eight seconds: the job starts three seconds in; two: the recording ends first.
INSTANTIATE_TEST_SUITE_P(Lengths, PostProgram, ::testing::Values("00:00:08", "00:00:02"));

// Without a display every message box goes to the log: a failure that was
// logged and shown is still one line, in KELM's own words, and the timer
// that started KELM learns from the status that nothing was recorded.
TEST(PostProgramFailure, UnreadablePictureFileIsOneHungarianLineAndStatusOne) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(KELM_PROGRAM_DIR "/kelm"),
                            dir.filePath(QStringLiteral("kelm"))));
    const QString fifo = dir.filePath(QStringLiteral("fifo.wmv"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
    QFile ini(dir.filePath(QStringLiteral("kelm.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write((QStringLiteral("Teszt TV\r\nteszttv\r\n") + fifo +
               QStringLiteral("\r\n/usr/bin/mpv\r\n1\r\n") + dir.filePath(QStringLiteral("Media")) +
               QStringLiteral("\r\n"))
                  .toUtf8());
    ini.close();
    QFile state(dir.filePath(QStringLiteral("teszttv.ini")));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write(
        QString::fromUtf8(
            "\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n")
            .toUtf8());
    state.close();

    QProcess kelm;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelm.setProcessEnvironment(env);
    kelm.start(dir.filePath(QStringLiteral("kelm")), {QStringLiteral("00:00:05")});
    ASSERT_TRUE(kelm.waitForFinished(60000));
    EXPECT_EQ(kelm.exitCode(), 1);
    const QStringList logs =
        QDir(dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*.log")});
    ASSERT_EQ(logs.size(), 1);
    const QString log =
        QString::fromUtf8(readAll(dir.filePath(QStringLiteral("Log/")) + logs.first()));
    EXPECT_FALSE(log.contains(QStringLiteral("Ismeretlen hiba"))) << log.toStdString();
    const QString line = QStringLiteral("Rögzítési hiba: a(z) \"") + fifo +
                         QStringLiteral("\" videóforrás nem használható");
    EXPECT_EQ(log.count(line), 1) << log.toStdString();
}

}  // namespace
