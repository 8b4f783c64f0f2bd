// A preview of a real recording while it is being written: the real engine,
// the real scripts, tiplon and wmindexer, and a stand-in player that writes
// down what it was started with. Needs the sound server (scripts/test.sh).

#include "MainForm.h"
#include "MainWindow.h"
#include "PostProcessing.h"
#include "PreviewChain.h"
#include "RealBackEnds.h"
#include "RecordingControl.h"
#include "TimeFields.h"
#include "UnattendedRun.h"
#include "encoder/Encoder.h"
#include "recorder/Clock.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace kelm;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct Tool {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Tool run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    Tool t;
    if (!p.waitForFinished(60000)) return t;
    t.exitCode = p.exitCode();
    t.out = p.readAllStandardOutput();
    t.err = p.readAllStandardError();
    return t;
}

// Runs the event loop until `done` or the timeout.
template <typename F>
bool waitFor(F done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QTest::qWait(50);
    }
    return true;
}

}  // namespace

TEST(PostRecording, PlayAtTenSecondsOfARunningRecordingOpensAnIndexedSeekableCopyWithSubtitles) {
    QTemporaryDir dir;
    const QString program = dir.path();
    for (const char* tool : {"tiplon", "wmindexer"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(KELM_PROGRAM_DIR "/") + QLatin1String(tool),
                                QDir(program).filePath(QLatin1String(tool))));
    QImage card(320, 240, QImage::Format_RGB32);
    card.fill(Qt::darkGreen);
    ASSERT_TRUE(card.save(QDir(program).filePath(QStringLiteral("card.png"))));
    const QString player = QDir(program).filePath(QStringLiteral("player"));
    const QString argsFile = QDir(program).filePath(QStringLiteral("player-args"));
    writeFile(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/player-args\"\n");
    QFile::setPermissions(player, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString media = QDir(program).filePath(QStringLiteral("Média 'a' $HOME"));
    writeFile(QDir(program).filePath(QStringLiteral("kelm.ini")),
              (QStringLiteral("Teszt TV\r\nteszttv\r\n") +
               QDir(program).filePath(QStringLiteral("card.png")) + QStringLiteral("\r\n") +
               player + QStringLiteral("\r\n1\r\n") + media + QStringLiteral("\r\n"))
                  .toUtf8());
    writeFile(QDir(program).filePath(QStringLiteral("teszttv.ini")),
              QString::fromUtf8(
                  "\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n")
                  .toUtf8());

    RealBackEnds backEnds;
    NotedEnd process;
    MainWindowDeps deps;
    deps.programDir = program;
    backEnds.fill(deps);
    deps.process = &process;
    MainWindow window(std::move(deps));
    window.start();
    ASSERT_FALSE(process.ended());

    window.toolbarClick(Button::btnMost);
    window.form().times.duration->setText(QStringLiteral("00:00:30"));
    window.timeFields().durationLeave();
    window.recordingControl().toggleRecording();
    // The engine answers from its own thread; the window goes on meanwhile.
    ASSERT_TRUE(waitFor(
        [&] { return window.encoder() && window.encoder()->runState() == RunState::Running; },
        15000))
        << window.log().boxText().toStdString();
    const QString recording = window.encoder()->outputFileName();

    QTest::qWait(10000);
    QElapsedTimer chain;
    chain.start();
    window.form().playPreview->click();
    ASSERT_TRUE(waitFor([&] { return QFile::exists(argsFile); }, 30000))
        << window.log().boxText().toStdString();
    const qint64 chainMs = chain.elapsed();
    std::printf("preview chain of a 10-second recording: %lld ms from the click to the player\n",
                static_cast<long long>(chainMs));
    window.encoder()->stop();

    const QString indexed = media + QStringLiteral("/preview-teszttv--idx.wmv");
    QFile args(argsFile);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()), indexed + u'\n');
    EXPECT_TRUE(window.form().playPreview->isEnabled());
    EXPECT_LT(chainMs, 5000) << "copy, index, subtitles and player start";

    const Tool probe = run(QStringLiteral("ffprobe"),
                           {QStringLiteral("-v"), QStringLiteral("error"),
                            QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                            QStringLiteral("-of"), QStringLiteral("csv=p=0"), indexed});
    EXPECT_EQ(probe.exitCode, 0) << probe.err.constData();
    EXPECT_GE(probe.out.trimmed().toDouble(), 8.0);
    for (const QStringList& decode :
         {QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), indexed,
                      QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
          QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                      QStringLiteral("6"), QStringLiteral("-i"), indexed, QStringLiteral("-f"),
                      QStringLiteral("null"), QStringLiteral("-")}}) {
        const Tool t = run(QStringLiteral("ffmpeg"), decode);
        EXPECT_EQ(t.exitCode, 0);
        EXPECT_TRUE(t.err.trimmed().isEmpty())
            << decode.join(u' ').toStdString() << ": " << t.err.constData();
    }
    QFile sub(media + QStringLiteral("/preview-teszttv--idx.sub"));
    ASSERT_TRUE(sub.open(QIODevice::ReadOnly));
    EXPECT_GE(sub.readAll().count("-->"), 10);

    const QString box = window.log().boxText();
    qsizetype at = 0;
    for (const QString& message :
         {QStringLiteral("Felvétel másolása..."), QStringLiteral("Fájl másolása befejeződött: "),
          QStringLiteral("Fájl indexelése..."),
          QStringLiteral("preview-teszttv--idx.wmv fájl indexelése befejeződöt."),
          QStringLiteral("Timecode generálása befejeződött."),
          QStringLiteral(" felvétel lejátszása...")}) {
        const qsizetype found = box.indexOf(message, at);
        EXPECT_GE(found, 0) << message.toStdString() << " in order, in\n" << box.toStdString();
        if (found >= 0) at = found;
    }
    // nothing but the recording, its subtitles and the preview's files
    const QStringList left = QDir(media).entryList(QDir::Files, QDir::Name);
    for (const QString& name : left)
        EXPECT_FALSE(name.endsWith(QStringLiteral(".tmp")) ||
                     name.endsWith(QStringLiteral(".startsub")) ||
                     name.endsWith(QStringLiteral(".stopsub")))
            << name.toStdString();
    EXPECT_TRUE(left.contains(QFileInfo(recording).fileName()));
}
