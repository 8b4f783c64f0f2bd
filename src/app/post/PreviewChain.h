#pragma once

#include "RecorderContext.h"
#include "post/PreviewFiles.h"

#include <QFileSystemWatcher>
#include <QTimer>

class QPushButton;

namespace kelm {

class PlayerWindows;
class ProcessTable;
class ProgramLauncher;
class SubtitleJobs;

// The preview of a recording that is still being written: the play button
// closes the player of the previous preview, removes that preview's files,
// copies the growing recording (copyFast), builds an indexed copy of the copy
// (startIndexing, with `wmindexer` from the program folder), has its subtitle
// file made (SubtitleJobs) and opens it in the configured player. The play
// button stays busy from the click until playback or until the chain stops on
// a failure, which is logged (a failed copy is also told in a message box).
//
// The copy and the index step each run as a small /bin/sh script that KELM
// writes to the program folder and starts detached; a marker file beside the
// recording exists while the script works. KELM creates that marker itself
// before it starts the script, so no poll can take a script that has not yet
// begun for one that has finished. The copy tick (3000 ms) polls the markers; a
// change in the media folder polls at once, so a quick copy does not wait
// for the timer.
//
// GUI thread only.
class PreviewChain final {
public:
    struct Ports {
        ProgramLauncher& launcher;
        ProcessTable& processes;
        PlayerWindows& windows;
    };
    // `playButton` shows the chain busy from the click until it ends.
    PreviewChain(RecorderContext& context, Ports ports, SubtitleJobs& subtitles,
                 QPushButton* playButton);

    QString wmIndexerPath() const;

    // The play button.
    void playClicked();
    // Closes the one window whose title contains `text`; none or several: nothing.
    void closePreviewPlayer(const QString& text);
    // Copies `source` (the recording) into `destinationFolder` (the media folder).
    void copyFast(const QString& source, const QString& destinationFolder);
    // One copy tick: the copy phase, then the index phase.
    void copyTick();
    // Builds the indexed copy of `fileName` (a name in the recording's folder).
    void startIndexing(const QString& fileName);
    bool wmIndexerRunning() const;
    // The preview job has finished: the player is started.
    void playback();

    bool busy() const { return m_phase != Phase::Idle; }
    const PreviewFiles& files() const { return m_files; }
    const QTimer& copyTimer() const { return m_copyTick; }

private:
    enum class Phase { Idle, Copying, Indexing, Subtitles };

    void setButtonBusy(bool busy);
    // Ends the chain without playback; the reason is logged by the caller.
    void stopChain();
    // Writes a script and starts it with its marker already in place.
    bool runScript(const QString& scriptPath, const QByteArray& text, const QString& marker);
    void copyPhase();
    // Stops the chain on a failed copy: logged, and told in a message box.
    void reportCopyFailure(const QString& text);
    void indexPhase();
    void deletePreviousPreview();
    void noRecording();
    void watchMediaFolder(const QString& folder);

    RecorderContext& m_ctx;
    Ports m_ports;
    SubtitleJobs& m_subtitles;
    Phase m_phase = Phase::Idle;
    PreviewFiles m_files;  // shortSourceFileName and shortSourcePathName
    QString m_destinationFolder;
    QFileSystemWatcher m_watcher;
    QPushButton* m_playButton;
    QTimer m_copyTick;
};

}  // namespace kelm
