// The signal alarms in the main window: measures from the (fake) encoder
// while a recording runs, the log's lines, and the status bar's panel.

#include "Harness.h"
#include "SignalAlarms.h"

#include <gtest/gtest.h>
#include <QImage>

using namespace kelm;
using namespace kelm::test;

namespace {

SoundLevels levels(double db) {
    SoundLevels l;
    l.rmsDb = {db, db};
    return l;
}
PictureMeasures picture(double meanLuma, double changedShare) {
    PictureMeasures m;
    m.meanLuma = meanLuma;
    m.changedShare = changedShare;
    m.pictures = 5;
    return m;
}
const SoundLevels kTone = levels(-14);
const SoundLevels kSilence = levels(-96);
const PictureMeasures kMoving = picture(110, 0.3);
const PictureMeasures kStill = picture(110, 0.0);
const PictureMeasures kBlack = picture(16.4, 0.0);

int countOf(const QString& text, const QString& part) {
    return int(text.count(part));
}

class SignalAlarmsTest : public ::testing::Test {
protected:
    // Starts the window with a live capture card, or the picture file, as video source.
    void startWith(const QString& videoSource) {
        h.videoDevices.names = {QStringLiteral("Teszt kártya")};
        h.writeState(QStringLiteral("09:00:00"), QStringLiteral("10:00:00"),
                     QStringLiteral("01:00:00"), videoSource);
        h.start();
    }
    // An immediate recording of `duration`, as the operator starts one.
    void recordNow(const QString& duration) {
        h.window->toolbarClick(Button::btnMost);
        h.form().times.duration->setText(duration);
        h.window->timeFields().durationLeave();
        h.window->recordingControl().toggleRecording();
        h.settle();
        ASSERT_EQ(h.encoder().runState(), RunState::Running);
        h.statusTick();
    }
    // `ms` of the recording: a sound reading every 100 ms and a picture
    // reading every 200 ms, the status tick every 300 ms.
    void play(const SoundLevels& sound, const PictureMeasures& pictures, int ms) {
        for (int t = 0; t < ms; t += 100) {
            h.encoder().measureSound(sound);
            if (t % 200 == 0) h.encoder().measurePicture(pictures);
            if (t % 300 == 0) h.statusTick();
            h.clock.advanceMs(100);
        }
    }
    QString box() const { return h.window->log().boxText(); }
    QLabel* panel() { return h.form().statusBar.signalAlarm; }

    Harness h{QDateTime(QDate(2026, 12, 7), QTime(8, 59, 58))};
};

}  // namespace

TEST_F(SignalAlarmsTest, SilenceIsLoggedAndShownWhileItLastsAndEndsWithTheSound) {
    startWith(QStringLiteral("Teszt kártya"));
    recordNow(QStringLiteral("01:00:00"));
    play(kTone, kMoving, 2000);  // from 08:59:58
    play(kSilence, kMoving, 5000);
    EXPECT_FALSE(box().contains(QStringLiteral("Jelhiba")));
    EXPECT_TRUE(panel()->isHidden());
    play(kSilence, kMoving, 4000);
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba: csend 09:00:00 óta.")), 1);
    EXPECT_FALSE(panel()->isHidden());
    EXPECT_EQ(panel()->text(), QStringLiteral("Jelhiba: csend"));
    EXPECT_EQ(panel()->toolTip(), QStringLiteral("csend 09:00:00 óta"));
    EXPECT_TRUE(h.window->signalAlarms().running(SignalAlarm::Silence));
    play(kTone, kMoving, 1000);
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba vége: csend, 09:00:00\u201309:00:09 (9 mp).")),
              1);
    EXPECT_TRUE(panel()->isHidden());
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba")), 2) << box().toStdString();
}

