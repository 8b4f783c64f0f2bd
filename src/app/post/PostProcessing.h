#pragma once

#include "RecorderContext.h"

#include <memory>

class QPushButton;

namespace kelm {

class PlayerWindows;
class PreviewChain;
class ProcessTable;
class ProgramLauncher;
class SubtitleJobs;

// The post-processing of recordings: the timecode subtitle jobs and the
// preview chain of the play button. The play button's click reaches it
// through the main window's command table.
class PostProcessing final {
public:
    struct Ports {
        ProgramLauncher& launcher;
        ProcessTable& processes;
        PlayerWindows& windows;
    };
    PostProcessing(RecorderContext& context, Ports ports, QPushButton* playButton);
    ~PostProcessing();

    SubtitleJobs& subtitleJobs() { return *m_subtitles; }
    // KELM ends after a command-line recording: the live job is seen to its end.
    void beforeExit();
    // The play button's command: the preview chain of the running recording.
    void playClicked();
    PreviewChain& previewChain() { return *m_preview; }

private:
    std::unique_ptr<SubtitleJobs> m_subtitles;
    std::unique_ptr<PreviewChain> m_preview;
};

}  // namespace kelm
