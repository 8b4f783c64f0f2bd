#pragma once

#include "Harness.h"
#include "PlayerWindows.h"
#include "PostProcessing.h"
#include "PreviewChain.h"
#include "SubtitleJobs.h"
#include "post/ProcessPorts.h"
#include "post/TimecodeJob.h"

#include <QFileInfo>
#include <QProcess>

namespace kelm::test {

// Starts nothing detached: records every start and, as far as the test
// wants, runs the program to its end before returning, so the chain's
// markers are in their final state when the next tick looks.
class ScriptedLauncher final : public ProgramLauncher {
public:
    struct Call {
        QString program;
        QStringList arguments;
    };
    bool startDetached(const QString& program, const QStringList& arguments) override {
        calls.push_back({program, arguments});
        if (failing) return false;
        const bool isScript = program == u"/bin/sh";
        const bool isTiplon = QFileInfo(program).fileName() == u"tiplon";
        if ((isScript && runScripts) || (isTiplon && runTiplon))
            QProcess::execute(program, arguments);
        return true;
    }
    QStringList programs() const {
        QStringList names;
        for (const Call& c : calls) names << c.program;
        return names;
    }
    std::vector<Call> calls;
    bool runScripts = true;
    bool runTiplon = true;
    bool failing = false;
};

class FakeProcessTable final : public ProcessTable {
public:
    bool isRunning(const QString& name) const override { return running.contains(name); }
    QStringList running;
};

// Windows by title; closing one records it and takes it away.
class FakePlayerWindows final : public PlayerWindows {
public:
    QList<WindowId> windowsTitled(const QString& text) override {
        searches << text;
        QList<WindowId> found;
        for (qsizetype i = 0; i < titles.size(); ++i) {
            if (titles.at(i).contains(text)) found << WindowId(i + 1);
        }
        return found;
    }
    void requestClose(WindowId window) override { closed << window; }
    QStringList titles;
    QStringList searches;
    QList<WindowId> closed;
};

// A KELM window whose program folder holds the real tiplon and a stand-in
// wmindexer that copies its input, with the outside programs behind fakes.
class PostHarness {
public:
    explicit PostHarness(QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(9, 0, 0)))
        : h(std::move(now)) {
        h.launcher = &launcher;
        h.processes = &processes;
        auto w = std::make_unique<FakePlayerWindows>();
        windows = w.get();
        h.playerWindows = std::move(w);
    }

    void installTiplon() {
        QFile::copy(QStringLiteral(KELM_PROGRAM_DIR "/tiplon"), h.file(QStringLiteral("tiplon")));
    }
    void installIndexer() {
        h.write(QStringLiteral("wmindexer"),
                "#!/bin/sh\n# -i INPUT -o OUTPUT\ncp -- \"$2\" \"$4\"\n");
        QFile::setPermissions(h.file(QStringLiteral("wmindexer")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The settings file, with a media folder and the player.
    void writeSettings(const QString& mediaDir,
                       const QString& player = QStringLiteral("/usr/bin/mpv"),
                       int makeTimecode = 1) {
        QDir().mkpath(mediaDir);
        const QString text = QStringLiteral("Teszt TV\r\nteszttv\r\n") +
                             h.file(QStringLiteral("card.png")) + QStringLiteral("\r\n") + player +
                             QStringLiteral("\r\n") + QString::number(makeTimecode) +
                             QStringLiteral("\r\n") + mediaDir + QStringLiteral("\r\n");
        h.write(QStringLiteral("kelm.ini"), text.toUtf8());
    }

    void start() {
        h.writeState(QStringLiteral("00:00:00"), QStringLiteral("00:00:00"),
                     QStringLiteral("00:00:00"));
        h.start();
    }
    // An immediate recording of `duration`, running on the test clock.
    void record(const QString& duration) {
        h.window->toolbarClick(Button::btnMost);
        h.form().times.duration->setText(duration);
        h.window->timeFields().durationLeave();
        h.window->recordingControl().toggleRecording();
        h.settle();
    }

    SubtitleJobs& jobs() { return h.window->postProcessing().subtitleJobs(); }
    PreviewChain& chain() { return h.window->postProcessing().previewChain(); }
    MainForm& form() { return h.form(); }
    QString box() const { return h.window->log().boxText(); }
    QString recording() { return h.encoder().outputFileName(); }

    // Runs the chain's timers by hand, as their ticks would, until it has
    // played or stopped (at most `ticks` rounds).
    void tickChain(int ticks = 10) {
        for (int i = 0; i < ticks && chain().busy(); ++i) {
            if (chain().copyTimer().isActive()) chain().copyTick();
            if (jobs().previewWatch().isActive()) jobs().watchPreview();
        }
    }

    ScriptedLauncher launcher;
    FakeProcessTable processes;
    FakePlayerWindows* windows = nullptr;
    Harness h;
};

// The lines of the log box in order, without their time stamps.
inline QStringList messages(const QString& box) {
    QStringList out;
    for (const QString& line : box.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        out << (colon >= 0 ? line.mid(colon + 2) : line);
    }
    return out;
}

}  // namespace kelm::test
