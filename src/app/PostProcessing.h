#pragma once

#include "RecorderContext.h"

#include <QObject>
#include <memory>

namespace kelm {

class PlayerWindows;
class PreviewChain;
class ProcessTable;
class ProgramLauncher;
class SubtitleJobs;

// The post-processing of recordings: the timecode subtitle jobs and the
// preview chain of the play button. Connects the window's preStartSub,
// startSub, startPreviewSub and TimerCopy timers to them; the play button
// reaches it through the main window's command table.
class PostProcessing final {
public:
    struct Ports {
        ProgramLauncher& launcher;
        ProcessTable& processes;
        PlayerWindows& windows;
    };
    PostProcessing(RecorderContext& context, Ports ports);
    ~PostProcessing();

    SubtitleJobs& subtitleJobs() { return *m_subtitles; }
    // KELM ends after a command-line recording: the live job is seen to its end.
    void beforeExit();
    // The play button's command: the preview chain of the running recording.
    void cmdPlayClick();
    PreviewChain& previewChain() { return *m_preview; }

private:
    QObject m_receiver;  // ends the connections with this object
    std::unique_ptr<SubtitleJobs> m_subtitles;
    std::unique_ptr<PreviewChain> m_preview;
};

}  // namespace kelm
