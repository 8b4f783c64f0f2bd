#include "Harness.h"

#include "AboutWindow.h"
#include "MonitorControl.h"
#include "MonitorWindow.h"
#include "Pictures.h"
#include "SettingsControl.h"
#include "SettingsDialog.h"
#include "TrayControl.h"
#include "TrayIcon.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

using namespace kelm;
using namespace kelm::test;

namespace {

// A main window whose video source is a live capture card, so the monitor
// window is wanted and shown.
class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        h.videoDevices.names = {QStringLiteral("Teszt kártya")};
        h.writeState(QStringLiteral("10:00:00"), QStringLiteral("10:00:05"),
                     QStringLiteral("00:00:05"), QStringLiteral("Teszt kártya"));
        h.start();
        h.window->move(300, 400);
        h.window->show();
        QApplication::processEvents();
    }
    MonitorControl& monitor() { return *h.window->monitorControl(); }
    MonitorWindow& monitorWindow() { return *monitor().window(); }
    bool checked(MenuItem item) { return h.toolbar().menuItem(item)->isChecked(); }
    // Clicks a toolbar button as the operator does: Qt toggles it, then the command runs.
    void click(Button b) { h.toolbar().button(b)->trigger(); }
    void choose(MenuItem item) { h.toolbar().menuItem(item)->trigger(); }

    Harness h{QDateTime(QDate(2026, 12, 7), QTime(9, 59, 50))};
};

PreviewFrame solidFrame(int width, int height, QRgb colour) {
    PreviewFrame f;
    f.width = width;
    f.height = height;
    f.stride = width * 3;
    f.rgb.resize(qsizetype(f.stride) * height);
    for (int i = 0; i < width * height; ++i) {
        f.rgb[i * 3] = char(qRed(colour));
        f.rgb[i * 3 + 1] = char(qGreen(colour));
        f.rgb[i * 3 + 2] = char(qBlue(colour));
    }
    return f;
}

}  // namespace

// --- command table: toolbar, menu and popup twin run the same operation ---

TEST_F(Shell, ModeMenuItemPressesItsButtonAndRunsTheButtonsClick) {
    choose(MenuItem::mnuMost);
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnMost));
    EXPECT_FALSE(h.toolbar().isPressed(Button::btn1x));
    EXPECT_FALSE(h.toolbar().isPressed(Button::btnNapi));
    EXPECT_FALSE(h.form().times.start->isEnabled()) << "as the toolbar button does";
    choose(MenuItem::mnu1X);
    EXPECT_TRUE(h.toolbar().isPressed(Button::btn1x));
    EXPECT_TRUE(h.form().times.start->isEnabled());
}

TEST_F(Shell, OnTopRunsTheSameFromButtonMenuAndPopupAndKeepsTheTwinsEqual) {
    ASSERT_NE(monitor().window(), nullptr);
    EXPECT_FALSE(monitorWindow().staysOnTop());
    click(Button::btnEncMonOntop);
    EXPECT_TRUE(checked(MenuItem::mnuOnTop));
    EXPECT_TRUE(checked(MenuItem::mnuOnTop2));
    EXPECT_TRUE(monitorWindow().staysOnTop());
    choose(MenuItem::mnuOnTop);
    EXPECT_FALSE(checked(MenuItem::mnuOnTop));
    EXPECT_FALSE(checked(MenuItem::mnuOnTop2));
    EXPECT_FALSE(h.toolbar().isPressed(Button::btnEncMonOntop));
    EXPECT_FALSE(monitorWindow().staysOnTop());
    choose(MenuItem::mnuOnTop2);
    EXPECT_TRUE(checked(MenuItem::mnuOnTop)) << "the popup twin inverts the main item";
    EXPECT_TRUE(checked(MenuItem::mnuOnTop2));
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnEncMonOntop));
    EXPECT_TRUE(monitorWindow().isVisible()) << "re-flagging the window keeps it shown";
}

TEST_F(Shell, ReapplyingOnTopAfterAMessageBoxKeepsTheSetting) {
    click(Button::btnEncMonOntop);
    monitor().reapplyOnTop();
    EXPECT_TRUE(checked(MenuItem::mnuOnTop));
    EXPECT_TRUE(monitorWindow().staysOnTop());
}

