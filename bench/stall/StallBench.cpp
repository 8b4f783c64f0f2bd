// KELM's main window on the real engine, sound cards and picture source,
// driven through what an operator does (arming "1X", "Most" with its stop,
// the preview button) and through what the machine does to it (the sound
// server stopped with SIGSTOP while a recording starts, the media folder's
// file system hanging while one runs). A 10 ms pulse on the GUI thread
// measures how long the window stood still in each; the window's own watch
// names the work that held it.
//
//   stall_bench        (KELM_SOUND_SERVER_PID: the sound server to stop)

#include "BenchWindow.h"
#include "MainForm.h"
#include "MainWindow.h"
#include "RecordingControl.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "recorder/EventLog.h"
#include "recorder/MediaStorage.h"
#include "recorder/TimeText.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <condition_variable>
#include <csignal>
#include <mutex>

namespace {

// The machine's file systems, hanging on demand like a network mount that
// stopped answering.
class HangingStorage final : public kelm::MediaStorage {
public:
    std::optional<qint64> freeBytes(const QString& folder) const override {
        wait();
        return m_real.freeBytes(folder);
    }
    kelm::FileIdentity identify(const QString& path) const override {
        wait();
        return m_real.identify(path);
    }
    QString prepareFolder(const QString& folder) override {
        wait();
        return m_real.prepareFolder(folder);
    }
    bool createFolder(const QString& folder) override {
        wait();
        return m_real.createFolder(folder);
    }
    QStringList fileNames(const QString& folder) const override {
        wait();
        return m_real.fileNames(folder);
    }
    QString removeFile(const QString& path) override {
        wait();
        return m_real.removeFile(path);
    }
    void setHung(bool hung) {
        {
            std::lock_guard guard(m_lock);
            m_hung = hung;
        }
        m_wake.notify_all();
    }

private:
    void wait() const {
        std::unique_lock lock(m_lock);
        m_wake.wait(lock, [this] { return !m_hung; });
    }
    kelm::SystemMediaStorage m_real;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_wake;
    bool m_hung = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    HangingStorage storage;
    kelm::BenchWindow bench;
    if (!bench.start(&storage)) return 1;
    kelm::MainWindow& window = bench.window();
    kelm::MainForm& f = window.form();
    const qint64 soundServer =
        QString::fromLocal8Bit(qgetenv("KELM_SOUND_SERVER_PID")).toLongLong();

    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    QTimer pulse;
    pulse.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart() - 10); });
    auto phase = [&](const char* name, const std::function<void()>& action, qint64 forMs) {
        longestGapMs = 0;
        sinceTick.start();
        pulse.start(10);
        action();
        kelm::runEventsFor(forMs);
        pulse.stop();
        out << QStringLiteral("%1 %2 ms\n").arg(QString::fromLatin1(name), -58).arg(longestGapMs);
        out.flush();
        return longestGapMs;
    };
    auto arm = [&](kelm::Button mode, const QString& start, const QString& duration) {
        window.toolbarClick(mode);
        f.times.start->setText(start);
        f.times.duration->setText(duration);
        window.timeFields().durationLeave();
        window.recordingControl().toggleRecording();
    };
    auto toggle = [&] { window.recordingControl().toggleRecording(); };

    kelm::runEventsFor(1000);
    out << "longest time the window stood still (a 10 ms pulse on its event loop):\n";
    qint64 worst = 0;
    worst = std::max(worst, phase(
                                "idle", [] {}, 1000));
    const QString inThree = kelm::TimeText::format(QTime::currentTime().addSecs(3));
    worst = std::max(
        worst, phase(
                   "arming \"1X\" 3 s ahead, its start and its end",
                   [&] { arm(kelm::Button::btn1x, inThree, QStringLiteral("00:00:03")); }, 8000));
    worst = std::max(worst, phase(
                                "\"Most\" started",
                                [&] {
                                    arm(kelm::Button::btnMost, QStringLiteral("00:00:00"),
                                        QStringLiteral("00:01:00"));
                                },
                                4000));
    worst = std::max(
        worst, phase(
                   "preview button during the recording", [&] { f.playPreview->click(); }, 5000));
    worst = std::max(worst, phase("\"Most\" stopped by the operator", toggle, 2000));
    if (soundServer > 0) {
        worst = std::max(worst, phase(
                                    "sound server stopped (SIGSTOP), \"Most\" started",
                                    [&] {
                                        ::kill(pid_t(soundServer), SIGSTOP);
                                        arm(kelm::Button::btnMost, QStringLiteral("00:00:00"),
                                            QStringLiteral("00:01:00"));
                                    },
                                    10000));
        worst = std::max(worst, phase(
                                    "sound server back (SIGCONT)",
                                    [&] { ::kill(pid_t(soundServer), SIGCONT); }, 4000));
        worst = std::max(worst, phase("stopped by the operator", toggle, 2000));
    } else {
        out << "(KELM_SOUND_SERVER_PID not set: the sound server is not stopped)\n";
    }
    worst = std::max(worst, phase(
                                "\"Most\" started",
                                [&] {
                                    arm(kelm::Button::btnMost, QStringLiteral("00:00:00"),
                                        QStringLiteral("00:01:00"));
                                },
                                3000));
    worst = std::max(worst, phase(
                                "media folder hangs (every stat/statvfs) for 8 s",
                                [&] { storage.setHung(true); }, 8000));
    worst =
        std::max(worst, phase(
                            "media folder answers again", [&] { storage.setHung(false); }, 3000));
    worst = std::max(worst, phase("stopped by the operator", toggle, 3000));
    storage.setHung(false);

    out << "longest stall in any case: " << worst << " ms (goal: at most 100 ms)\n";
    out << "the window's own watch: longest " << window.stallWatch().longestStallMs() << " ms"
        << (window.stallWatch().longestStallMs() > 0
                ? QStringLiteral(" in ") + window.stallWatch().longestStallWork()
                : QString())
        << "\n";
    out << "\nthe event log:\n"
        << window.log().boxText().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return 0;
}
