#pragma once

#include "../support/FakeEncoder.h"
#include "../support/TestWindowDeps.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "RecordingControl.h"
#include "Scheduler.h"
#include "ShellPorts.h"
#include "Startup.h"
#include "StatusBar.h"
#include "StatusLoop.h"
#include "TimeFields.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QThread>
#include "Messenger.h"
#include "Toolbar.h"
#include "post/ProcessPorts.h"
#include "recorder/Clock.h"
#include "recorder/MediaFolderProbe.h"
#include "recorder/MediaStorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace kelm::test {

// Records every message box and answers from a script (default answer when
// the script is empty).
class ScriptedMessenger final : public Messenger {
public:
    Answer ask(const QString& text, Buttons, Icon icon, Answer defaultAnswer) override {
        texts << text;
        icons.push_back(icon);
        if (answers.empty()) return defaultAnswer;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    bool canAsk() const override { return attended; }
    bool attended = true;
    QStringList texts;
    std::vector<Icon> icons;
    std::deque<Answer> answers;
};

// A tray that never shows an icon, so tests leave the desktop alone.
class NoTray final : public TrayPort {
public:
    bool isAdded() const override { return false; }
    void restoreFromTray() override {}
    void update(int, const QString&) override {}
};

// A sound card's mixer whose control values and list choices the test sets.
class FakeMixerPort final : public MixerPort {
public:
    bool available() const override { return true; }
    bool hasSelection() const override { return selected; }
    int sourceControlValue() const override { return source; }
    int destinationControlValue() const override { return destination; }
    void close() override {}
    bool selected = true;
    int source = 0;
    int destination = 0;
};

// The machine's file systems, except that a test may say how full the disk is,
// refuse new folders, or make every call hang as on a network mount that
// stopped answering.
// Called from the probe's threads.
class FakeStorage final : public MediaStorage {
public:
    std::optional<qint64> freeBytes(const QString& folder) const override {
        waitWhileHung();
        const std::optional<qint64> room = free;
        return room ? room : real.freeBytes(folder);
    }
    FileIdentity identify(const QString& path) const override {
        waitWhileHung();
        return real.identify(path);
    }
    QString prepareFolder(const QString& folder) override {
        waitWhileHung();
        return real.prepareFolder(folder);
    }
    bool createFolder(const QString& folder) override {
        waitWhileHung();
        std::lock_guard guard(m_lock);
        foldersAsked << folder;
        return !refuseNewFolders && real.createFolder(folder);
    }
    QStringList fileNames(const QString& folder) const override {
        waitWhileHung();
        return real.fileNames(folder);
    }
    QString removeFile(const QString& path) override {
        waitWhileHung();
        return real.removeFile(path);
    }
    void hang() {
        std::lock_guard guard(m_lock);
        m_hung = true;
    }
    bool hung() const {
        std::lock_guard guard(m_lock);
        return m_hung;
    }
    void answerAgain() {
        {
            std::lock_guard guard(m_lock);
            m_hung = false;
        }
        m_wake.notify_all();
    }
    ~FakeStorage() override { answerAgain(); }

