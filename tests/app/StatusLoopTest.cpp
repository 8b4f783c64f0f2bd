#include "Harness.h"
#include "Pictures.h"
#include "TrayControl.h"
#include "TrayIcon.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>

using namespace kelm;
using namespace kelm::test;

class StatusLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        h.writeState(QStringLiteral("10:00:00"), QStringLiteral("10:00:05"),
                     QStringLiteral("00:00:05"));
        h.start();
    }
    void tick() { h.statusTick(); }
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50))};
};

TEST_F(StatusLoopTest, ClockPanelShowsTheTimeOfTheTick) {
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3)));
    h.statusTick();
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stTime)->text(),
              QStringLiteral("09:05:03"));
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stDate)->text(),
              QStringLiteral("2026.12.07."));
}

// The zoom belongs to the monitor window, which only a live capture device
// feeds; a picture file as source keeps it off.
TEST(StatusLoopZoom, ZoomControlsFollowTheMonitorButtonOfALiveSource) {
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50))};
    h.videoDevices.names = {QStringLiteral("Teszt kártya")};
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("10:00:05"), QStringLiteral("00:00:05"),
                 QStringLiteral("Teszt kártya"));
    h.start();
    h.toolbar().setPressed(Button::btnMonitor, true);
    h.statusTick();
    EXPECT_TRUE(h.form().zoom.text->isEnabled());
    h.toolbar().setPressed(Button::btnMonitor, false);
    h.statusTick();
    EXPECT_FALSE(h.form().zoom.text->isEnabled());
    EXPECT_FALSE(h.form().zoom.bar->isEnabled());
    EXPECT_FALSE(h.toolbar().menu(Menu::mnuZoom)->menuAction()->isEnabled());
}

TEST_F(StatusLoopTest, PictureFileSourceKeepsTheZoomOff) {
    h.toolbar().setPressed(Button::btnMonitor, true);
    h.statusTick();
    EXPECT_FALSE(h.form().zoom.text->isEnabled());
}

TEST_F(StatusLoopTest, MenuMirrorsTheToolbarModesAndTheStartCaption) {
    h.window->toolbarClick(Button::btn1x);
    h.window->recordingControl().toggleRecording();
    h.statusTick();
    EXPECT_EQ(h.toolbar().menuItem(MenuItem::mnuStart)->text(),
              QStringLiteral("Rögzítés leállítása"));
    EXPECT_TRUE(h.toolbar().menuItem(MenuItem::mnu1X)->isChecked());
    EXPECT_FALSE(h.toolbar().menuItem(MenuItem::mnuNapi)->isChecked());
    EXPECT_FALSE(h.toolbar().menuItem(MenuItem::mnuNapi)->isEnabled()) << "locked with its button";
}

// The main window's own tray: minimising hides the window and sets it back to
// normal, as on the desktop, so the refresh must not depend on the minimised
// state.
class TrayRefresh : public StatusLoopTest {
protected:
    void SetUp() override {
        h.realTray = true;
        StatusLoopTest::SetUp();
        h.window->trayControl()->setTrayAvailable([] { return true; });
    }
    void toTray() {
        h.window->show();
        QApplication::processEvents();
        h.window->showMinimized();
        QApplication::processEvents();
        QApplication::processEvents();
        ASSERT_TRUE(h.window->trayControl()->isAdded());
        ASSERT_FALSE(h.window->isVisible());
    }
    QString tip() { return h.window->trayControl()->icon().tip(); }
    static QImage picture(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }
};

TEST_F(TrayRefresh, StatusTickPutsCaptionStateAndIconInTheTrayWhileTheWindowIsThere) {
    toTray();
    EXPECT_EQ(tip(), QStringLiteral("Teszt TV"));
    h.window->toolbarClick(Button::btn1x);
    h.window->recordingControl().toggleRecording();
    h.run(10200);
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    h.statusTick();
    // Padded to the 64-character field, then cut to what the tip holds.
    EXPECT_EQ(tip(),
              QStringLiteral("Teszt TV - Felvétel").leftJustified(TrayIcon::kTipLength, u' '));
    EXPECT_EQ(picture(h.window->windowIcon()), picture(Pictures::statusIcon(105)));
    EXPECT_NE(picture(Pictures::statusIcon(105)), picture(Pictures::statusIcon(101)));
}