TEST_F(Shell, MonitorMenuHidesAndShowsTheWindowWithTheButtonAndTwin) {
    EXPECT_TRUE(monitorWindow().isVisible());
    choose(MenuItem::mnuMonitorWindow2);
    EXPECT_FALSE(monitorWindow().isVisible());
    EXPECT_FALSE(h.toolbar().isPressed(Button::btnMonitor));
    EXPECT_FALSE(checked(MenuItem::mnuMonitorWindow));
    EXPECT_FALSE(checked(MenuItem::mnuMonitorWindow2));
    EXPECT_FALSE(monitor().followTimerActive());
    choose(MenuItem::mnuMonitorWindow);
    EXPECT_TRUE(monitorWindow().isVisible());
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnMonitor));
    EXPECT_TRUE(checked(MenuItem::mnuMonitorWindow2));
    EXPECT_FALSE(checked(MenuItem::mnuOnTop))
        << "the monitor command leaves the on-top setting as it was";
    click(Button::btnMonitor);
    EXPECT_FALSE(monitorWindow().isVisible());
    EXPECT_FALSE(checked(MenuItem::mnuMonitorWindow2));
}

TEST_F(Shell, EncoderOutputMenuAndPreviewButtonFollowEachOther) {
    choose(MenuItem::mnuOut);
    EXPECT_FALSE(h.toolbar().isPressed(Button::btnEncPreview));
    EXPECT_FALSE(checked(MenuItem::mnuOut));
    click(Button::btnEncPreview);
    EXPECT_TRUE(checked(MenuItem::mnuOut)) << "the menu twin follows the button after every click";
}

TEST_F(Shell, PreviewButtonStopsTheLivePictureOnlyWhileRecording) {
    h.encoder().setPreviewEnabled(true);
    click(Button::btnEncPreview);  // released, nothing records
    EXPECT_TRUE(h.encoder().previewEnabled());
    click(Button::btnEncPreview);  // pressed again
    h.encoder().start();
    click(Button::btnEncPreview);  // released while recording
    EXPECT_FALSE(h.encoder().previewEnabled());
    click(Button::btnEncPreview);
    EXPECT_TRUE(h.encoder().previewEnabled());
}

TEST_F(Shell, StartMenuItemArmsTheRecordingLikeTheButton) {
    click(Button::btn1x);
    h.form().times.start->setText(QStringLiteral("10:00:00"));
    h.form().times.duration->setText(QStringLiteral("00:00:05"));
    choose(MenuItem::mnuStart);
    EXPECT_TRUE(h.window->state().arm.isArmed());
    EXPECT_EQ(h.toolbar().button(Button::btnEncStart)->property("pictureKey").toString(),
              QStringLiteral("encStop"));
}

TEST(ShellMedia, MediaButtonAndMenuOpenTheFolderAsOneArgument) {
    Harness h;
    QStringList calls;
    h.startProgram = [&](const QString& program, const QStringList& arguments) {
        calls << program + u'|' + arguments.join(u'|');
        return true;
    };
    h.start();
    h.window->state().settings.mediaDir = QStringLiteral("/srv/my media/it's $HOME");
    h.toolbar().button(Button::btnMedia)->trigger();
    h.toolbar().menuItem(MenuItem::mnuMediaPath)->trigger();
    const QString expected = QStringLiteral("xdg-open|/srv/my media/it's $HOME");
    EXPECT_EQ(calls, (QStringList{expected, expected}));
}

TEST(ShellMedia, AFileBrowserThatDoesNotStartIsLogged) {
    Harness h;
    h.startProgram = [](const QString&, const QStringList&) { return false; };
    h.start();
    h.toolbar().button(Button::btnMedia)->trigger();
    EXPECT_TRUE(QString::fromUtf8(h.read(h.logFileName()))
                    .contains(QStringLiteral("A program nem indítható: xdg-open")));
}

TEST_F(Shell, PlayButtonRunsTheHookOfThePreviewChain) {
    int runs = 0;
    h.window->setPlayPreviewHandler([&] { ++runs; });
    h.form().playPreview->setEnabled(true);
    h.form().playPreview->click();
    EXPECT_EQ(runs, 1);
}