    std::optional<qint64> free;
    // Set before start(): createFolder makes nothing and says no, as a disk that
    // refuses new folders does.
    bool refuseNewFolders = false;
    QStringList foldersAsked;  // every folder createFolder was asked for
    SystemMediaStorage real;

private:
    void waitWhileHung() const {
        std::unique_lock lock(m_lock);
        m_wake.wait(lock, [this] { return !m_hung; });
    }
    mutable std::mutex m_lock;
    mutable std::condition_variable m_wake;
    bool m_hung = false;
};

// A splash window that counts how often start-up showed and unloaded it.
class CountingSplash final : public SplashPort {
public:
    void showSplash() override {
        ++shown;
        up = true;
    }
    void unloadSplash() override {
        ++unloaded;
        up = false;
    }
    bool up = false;
    int shown = 0;
    int unloaded = 0;
};

class FakeProcess final : public ProcessControl {
public:
    void endProcess(int code) override {
        if (!m_ended) exitCode = code;
        m_ended = true;
    }
    bool ended() const override { return m_ended; }
    int exitCode = -1;

private:
    bool m_ended = false;
};

// A KELM main window in its own program folder, on a test clock, with fake
// devices and encoder. Ticks are driven by hand.
class Harness {
public:
    explicit Harness(QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0)))
        : clock(now), factory(clock) {}

    QString programDir() const { return folder.isEmpty() ? dir.path() : folder; }
    QString file(const QString& name) const { return QDir(programDir()).filePath(name); }
    QByteArray read(const QString& name) const {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    // A state file that chooses the picture file as video source.
    void writeState(const QString& start, const QString& end, const QString& duration,
                    const QString& videoSource = QStringLiteral("Videó fájl")) const {
        const QString text = QStringLiteral("Teszt hangkártya\r\n\r\n") + start +
                             QStringLiteral("\r\n") + end + QStringLiteral("\r\n") + duration +
                             QStringLiteral("\r\n") + videoSource +
                             QStringLiteral("\r\n\r\n\r\n\r\n\r\n\r\n");
        write(QStringLiteral("teszttv.ini"), text.toUtf8());
    }

    MainWindow& start(const QStringList& arguments = {}) {
        MainWindowDeps deps = testWindowDeps(programDir(),
                                             {&clock, &factory, &videoDevices, &soundCards,
                                              &soundMixers, &levelCapture, &messenger, &process},
                                             system);
        deps.arguments = arguments;
        deps.storage = &storage;
        if (startProgram) deps.startProgram = startProgram;
        if (!realTray) deps.tray = std::make_unique<NoTray>();
        deps.mixer = std::move(mixer);  // none: the window's own mixer lines on soundMixers
        if (countSplash) {
            auto counting = std::make_unique<CountingSplash>();
            splash = counting.get();
            deps.splash = std::move(counting);
        }
        if (launcher) deps.launcher = launcher;
        if (processes) deps.processes = processes;
        if (playerWindows) deps.playerWindows = std::move(playerWindows);
        window = std::make_unique<MainWindow>(std::move(deps));
        window->start();
        settle();
        return *window;
    }

    // Lets the encoder's answers arrive, as the event loop does between ticks:
    // a start is answered after its prepare, a renamed file's after that.
    // The media folder is asked on threads of its own: their answers are
    // waited for as well (at most 2 s, for a folder a test keeps silent).
    void settle() {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            // An answer that came during the rounds may start more work:
            // one more set of rounds follows it.
            const bool wasWaiting = window && window->folderProbe().waiting();
            for (int round = 0; round < 6; ++round) QCoreApplication::processEvents();
            if (!window || storage.hung() || waited.elapsed() > 2000) break;
            if (!window->folderProbe().waiting()) {
                if (!wasWaiting) break;
                continue;
            }
            QTimer wake;  // a folder that never answers ends the wait
            wake.start(50);
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }

    FakeEncoder& encoder() { return *static_cast<FakeEncoder*>(window->encoder()); }
    MainForm& form() { return window->form(); }
    Toolbar& toolbar() { return *window->form().toolbar; }
    QString logFileName() const {
        return QStringLiteral("Log/teszttv-") + clock.now().toString(QStringLiteral("yyyyMMdd")) +
               QStringLiteral(".log");
    }

    void statusTick() { window->statusLoop().tick(); }

    // Moves the test clock in steps, running the scheduler tick while it is
    // armed and the status tick every step.
    void run(qint64 totalMs, qint64 stepMs = 200) {
        for (qint64 t = 0; t < totalMs && !process.ended(); t += stepMs) {
            clock.advanceMs(stepMs);
            if (window->schedulerTick().isActive()) window->scheduler().tick();
            settle();
            statusTick();
        }
    }

    QTemporaryDir dir;
    QString folder;  // another harness's program folder, when shared
    ManualClock clock;
    FakeEncoderFactory factory;
    FakeSoundCards soundCards;
    FakeVideoDevices videoDevices;
    FakeSoundMixers soundMixers;
    FakeLevelCapture levelCapture;
    ScriptedMessenger messenger;
    FakeProcess process;
    FakeStorage storage;
    std::unique_ptr<MixerPort> mixer;  // set before start() to replace the window's own
    // Set before start(): a counting splash instead of the real one, owned by
    // the window and seen through `splash` once started.
    bool countSplash = false;
    CountingSplash* splash = nullptr;
    // Post-processing's outside programs, set before start(); null: the real ones.
    ProgramLauncher* launcher = nullptr;
    ProcessTable* processes = nullptr;
    std::unique_ptr<PlayerWindows> playerWindows;
    SystemParts system;  // the machine's own parts, where a test sets no fake
    // Set before start(): the main window's own tray instead of one that shows nothing.
    bool realTray = false;
    // Set before start(): how outside programs start; null: the real start.
    std::function<bool(const QString&, const QStringList&)> startProgram;
    std::unique_ptr<MainWindow> window;
};

// Arms a recording of the given mode from an idle window, as the operator
// does: mode button, start time, duration, start button.
inline void arm(Harness& h, Button modeKey, const QString& start, const QString& duration) {
    h.window->toolbarClick(modeKey);
    h.form().times.start->setText(start);
    h.form().times.duration->setText(duration);
    h.window->timeFields().durationLeave();
    h.window->recordingControl().toggleRecording();
    h.settle();
}

}  // namespace kelm::test