TEST_F(TrayRefresh, ShownWindowKeepsItsIconAndTheTrayIsLeftAlone) {
    h.window->toolbarClick(Button::btn1x);
    h.window->recordingControl().toggleRecording();
    h.run(10200);
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    h.statusTick();
    EXPECT_FALSE(h.window->trayControl()->isAdded());
    EXPECT_EQ(picture(h.window->windowIcon()), picture(Pictures::statusIcon(101)));
}

// The scheduler's waiting line renews the tip from the status panel too.
TEST_F(TrayRefresh, WaitingForTheStartRenewsTheTrayTip) {
    arm(h, Button::btn1x, QStringLiteral("10:00:00"), QStringLiteral("00:00:05"));
    h.statusTick();  // the status panel says what the window waits for
    toTray();
    h.window->log().appendToBox(QStringLiteral("más sor\r\n"));  // the waiting line is due again
    h.window->scheduler().tick();
    EXPECT_EQ(
        tip(),
        QStringLiteral("Teszt TV - Nincs felvétel").leftJustified(TrayIcon::kTipLength, u' '));
}

TEST_F(StatusLoopTest, OverfullLogBoxIsClearedWithinOneTick) {
    h.window->log().appendToBox(QString(32001 - h.window->log().boxText().size(), u'x'));
    h.statusTick();
    const QString box = h.window->log().boxText();
    EXPECT_TRUE(
        box.startsWith(QStringLiteral("9:59:50: Eseménynapló, 32k méret korlát miatt törlődött.")));
    EXPECT_TRUE(box.endsWith(QStringLiteral(" fájlba. 32001 byte.\r\n")));
    EXPECT_EQ(h.form().logPanel.box->toPlainText(), QString(box).remove(u'\r'));
}

// The sliders follow the sound card; while either control list has no
// choice, nothing else of the tick happens.
TEST(StatusLoopMixer, SlidersFollowTheMixerAndAMissingChoiceHoldsTheRestOfTheTick) {
    Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0))};
    auto owned = std::make_unique<FakeMixerPort>();
    FakeMixerPort& mixer = *owned;
    h.mixer = std::move(owned);
    // Cards without mixer lines: the window's own lines leave the sliders alone.
    for (auto& [card, model] : h.soundMixers.models) model = FakeMixerModel{};
    h.start();
    mixer.source = 12;
    mixer.destination = 7;
    h.statusTick();
    EXPECT_EQ(h.form().mixerLines.sourceVolume->value(), 12);
    EXPECT_EQ(h.form().mixerLines.destinationVolume->value(), 7);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stTime)->text(),
              QStringLiteral("09:00:00"));

    mixer.selected = false;
    mixer.source = 3;
    h.clock.set(QDateTime(QDate(2026, 12, 7), QTime(9, 0, 5)));
    h.window->toolbarClick(Button::btn1x);
    h.toolbar().setEnabled(Button::btnMost, false);
    h.statusTick();
    EXPECT_EQ(h.form().mixerLines.sourceVolume->value(), 12);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stTime)->text(),
              QStringLiteral("09:00:00"));
    EXPECT_TRUE(h.toolbar().menuItem(MenuItem::mnuMost)->isEnabled()) << "menu mirror waits too";
    EXPECT_TRUE(h.toolbar().menuItem(MenuItem::mnu1X)->isChecked())
        << "the mode's own item shows the mode at once";

    mixer.selected = true;
    h.statusTick();
    EXPECT_EQ(h.form().mixerLines.sourceVolume->value(), 3);
    EXPECT_EQ(h.form().statusBar.panel(StatusBarWidgets::stTime)->text(),
              QStringLiteral("09:00:05"));
    EXPECT_FALSE(h.toolbar().menuItem(MenuItem::mnuMost)->isEnabled());
    EXPECT_TRUE(h.toolbar().menuItem(MenuItem::mnu1X)->isChecked());
}