TEST_F(Shell, SettingsAndAboutCommandsOpenTheirWindows) {
    choose(MenuItem::mnuSetup);
    EXPECT_TRUE(h.window->settingsControl().dialog().isVisible());
    EXPECT_EQ(h.window->settingsControl().dialog().windowModality(), Qt::WindowModal)
        << "the main window takes no input while the dialog is shown";
    h.window->settingsControl().dialog().cmdExit->click();
    EXPECT_FALSE(h.window->settingsControl().dialog().isVisible());
    click(Button::btnAbout);
    ASSERT_NE(h.window->aboutWindow(), nullptr);
    EXPECT_TRUE(h.window->aboutWindow()->isVisible());
    EXPECT_EQ(h.window->aboutWindow()->windowTitle(), QStringLiteral("Névjegy - KELM"));
}

TEST_F(Shell, ExitMenuItemsCloseTheWindowThroughItsConfirmation) {
    h.messenger.answers = {Messenger::Answer::No, Messenger::Answer::Yes};
    choose(MenuItem::mnuFRMExit);
    EXPECT_FALSE(h.process.ended()) << "answered No";
    choose(MenuItem::mnuExit);
    EXPECT_TRUE(h.process.ended());
    EXPECT_EQ(h.messenger.texts.count(QStringLiteral("Valóban ki akar lépni?")), 2);
}

// --- monitor window ---

TEST_F(Shell, ZoomTwoGivesA444By333WindowAndMarksBothMenus) {
    h.toolbar().zoomItem(ZoomMenu::Main, 3)->trigger();
    EXPECT_EQ(monitorWindow().size(), QSize(444, 333));
    EXPECT_EQ(h.form().zoom.text->text(), QStringLiteral("2 X"));
    EXPECT_EQ(h.form().zoom.bar->value(), 3);
    for (int i = 0; i < kZoomCount; ++i) {
        EXPECT_EQ(h.toolbar().zoomItem(ZoomMenu::Main, i)->isChecked(), i == 3) << i;
        EXPECT_EQ(h.toolbar().zoomItem(ZoomMenu::Popup, i)->isChecked(), i == 3) << i;
    }
    h.form().zoom.bar->setValue(0);  // the scroll bar runs the same command
    EXPECT_EQ(monitorWindow().size(), QSize(111, 83)) << "3332 x 2499 twips at 0.5";
    EXPECT_TRUE(h.toolbar().zoomItem(ZoomMenu::Popup, 0)->isChecked());
    h.toolbar().zoomItem(ZoomMenu::Popup, 4)->trigger();
    EXPECT_EQ(monitorWindow().size(), QSize(666, 499));
    EXPECT_EQ(h.form().zoom.text->text(), QStringLiteral("3 X"));
}

TEST_F(Shell, AutoAlignKeepsTheMonitorCentredOnTheMainWindowsTopEdgeWhileItMoves) {
    h.toolbar().zoomItem(ZoomMenu::Main, 3)->trigger();
    for (const QPoint at : {QPoint(300, 400), QPoint(520, 610), QPoint(40, 350)}) {
        h.window->move(at);
        QTest::qWait(3 * MonitorControl::kFollowIntervalMs);
        const QRect main = h.window->frameGeometry();
        EXPECT_EQ(monitorWindow().x() + monitorWindow().width() / 2, main.x() + main.width() / 2)
            << at.x();
        EXPECT_EQ(monitorWindow().y() + monitorWindow().height(), main.y()) << at.x();
    }
}

TEST_F(Shell, DraggingMovesTheMonitorOnlyWithAutoAlignOff) {
    auto drag = [&] {
        const QPoint start = monitorWindow().pos();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&monitorWindow(), &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 30), QPointF(), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&monitorWindow(), &move);
        return monitorWindow().pos() - start;
    };
    EXPECT_EQ(drag(), QPoint(0, 0)) << "auto-align on";
    click(Button::btnEncAutoMove);
    EXPECT_FALSE(checked(MenuItem::mnuAutoGo));
    EXPECT_FALSE(checked(MenuItem::mnuAutoGo2));
    EXPECT_FALSE(monitor().followTimerActive());
    EXPECT_EQ(drag(), QPoint(30, 20));
}

