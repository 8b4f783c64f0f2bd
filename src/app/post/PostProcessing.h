#pragma once

#include "RecorderContext.h"

#include <memory>

class QPushButton;

namespace kelm {

class PlayerWindows;
class PreviewChain;
class SealControl;
class ProcessTable;
class ProgramLauncher;
class SubtitleJobs;

// The post-processing of recordings: the timecode subtitle jobs, the seals
// of the closed files and the preview chain of the play button. The play button's click reaches it
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
    SealControl& seals() { return *m_seals; }
    // KELM ends: the live jobs are seen to their end, then the seals of the
    // files they belong to are written.
    void beforeExit();
    // The play button's command: the preview chain of the running recording.
    void playClicked();
    PreviewChain& previewChain() { return *m_preview; }

private:
    std::unique_ptr<SubtitleJobs> m_subtitles;
    std::unique_ptr<PreviewChain> m_preview;
    std::unique_ptr<SealControl> m_seals;
};

}  // namespace kelm
