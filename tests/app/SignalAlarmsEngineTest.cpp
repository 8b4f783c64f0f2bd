// The signal alarms on a real recording: the engine records a tone with a
// 9 s hole, and exactly one silence is logged, as long as the hole.

#include "EngineFactory.h"
#include "FormParts.h"
#include "SignalAlarms.h"
#include "StatusBar.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"
#include "recorder/EventLog.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>

#include <cstdio>

using namespace kelm;

namespace {

// Spins the event loop until `done` holds or the time is up.
bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

TEST(SignalAlarmsOnTheEngine, ToneWithANineSecondHoleLogsExactlyOneSilenceOfItsLength) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SystemClock clock;
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20261207"), 1));
    EncoderStatus status;
    std::unique_ptr<Encoder> encoder = createEngineFactory()->create(&status);
    ASSERT_TRUE(encoder) << status.description.toStdString();

    QComboBox videoSource;
    videoSource.addItem(QStringLiteral("Teszt kártya"));
    SourceLists sources;
    sources.videoSource = &videoSource;
    QLabel alarmPanel;
    StatusBarWidgets widgets;
    widgets.signalAlarm = &alarmPanel;
    StatusBar statusBar(widgets);
    SignalAlarms alarms({clock, log, [&] { return encoder.get(); }, statusBar, sources});
    QTimer statusTick;
    QObject::connect(&statusTick, &QTimer::timeout, [&] { alarms.tick(); });
    statusTick.start(300);

    // The hole begins 5 s after the tone's first sample; the recording starts
    // at once after the sources are up, so it holds the whole hole.
    encoder->setVideoInput(QStringLiteral("TEST://snow"));
    encoder->setAudioInput(QStringLiteral("TEST://hole"));
    encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    encoder->setOutputFileName(dir.filePath(QStringLiteral("hole.wmv")));
    encoder->setDurationLimitMs(22000);
    std::optional<EncoderStatus> started;
    QObject::connect(encoder.get(), &Encoder::started, [&](EncoderStatus s) { started = s; });
    encoder->start();
    ASSERT_TRUE(waitFor([&] { return started.has_value(); }, 20000));
    ASSERT_TRUE(started->ok()) << started->description.toStdString();

    bool shownDuringTheHole = false;
    ASSERT_TRUE(waitFor(
        [&] {
            shownDuringTheHole = shownDuringTheHole || !alarmPanel.isHidden();
            return encoder->runState() == RunState::Stopped;
        },
        40000));
    waitFor([] { return false; }, 700);  // the status tick sees the end
    EXPECT_TRUE(encoder->lastFailure().ok()) << encoder->lastFailure().description.toStdString();

    const QString box = log.boxText();
    EXPECT_EQ(box.count(QStringLiteral("Jelhiba: csend ")), 1) << box.toStdString();
    EXPECT_EQ(box.count(QStringLiteral("Jelhiba")), 2) << "nothing but the one silence";
    const QRegularExpression ended(QStringLiteral(
        "Jelhiba vége: csend, \\d\\d:\\d\\d:\\d\\d\u2013\\d\\d:\\d\\d:\\d\\d \\((\\d+) mp\\)\\."));
    const QRegularExpressionMatch match = ended.match(box);
    ASSERT_TRUE(match.hasMatch()) << box.toStdString();
    const int seconds = match.captured(1).toInt();
    EXPECT_GE(seconds, 8);
    EXPECT_LE(seconds, 10);
    // Noticed within a second of its 5 s: the line's own time against the
    // silence's beginning (both to the second).
    const QRegularExpression began(
        QStringLiteral("(\\d+:\\d\\d:\\d\\d): Jelhiba: csend (\\d\\d:\\d\\d:\\d\\d) óta\\."));
    const QRegularExpressionMatch beganMatch = began.match(box);
    ASSERT_TRUE(beganMatch.hasMatch()) << box.toStdString();
    const int noticedAfterS =
        QTime::fromString(beganMatch.captured(2), QStringLiteral("HH:mm:ss"))
            .secsTo(QTime::fromString(beganMatch.captured(1), QStringLiteral("H:mm:ss")));
    EXPECT_GE(noticedAfterS, 5);
    EXPECT_LE(noticedAfterS, 6);
    std::printf("%s", qPrintable(box));
    EXPECT_TRUE(shownDuringTheHole);
    EXPECT_TRUE(alarmPanel.isHidden());
}