TEST_F(Shell, SwitchingAutoAlignOffAboveTheScreenMovesTheMonitorDown) {
    h.window->move(300, 50);  // the monitor sits above the screen's top
    monitor().alignMonitor();
    ASSERT_LT(monitorWindow().y(), 0);
    choose(MenuItem::mnuAutoGo2);
    EXPECT_EQ(monitorWindow().y(), 100 / 15);
    choose(MenuItem::mnuAutoGo);
    EXPECT_TRUE(checked(MenuItem::mnuAutoGo2));
    EXPECT_TRUE(h.toolbar().isPressed(Button::btnEncAutoMove));
    EXPECT_TRUE(monitor().followTimerActive());
}

TEST_F(Shell, EnginePreviewFramesReachTheMonitorOnlyWhileItIsShown) {
    EXPECT_TRUE(h.encoder().previewEnabled()) << "a live source is shown at start";
    Q_EMIT h.encoder().previewFrame(solidFrame(720, 576, qRgb(200, 30, 40)));
    EXPECT_EQ(monitorWindow().framesShown(), 1);
    const QImage shot = monitorWindow().grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(200, 30, 40));
    click(Button::btnMonitor);  // hidden
    EXPECT_FALSE(h.encoder().previewEnabled()) << "a hidden monitor costs no conversion";
    click(Button::btnMonitor);
    EXPECT_TRUE(h.encoder().previewEnabled());
}

TEST(MonitorWindowFrames, MalformedFramesAreDroppedNotRead) {
    MonitorWindow w;
    PreviewFrame shortData = solidFrame(8, 8, qRgb(1, 2, 3));
    shortData.rgb.chop(1);
    w.showFrame(shortData);
    PreviewFrame narrowStride = solidFrame(8, 8, qRgb(1, 2, 3));
    narrowStride.stride = 8 * 3 - 1;
    w.showFrame(narrowStride);
    w.showFrame(PreviewFrame{});
    EXPECT_FALSE(w.hasPicture());
    w.showFrame(solidFrame(8, 8, qRgb(1, 2, 3)));
    EXPECT_TRUE(w.hasPicture());
}

// --- tray ---

