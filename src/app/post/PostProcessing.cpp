#include "PostProcessing.h"

#include "PreviewChain.h"
#include "SubtitleJobs.h"

namespace kelm {

PostProcessing::PostProcessing(RecorderContext& context, Ports ports, QPushButton* playButton) {
    m_subtitles =
        std::make_unique<SubtitleJobs>(context, ports.launcher, [this] { m_preview->playback(); });
    m_preview = std::make_unique<PreviewChain>(
        context, PreviewChain::Ports{ports.launcher, ports.processes, ports.windows}, *m_subtitles,
        playButton);
}

void PostProcessing::playClicked() {
    m_preview->playClicked();
}

PostProcessing::~PostProcessing() = default;

void PostProcessing::beforeExit() {
    constexpr int kLiveJobLimitMs = 3000;
    m_subtitles->finishLiveBeforeExit(kLiveJobLimitMs);
}

}  // namespace kelm
