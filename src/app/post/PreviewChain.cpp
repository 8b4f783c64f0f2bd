#include "PreviewChain.h"

#include "StallWatch.h"

#include "Messenger.h"
#include "PlayerWindows.h"
#include "ShellPorts.h"
#include "SubtitleJobs.h"
#include "encoder/Encoder.h"
#include "post/ProcessPorts.h"
#include "post/ShellScript.h"
#include "recorder/EventLog.h"
#include "subtitle/RegularFile.h"

#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSaveFile>

namespace kelm {

namespace {

const QString kShell = QStringLiteral("/bin/sh");

QString notFound(const QString& path) {
    return QStringLiteral("A(z) ") + path + QStringLiteral(" program nem található!");
}
QString notStarted(const QString& path) {
    return QStringLiteral("A(z) ") + path + QStringLiteral(" program nem indítható!");
}

// What cp wrote to its error output, on one line; its messages are short,
// and a few lines of them are plenty.
QString cpWords(QFile& failure) {
    if (!failure.open(QIODevice::ReadOnly)) return QString();
    const QString text = QString::fromUtf8(failure.read(1024)).trimmed();
    failure.close();
    return text.split(u'\n', Qt::SkipEmptyParts).join(QStringLiteral("; "));
}

QString copyFailed(const QString& source, const QString& copy, const QString& words) {
    QString text = QStringLiteral("A(z) ") + source + QStringLiteral(" felvétel másolása a(z) ") +
                   copy + QStringLiteral(" fájlba nem sikerült");
    if (!words.isEmpty()) text += QStringLiteral(" (") + words + u')';
    return text + u'.';
}

// Creates an empty marker; never through a link or into a FIFO or device.
bool createMarker(const QString& path) {
    int error = 0;
    const int fd = RegularFile::openForWriting(QFile::encodeName(path).toStdString(), &error);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

PreviewChain::PreviewChain(RecorderContext& context, Ports ports, SubtitleJobs& subtitles,
                           QPushButton* playButton)
    : m_ctx(context), m_ports(ports), m_subtitles(subtitles), m_playButton(playButton) {
    m_copyTick.setInterval(3000);
    QObject::connect(&m_copyTick, &QTimer::timeout, [this] { copyTick(); });
    QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_watcher, [this] {
        if (m_phase == Phase::Copying || m_phase == Phase::Indexing)
            copyTick();
        else if (m_phase == Phase::Subtitles && m_subtitles.previewWatch().isActive())
            m_subtitles.watchPreview();
    });
}

QString PreviewChain::wmIndexerPath() const {
    return QDir(m_ctx.state.programDir).filePath(QStringLiteral("wmindexer"));
}

void PreviewChain::setButtonBusy(bool busy) {
    QPushButton* button = m_playButton;
    if (busy)
        button->setCursor(Qt::WaitCursor);
    else
        button->unsetCursor();
    button->setEnabled(!busy);
}

void PreviewChain::stopChain() {
    m_phase = Phase::Idle;
    m_copyTick.stop();
    watchMediaFolder(QString());
    setButtonBusy(false);
}

void PreviewChain::watchMediaFolder(const QString& folder) {
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    if (!folder.isEmpty()) m_watcher.addPath(folder);
}

void PreviewChain::playClicked() {
    if (busy()) return;  // one chain at a time
    const QString indexer = wmIndexerPath();
    if (!QFileInfo(indexer).isFile()) {
        m_ctx.log.logEvent(notFound(indexer));
        return;
    }
    setButtonBusy(true);
    closePreviewPlayer(QStringLiteral("preview-") + m_files.l8() + QStringLiteral("-idx.wmv"));
    deletePreviousPreview();

    const Encoder* encoder = m_ctx.encoder();
    if (!encoder || encoder->runState() != RunState::Running) {
        noRecording();
        return;
    }
    copyFast(encoder->outputFileName(), m_ctx.state.settings.mediaDir);
}

void PreviewChain::closePreviewPlayer(const QString& text) {
    const QList<PlayerWindows::WindowId> windows = m_ports.windows.windowsTitled(text);
    // Several matches: which one shows the preview cannot be told, so none is closed.
    if (windows.size() == 1) m_ports.windows.requestClose(windows.front());
}

void PreviewChain::deletePreviousPreview() {
    // The player was only asked to close; on this system a file still open
    // is unlinked all the same, and the player keeps what it has open.
    for (const QString& path : m_files.leftovers()) QFile::remove(path);
}

void PreviewChain::noRecording() {
    MonitorPort& monitor = m_ctx.monitor;
    const bool monitorShown = monitor.isVisible();
    if (monitorShown) monitor.sendToBack();
    m_ctx.messenger.show(QStringLiteral("Nincs rögzítés!"), Messenger::Icon::Warning);
    if (monitorShown) monitor.reapplyOnTop();
    setButtonBusy(false);
}

bool PreviewChain::runScript(const QString& scriptPath, const QByteArray& text,
                             const QString& marker) {
    QSaveFile script(scriptPath);
    if (!script.open(QIODevice::WriteOnly) || script.write(text) != text.size() ||
        !script.commit()) {
        m_ctx.log.logEvent(QStringLiteral("A(z) ") + scriptPath +
                           QStringLiteral(" fájl nem írható!"));
        return false;
    }
    // The marker is there before the script runs: a poll in between must
    // not take the job for finished.
    if (!createMarker(marker)) {
        m_ctx.log.logEvent(QStringLiteral("A(z) ") + marker + QStringLiteral(" fájl nem írható!"));
        QFile::remove(scriptPath);
        return false;
    }
    if (!m_ports.launcher.startDetached(kShell, {scriptPath})) {
        m_ctx.log.logEvent(notStarted(kShell));
        QFile::remove(marker);
        QFile::remove(scriptPath);
        return false;
    }
    return true;
}

void PreviewChain::copyFast(const QString& source, const QString& destinationFolder) {
    m_files = PreviewFiles::forRecording(m_ctx.state.programDir, source);
    m_destinationFolder = destinationFolder;
    const QString marker = m_files.copyMarkerPath();
    // A failure file left by an earlier run must not be read as this copy's.
    QFile::remove(m_files.copyFailurePath());
    const QByteArray script = ShellScript::copyScript(
        marker, QDir(m_files.sourceFolder()).filePath(m_files.sourceFileName()),
        m_files.previewCopyPath(destinationFolder), m_files.copyFailurePath());
    m_ctx.log.logJobEvent(QStringLiteral("Felvétel másolása..."));
    watchMediaFolder(m_files.sourceFolder());
    if (!runScript(m_files.copyScriptPath(), script, marker)) {
        stopChain();
        return;
    }
    m_phase = Phase::Copying;
    m_copyTick.start();
}

void PreviewChain::copyTick() {
    const BusyScope busy("preview copy tick");
    if (m_phase == Phase::Copying)
        copyPhase();
    else if (m_phase == Phase::Indexing)
        indexPhase();
}

void PreviewChain::copyPhase() {
    if (QFileInfo::exists(m_files.copyMarkerPath())) return;  // still copying
    QFile::remove(m_files.copyScriptPath());
    m_copyTick.stop();
    const QString copy = m_files.previewCopyPath(m_destinationFolder);
    QFile failure(m_files.copyFailurePath());
    if (failure.exists()) {
        // A copy cut short is not a preview: it is removed, which also gives
        // back the room a full disk needs for the recording itself.
        const QString words = cpWords(failure);
        failure.remove();
        QFile::remove(copy);
        reportCopyFailure(copyFailed(
            QDir(m_files.sourceFolder()).filePath(m_files.sourceFileName()), copy, words));
        return;
    }
    m_ctx.log.logEvent(QStringLiteral("Fájl másolása befejeződött: ") +
                       m_ctx.state.settings.mediaDir);
    if (!QFileInfo(copy).isFile()) {
        reportCopyFailure(QStringLiteral("A(z) ") + copy +
                          QStringLiteral(" fájl nem jött létre, nincs mit lejátszani."));
        return;
    }
    startIndexing(m_files.previewCopyName());
}

void PreviewChain::reportCopyFailure(const QString& text) {
    m_ctx.log.logEvent(text);
    stopChain();
    MonitorPort& monitor = m_ctx.monitor;
    const bool monitorShown = monitor.isVisible();
    if (monitorShown) monitor.sendToBack();
    m_ctx.messenger.show(text, Messenger::Icon::Critical);
    if (monitorShown) monitor.reapplyOnTop();
}

bool PreviewChain::wmIndexerRunning() const {
    return m_ports.processes.isRunning(QStringLiteral("wmindexer"));
}

void PreviewChain::startIndexing(const QString& fileName) {
    const QString input = QDir(m_files.sourceFolder()).filePath(fileName);
    const QString output = m_files.indexedCopyPath();
    const QString marker = m_files.indexMarkerPath();
    QByteArray script;
    if (!wmIndexerRunning()) {
        script = ShellScript::indexScript(marker, wmIndexerPath(), input, output);
        m_ctx.log.logJobEvent(QStringLiteral("Fájl indexelése..."));
    } else {
        // Only one indexer at a time: the copy plays unindexed under the
        // indexed name, so the rest of the chain finds it.
        QFile::remove(output);
        QFile::rename(input, output);
        script = ShellScript::markerOnlyScript(marker);
        m_ctx.log.logJobEvent(
            QStringLiteral("A fájl indexelése nem lehetséges mert a wmindexer már fut. "
                           "A felvételen belüli pozicionálás ez alkalommal nem működik."));
    }
    if (!runScript(m_files.indexScriptPath(), script, marker)) {
        stopChain();
        return;
    }
    m_phase = Phase::Indexing;
    m_copyTick.start();
}

void PreviewChain::indexPhase() {
    if (QFileInfo::exists(m_files.indexMarkerPath())) return;  // still indexing
    QFile::remove(m_files.indexScriptPath());
    m_ctx.log.logEvent(m_files.indexedCopyName() + QStringLiteral(" fájl indexelése befejeződöt."));
    m_copyTick.stop();
    const QString indexed = m_files.indexedCopyPath();
    if (!QFileInfo(indexed).isFile()) {
        m_ctx.log.logEvent(QStringLiteral("A(z) ") + indexed +
                           QStringLiteral(" fájl nem jött létre, nincs mit lejátszani."));
        stopChain();
        return;
    }
    m_phase = Phase::Subtitles;
    if (!m_subtitles.startPreviewJob(indexed)) stopChain();
}

void PreviewChain::playback() {
    if (m_phase != Phase::Subtitles) return;
    const RecorderState& s = m_ctx.state;
    m_ctx.log.logEvent(s.settings.mediaDir + QStringLiteral("/") + m_files.indexedCopyName() +
                       QStringLiteral(" felvétel lejátszása..."));
    // The player finds the subtitle file beside the copy by its name.
    if (!m_ports.launcher.startDetached(s.settings.fileMPlayer, {m_files.indexedCopyPath()}))
        m_ctx.log.logEvent(notStarted(s.settings.fileMPlayer));
    stopChain();
}

}  // namespace kelm