class ShellTray : public Shell {
protected:
    void SetUp() override {
        h.realTray = true;
        Shell::SetUp();
        tray().setTrayAvailable([this] { return trayShown; });
    }
    TrayControl& tray() { return *h.window->trayControl(); }
    void minimise() {
        h.window->showMinimized();
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void activateIcon(QSystemTrayIcon::ActivationReason reason) {
        auto* icon = tray().icon().findChild<QSystemTrayIcon*>();
        ASSERT_NE(icon, nullptr);
        Q_EMIT icon->activated(reason);
        QApplication::processEvents();
    }
    bool trayShown = true;  // whether the desktop has a notification area
};

TEST_F(ShellTray, MinimisingHidesTheWindowToTheTrayAndRestoringBringsItBackNormal) {
    h.window->setWindowTitle(QStringLiteral("Teszt TV"));
    h.window->showMinimized();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_FALSE(h.window->isVisible());
    EXPECT_TRUE(tray().isAdded());
    EXPECT_EQ(tray().icon().tip(), QStringLiteral("Teszt TV"));
    EXPECT_FALSE(h.window->isMinimized()) << "set back to normal while hidden";
    choose(MenuItem::mnuFRMRestore);
    QApplication::processEvents();
    EXPECT_TRUE(h.window->isVisible());
    EXPECT_FALSE(h.window->isMinimized());
    EXPECT_FALSE(tray().isAdded());
    EXPECT_EQ(h.toolbar().menu(Menu::mnuFRM)->defaultAction(),
              h.toolbar().menuItem(MenuItem::mnuFRMRestore))
        << "the restore item is the menu's bold default";
}

// Status notifier hosts may send a single click only; the right button's
// menu is theirs to open.
TEST_F(ShellTray, ASingleClickOnTheIconRestoresTheWindowAndTheMenuButtonDoesNot) {
    minimise();
    ASSERT_TRUE(tray().isAdded());
    activateIcon(QSystemTrayIcon::Context);
    EXPECT_TRUE(tray().isAdded());
    EXPECT_FALSE(h.window->isVisible());
    activateIcon(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(tray().isAdded());
    EXPECT_TRUE(h.window->isVisible());
    minimise();
    activateIcon(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(tray().isAdded());
    EXPECT_TRUE(h.window->isVisible());
}

TEST_F(ShellTray, WithoutANotificationAreaMinimisingLeavesAnOrdinaryMinimisedWindow) {
    trayShown = false;
    minimise();
    EXPECT_FALSE(tray().isAdded());
    EXPECT_TRUE(h.window->isVisible()) << "a hidden window without an icon could not come back";
    EXPECT_TRUE(h.window->isMinimized());
    h.window->showNormal();
    QApplication::processEvents();
    EXPECT_TRUE(h.window->isVisible());
    EXPECT_FALSE(tray().isAdded());
    trayShown = true;  // a tray that appears later is used at the next minimise
    minimise();
    EXPECT_TRUE(tray().isAdded());
    EXPECT_FALSE(h.window->isVisible());
}

TEST_F(ShellTray, ALongCaptionIsCutToTheTipField) {
    h.window->setWindowTitle(QString(70, u'x'));
    tray().minimizeToTray(true);
    EXPECT_EQ(tray().icon().tip(), QString(63, u'x'));
    tray().minimizeToTray(false);
    EXPECT_FALSE(tray().isAdded());
    tray().minimizeToTray(false);  // nothing in the tray: nothing happens
    EXPECT_TRUE(h.window->isVisible());
}

// --- settings dialog ---

class ShellSettings : public Shell {
protected:
    SettingsDialog& dialog() { return h.window->settingsControl().dialog(); }
    void saveWithShortName(const QString& name) {
        h.window->runCommand(Command::OpenSettings);
        dialog().txtChannelShortName->setText(name);
        dialog().cmdSave->click();
    }
};

TEST_F(ShellSettings, EightCharacterShortNameIsSavedAsSevenCrLfLines) {
    saveWithShortName(QStringLiteral("abcdefgh"));
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_EQ(h.window->state().settings.channelShortName, QStringLiteral("abcdefgh"));
    const QByteArray file = h.read(QStringLiteral("kelm.ini"));
    const QList<QByteArray> lines = file.split('\n');
    ASSERT_EQ(lines.size(), 8) << file.constData();
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(lines.at(i).endsWith('\r')) << i;
    EXPECT_EQ(lines.at(1), QByteArray("abcdefgh\r"));
    EXPECT_TRUE(h.read(h.logFileName()).contains("Beállítások mentése: kelm.ini"));
}

TEST_F(ShellSettings, NineCharactersOrAForbiddenCharacterAreRefusedWithTheMessage) {
    const QByteArray before = h.read(QStringLiteral("kelm.ini"));
    for (const QString& name :
         {QStringLiteral("abcdefghi"), QStringLiteral("ab\"c"), QStringLiteral("a|b")}) {
        h.messenger.texts.clear();
        saveWithShortName(name);
        ASSERT_EQ(h.messenger.texts.size(), 1) << name.toStdString();
        EXPECT_EQ(h.messenger.texts.first(),
                  QStringLiteral("A rövid név maximális hossza 8 karakter és ne tartalmazza a "
                                 "következőket:  \\ / : * ? "
                                 "\" < > |"));
        EXPECT_TRUE(dialog().isVisible()) << "the dialog stays open";
        EXPECT_EQ(h.read(QStringLiteral("kelm.ini")), before) << "nothing is written";
        EXPECT_NE(h.window->state().settings.channelShortName, name);
    }
}

TEST_F(ShellSettings, EmptyChannelNameKeepsTheTitleAndANameSetsIt) {
    h.window->setWindowTitle(QStringLiteral("Régi cím"));
    h.window->runCommand(Command::OpenSettings);
    dialog().txtCsatName->clear();
    dialog().cmdSave->click();
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Régi cím"));
    h.window->runCommand(Command::OpenSettings);
    dialog().txtCsatName->setText(QStringLiteral("Új Rádió"));
    dialog().cmdSave->click();
    EXPECT_EQ(h.window->windowTitle(), QStringLiteral("Új Rádió"));
}

TEST_F(ShellSettings, TimecodeBoxActsAtOnceEvenWhenCancelled) {
    h.window->runCommand(Command::OpenSettings);
    ASSERT_TRUE(dialog().chkTimecode->isChecked());
    const QByteArray before = h.read(QStringLiteral("kelm.ini"));
    dialog().chkTimecode->click();
    dialog().cmdExit->click();
    EXPECT_EQ(h.window->state().settings.makeTimecode, 0);
    EXPECT_FALSE(h.window->settingsControl().timecodeChecked());
    EXPECT_EQ(h.read(QStringLiteral("kelm.ini")), before);
    h.window->runCommand(Command::OpenSettings);
    EXPECT_FALSE(dialog().chkTimecode->isChecked())
        << "hidden, not unloaded: the edit is still there";
}

TEST_F(ShellSettings, CloseBoxUnloadsSoTheNextOpeningShowsTheFields) {
    h.window->runCommand(Command::OpenSettings);
    dialog().txtCsatName->setText(QStringLiteral("Nem mentett"));
    dialog().close();
    QApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    h.window->runCommand(Command::OpenSettings);
    EXPECT_EQ(dialog().txtCsatName->text(), h.window->state().settings.channelName);
}

TEST_F(ShellSettings, ChoosersFillTheBoxesAndACancelledChoiceChangesNothing) {
    h.window->runCommand(Command::OpenSettings);
    QString askedFilter, askedName;
    QString answer = QStringLiteral("/srv/hatter.wmv");
    dialog().setFileChooser(
        [&](QWidget*, const QString& filter, const QString&, const QString& name) {
            askedFilter = filter;
            askedName = name;
            return answer;
        });
    dialog().txtVideo->clear();
    dialog().cmdVideo->click();
    EXPECT_EQ(askedFilter, QStringLiteral("Video fájl|*.wmv"));
    EXPECT_EQ(askedName, QStringLiteral("*.wmv"));
    EXPECT_EQ(dialog().txtVideo->text(), QStringLiteral("/srv/hatter.wmv"));
    answer.clear();
    dialog().cmdMPlyer->click();
    EXPECT_EQ(dialog().txtMPlayer->text(), h.window->state().settings.fileMPlayer);
    dialog().setFolderChooser(
        [](QWidget*, const QString&) { return QStringLiteral("/srv/felvetelek/"); });
    dialog().cmdMedia->click();
    EXPECT_EQ(dialog().txtMedia->text(), QStringLiteral("/srv/felvetelek"))
        << "no trailing separator";
}

TEST_F(ShellSettings, PlayerChooserShowsLinuxProgramsWhichHaveNoExtension) {
    h.window->runCommand(Command::OpenSettings);
    QString askedFilter, askedName;
    dialog().setFileChooser(
        [&](QWidget*, const QString& filter, const QString&, const QString& name) {
            askedFilter = filter;
            askedName = name;
            return QString();
        });
    dialog().txtMPlayer->clear();
    dialog().cmdMPlyer->click();
    const QStringList patterns = askedFilter.section(u'|', 1).split(u' ', Qt::SkipEmptyParts);
    for (const char* player : {"mpv", "vlc", "ffplay", "lejatszo.sh"})
        EXPECT_TRUE(QDir::match(patterns, QString::fromLatin1(player))) << player;
    EXPECT_TRUE(QFileInfo(askedName).isDir())
        << "an empty box starts from a folder, not " << askedName.toStdString();
}

// Whatever is typed, the folder saved, the folder read back at the next start
// and the folder this run records into are one, and none depends on the
// working folder.
TEST_F(ShellSettings, MediaFolderIsSavedAsItIsReadBackAndUsedNow) {
    const QDir program(h.programDir());
    const QList<std::pair<QString, QString>> cases{
        {QStringLiteral("felvetelek/"), program.absoluteFilePath(QStringLiteral("felvetelek"))},
        {QStringLiteral("../archivum/./Media//"),
         QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../archivum/Media")))},
        // Reading takes "~" as a folder's name, not the home folder.
        {QStringLiteral("~/felvetelek"), program.absoluteFilePath(QStringLiteral("~/felvetelek"))},
        {QString(), program.absoluteFilePath(QStringLiteral("Media"))},
        {QStringLiteral("/srv/felvetelek/"), QStringLiteral("/srv/felvetelek")},
    };
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    for (const auto& [typed, folder] : cases) {
        SCOPED_TRACE(typed.toStdString());
        h.window->runCommand(Command::OpenSettings);
        dialog().txtMedia->setText(typed);
        dialog().cmdSave->click();
        ASSERT_FALSE(dialog().isVisible());
        const QString used = h.window->state().settings.mediaDir;
        EXPECT_EQ(used, folder);
        const QList<QByteArray> lines = h.read(QStringLiteral("kelm.ini")).split('\n');
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(QString::fromUtf8(lines.at(5).chopped(1)), used);
        EXPECT_EQ(SettingsFile::readOrCreate(h.programDir()).settings.mediaDir, used);
        EXPECT_EQ(dialog().txtMedia->text(), used) << "the box shows the folder in use";
    }
    QDir::setCurrent(before);
}

// --- about window ---

TEST(AboutSystemInfo, TheFirstViewerFoundOnThePathIsStarted) {
    const auto only = [](QStringList present) {
        return [present](const QString& name) {
            return present.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
        };
    };
    EXPECT_EQ(findSystemInfoViewer(
                  only({QStringLiteral("gnome-system-monitor"), QStringLiteral("kinfocenter")})),
              QStringLiteral("/usr/bin/kinfocenter"));
    EXPECT_EQ(findSystemInfoViewer(only({QStringLiteral("hardinfo2"), QStringLiteral("hardinfo")})),
              QStringLiteral("/usr/bin/hardinfo"));
    EXPECT_TRUE(findSystemInfoViewer(only({})).isEmpty());
}

TEST(AboutSystemInfo, NoViewerOrOneThatDoesNotStartShowsTheUnavailableMessage) {
    AboutWindow about(QStringLiteral("1.0.0"), QStringLiteral("Teszt TV"));
    QStringList shown, started;
    bool startWorks = true;
    QString found;
    about.setSystemInfo({[&](const QString& name) {
                             return name == found ? QStringLiteral("/usr/bin/") + name : QString();
                         },
                         [&](const QString& program) {
                             started << program;
                             return startWorks;
                         },
                         [&](const QString& text) { shown << text; }});
    about.cmdSysInfo->click();
    EXPECT_EQ(shown, QStringList{QStringLiteral("System Information Is Unavailable At This Time")});
    found = QStringLiteral("hardinfo2");
    about.cmdSysInfo->click();
    EXPECT_EQ(started, QStringList{QStringLiteral("/usr/bin/hardinfo2")});
    EXPECT_EQ(shown.size(), 1);
    startWorks = false;
    about.cmdSysInfo->click();
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(about.lblVersion->text(), QStringLiteral("Verzió: 1.0.0"));
    EXPECT_EQ(about.lblChannel->text(), QStringLiteral("Teszt TV"));
}

// --- pictures ---

TEST(ShellPictures, EveryButtonAndEveryPicturedMenuItemShowsItsOwnPicture) {
    Harness h;
    h.start();
    for (int i = 0; i < kButtonCount; ++i) {
        QAction* button = h.toolbar().button(Button(i));
        EXPECT_EQ(button->objectName(), keyText(Button(i)));
        EXPECT_FALSE(button->icon().pixmap(16, 16).isNull()) << keyText(Button(i)).toStdString();
        EXPECT_FALSE(button->toolTip().isEmpty()) << keyText(Button(i)).toStdString();
    }
    int pictured = 0;
    for (int i = 0; i < kMenuItemCount; ++i) {
        QAction* item = h.toolbar().menuItem(MenuItem(i));
        EXPECT_EQ(item->objectName(), keyText(MenuItem(i)));
        if (!item->property("caption").toString().contains(QStringLiteral("|#"))) continue;
        ++pictured;
        EXPECT_FALSE(item->icon().pixmap(24, 24).isNull()) << keyText(MenuItem(i)).toStdString();
        EXPECT_FALSE(item->text().contains(u'|')) << "the marker is not shown";
        EXPECT_TRUE(item->isIconVisibleInMenu()) << "installed at start-up";
    }
    EXPECT_EQ(pictured, 15);
    for (int id = 101; id <= 105; ++id)
        EXPECT_FALSE(Pictures::statusIcon(id).pixmap(16, 16).isNull()) << id;
    // The start button's two pictures differ, so its state can be seen.
    const QImage idle = h.toolbar().button(Button::btnEncStart)->icon().pixmap(24, 24).toImage();
    h.window->state().arm.set(Arm::Armed);
    EXPECT_NE(h.toolbar().button(Button::btnEncStart)->icon().pixmap(24, 24).toImage(), idle);
}
