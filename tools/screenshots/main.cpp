// Renders KELM's windows into PNG files, and measures what the monitor's live
// picture costs. Run under Xvfb by scripts/screenshots.sh:
//
//   kelm_shots <program folder to copy video.wmv from> <output folder>
//   kelm_shots --measure <program folder> <seconds>
//
// The main window runs with the real engine, sound cards and video devices in
// a fresh program folder, so every text is the program's own.
#include "AboutWindow.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "MonitorControl.h"
#include "MonitorWindow.h"
#include "Pictures.h"
#include "RealBackEnds.h"
#include "SettingsControl.h"
#include "SettingsDialog.h"
#include "SplashWindow.h"
#include "Startup.h"
#include "Toolbar.h"
#include "UnattendedRun.h"
#include "encoder/Encoder.h"
#include "recorder/Clock.h"

#include <sys/resource.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {

bool save(QWidget* w, const QString& path) {
    const bool ok = w->grab().save(path);
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << path << " (" << w->width() << "x"
                        << w->height() << ")\n";
    return ok;
}

// Every picture at 16 and 24 pixels on a light and on a dark ground.
bool savePictureSheet(const QString& path) {
    QStringList keys{
        QStringLiteral("appMedia"),    QStringLiteral("encMonitor"), QStringLiteral("encAutoMove"),
        QStringLiteral("encMonOntop"), QStringLiteral("encPreview"), QStringLiteral("appSetup"),
        QStringLiteral("encMost"),     QStringLiteral("enc1x"),      QStringLiteral("encNapi"),
        QStringLiteral("encStart"),    QStringLiteral("encStop"),    QStringLiteral("appAbout"),
        QStringLiteral("appExit"),     QStringLiteral("bitmap101"),  QStringLiteral("bitmap102"),
        QStringLiteral("bitmap103")};
    for (int i = 101; i <= 105; ++i) keys << QStringLiteral("icon%1").arg(i);
    for (int i = 1; i <= 13; ++i) keys << QStringLiteral("s_Key%1").arg(i);
    const int cell = 30;
    QImage sheet(keys.size() * cell + 8, 4 * cell + 8, QImage::Format_RGB32);
    QPainter p(&sheet);
    p.fillRect(0, 0, sheet.width(), sheet.height() / 2, QColor(0xf2, 0xf2, 0xf2));
    p.fillRect(0, sheet.height() / 2, sheet.width(), sheet.height() / 2, QColor(0x20, 0x22, 0x25));
    for (int i = 0; i < keys.size(); ++i) {
        const QIcon icon = kelm::Pictures::icon(keys.at(i));
        for (int row = 0; row < 4; ++row) {
            const int size = row % 2 == 0 ? 16 : 24;
            p.drawPixmap(4 + i * cell + (cell - size) / 2, 4 + row * cell + (cell - size) / 2,
                         icon.pixmap(size, size));
        }
    }
    p.end();
    const bool ok = sheet.save(path);
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << path << "\n";
    return ok;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool measure = !args.isEmpty() && args.first() == u"--measure";
    if (measure) args.removeFirst();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: kelm_shots <program folder> <output folder>\n"
                               "       kelm_shots --measure <program folder> <seconds>\n";
        return 2;
    }
    QTemporaryDir folder;
    if (!QFile::copy(QDir(args.at(0)).filePath(QStringLiteral("video.wmv")),
                     folder.filePath(QStringLiteral("video.wmv")))) {
        QTextStream(stderr) << "no video.wmv in " << args.at(0) << "\n";
        return 1;
    }

    kelm::RealBackEnds backEnds;
    kelm::NotedEnd process(/*quitsEventLoop=*/true);
    kelm::PrintingMessenger messenger;
    kelm::MainWindowDeps deps;
    deps.messenger = &messenger;
    deps.programDir = folder.path();
    backEnds.fill(deps);
    deps.process = &process;
    kelm::MainWindow window(std::move(deps));
    window.move(260, 420);
    window.show();
    window.start();
    if (process.ended()) return 1;
    // This machine has no capture card, so start-up chose the picture file
    // (a radio channel's picture) and kept the monitor off. The monitor is
    // switched on over that running source as it is for a capture card.
    kelm::MonitorControl* monitor = window.monitorControl();
    window.state().previewWanted = true;
    kelm::EncoderStatus prepared = kelm::EncoderStatus::failure(
        kelm::EncoderErrorCode::NoAnswer, QStringLiteral("no answer within 15 s"));
    {
        QEventLoop loop;
        QObject::connect(window.encoder(), &kelm::Encoder::prepared, &loop,
                         [&](const kelm::EncoderStatus& status) {
                             prepared = status;
                             loop.quit();
                         });
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        window.encoder()->prepareToEncode();
        loop.exec();
    }
    if (!prepared.ok()) {
        QTextStream(stderr) << "the sources do not start: " << prepared.description << "\n";
        return 1;
    }
    window.form().toolbar->setPressed(kelm::Button::btnMonitor, true);
    window.toolbarClick(kelm::Button::btnMonitor);
    monitor->attachSourceView();
    kelm::runEventsFor(2500);
    if (!monitor->window() || monitor->window()->framesShown() == 0) {
        QTextStream(stderr) << "the monitor window shows no picture\n";
        return 1;
    }

    if (measure) {
        // The same running sources, once with the monitor shown (frames
        // converted, handed over and painted) and once hidden (none).
        const int seconds = args.at(1).toInt();
        auto run = [&] {
            const double before = cpuSeconds();
            kelm::runEventsFor(seconds * 1000);
            return (cpuSeconds() - before) / seconds * 100;
        };
        const int framesBefore = monitor->window()->framesShown();
        const double shown = run();
        const int frames = monitor->window()->framesShown() - framesBefore;
        window.form().toolbar->setPressed(kelm::Button::btnMonitor, false);
        window.toolbarClick(kelm::Button::btnMonitor);
        kelm::runEventsFor(500);
        const double hidden = run();
        QTextStream(stdout) << "monitor at 1 X, " << seconds << " s each: shown " << shown
                            << " % of one core (" << frames << " frames painted), hidden " << hidden
                            << " %, live picture " << shown - hidden << " %\n";
        return 0;
    }

    const QDir out(args.at(1));
    bool ok = save(&window, out.filePath(QStringLiteral("main-window.png")));
    ok = save(monitor->window(), out.filePath(QStringLiteral("monitor-window.png"))) && ok;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = window.frameGeometry()
                               .united(monitor->window()->frameGeometry())
                               .adjusted(-8, -8, 8, 8);
        const bool shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                              .save(out.filePath(QStringLiteral("desktop.png")));
        QTextStream(stdout) << (shot ? "wrote " : "FAILED ")
                            << out.filePath(QStringLiteral("desktop.png")) << "\n";
    }

    // Two menus with their pictures: the View menu and the monitor's popup.
    for (const auto& [menuKey, name] :
         {std::pair{kelm::Menu::mnuView, QStringLiteral("menu-view.png")},
          std::pair{kelm::Menu::mnuPopup, QStringLiteral("menu-monitor-popup.png")}}) {
        QMenu* menu = window.form().toolbar->menu(menuKey);
        menu->popup(window.mapToGlobal(QPoint(60, 30)));
        kelm::runEventsFor(300);
        ok = save(menu, out.filePath(name)) && ok;
        menu->hide();
    }

    window.runCommand(kelm::Command::OpenSettings);
    kelm::runEventsFor(300);
    ok = save(&window.settingsControl().dialog(),
              out.filePath(QStringLiteral("settings-dialog.png"))) &&
         ok;
    window.settingsControl().dialog().cmdExit->click();

    window.runCommand(kelm::Command::ShowAbout);
    kelm::runEventsFor(300);
    ok = window.aboutWindow() &&
         save(window.aboutWindow(), out.filePath(QStringLiteral("about-window.png"))) && ok;

    ok = savePictureSheet(out.filePath(QStringLiteral("pictures.png"))) && ok;

    kelm::SplashWindow splash(QStringLiteral(KELM_VERSION_TEXT));
    splash.show();
    kelm::runEventsFor(300);
    ok = save(&splash, out.filePath(QStringLiteral("splash-window.png"))) && ok;
    return ok ? 0 : 1;
}