TEST_F(SignalAlarmsTest, RecordingEndingDuringAnAlarmWritesItsEndAtTheRecordingsEnd) {
    startWith(QStringLiteral("Teszt kártya"));
    recordNow(QStringLiteral("00:00:20"));
    play(kTone, kMoving, 4000);      // from 08:59:58
    play(kSilence, kMoving, 16000);  // from 09:00:02 to the limit at 09:00:18
    ASSERT_EQ(h.encoder().runState(), RunState::Stopped);
    h.statusTick();
    EXPECT_EQ(
        countOf(box(), QStringLiteral("Jelhiba vége: csend, 09:00:02\u201309:00:18 (16 mp).")), 1)
        << box().toStdString();
    EXPECT_TRUE(panel()->isHidden());
    EXPECT_FALSE(h.window->signalAlarms().watching());
    // Between recordings nothing is measured, so nothing more is raised.
    EXPECT_FALSE(h.encoder().measureSound(kSilence));
    h.run(20000);
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba")), 2);
}

TEST_F(SignalAlarmsTest, OperatorsStopDuringAnAlarmEndsIt) {
    startWith(QStringLiteral("Teszt kártya"));
    recordNow(QStringLiteral("01:00:00"));
    play(kTone, kBlack, 12000);  // from 08:59:58
    ASSERT_EQ(countOf(box(), QStringLiteral("Jelhiba: fekete kép 08:59:58 óta.")), 1);
    h.window->recordingControl().toggleRecording();
    h.settle();
    h.statusTick();
    EXPECT_EQ(
        countOf(box(), QStringLiteral("Jelhiba vége: fekete kép, 08:59:58\u201309:00:10 (12 mp).")),
        1)
        << box().toStdString();
    EXPECT_TRUE(panel()->isHidden());
}

TEST_F(SignalAlarmsTest, APictureFileIsNotWatchedForAFrozenPicture) {
    startWith(QStringLiteral("Videó fájl"));
    recordNow(QStringLiteral("01:00:00"));
    play(kTone, kStill, 30000);
    EXPECT_FALSE(box().contains(QStringLiteral("Jelhiba"))) << box().toStdString();
}

TEST_F(SignalAlarmsTest, ALiveSourceThatFreezesIsReported) {
    startWith(QStringLiteral("Teszt kártya"));
    recordNow(QStringLiteral("01:00:00"));
    play(kTone, kMoving, 2000);
    play(kTone, kStill, 11000);
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba: állókép 09:00:00 óta.")), 1);
    EXPECT_EQ(panel()->text(), QStringLiteral("Jelhiba: állókép"));
}

TEST_F(SignalAlarmsTest, TwoAlarmsAtOnceAreBothShownAndEachEndsOnItsOwn) {
    startWith(QStringLiteral("Teszt kártya"));
    recordNow(QStringLiteral("01:00:00"));
    play(kSilence, kBlack, 11000);  // from 08:59:58
    EXPECT_EQ(panel()->text(), QStringLiteral("Jelhiba: csend, fekete kép"));
    EXPECT_EQ(panel()->toolTip(), QStringLiteral("csend 08:59:58 óta\nfekete kép 08:59:58 óta"));

    // Look at it as the operator does: the panel stands out in red.
    h.window->resize(900, h.window->height());
    h.window->show();
    QCoreApplication::processEvents();
    const QImage bar = h.form().statusBar.bar->grab().toImage();
    bar.save(QStringLiteral("/tmp/kelm-signal-alarm-statusbar.png"));
    const QPoint centre = panel()->geometry().center();
    const QColor shown = bar.pixelColor(
        centre.x() * bar.width() / h.form().statusBar.bar->width(),
        (panel()->geometry().top() + 1) * bar.height() / h.form().statusBar.bar->height());
    EXPECT_GT(shown.red(), 150);
    EXPECT_LT(shown.green(), 60);

    play(kTone, kBlack, 1000);
    EXPECT_EQ(panel()->text(), QStringLiteral("Jelhiba: fekete kép"));
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba vége: csend")), 1);
    EXPECT_EQ(countOf(box(), QStringLiteral("Jelhiba vége: fekete kép")), 0);
}
