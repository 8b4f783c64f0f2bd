#include "PostProcessing.h"

#include "PreviewChain.h"
#include "SealControl.h"
#include "SubtitleJobs.h"

namespace kelm {

PostProcessing::PostProcessing(RecorderContext& context, Ports ports, QPushButton* playButton) {
    m_subtitles =
        std::make_unique<SubtitleJobs>(context, ports.launcher, [this] { m_preview->playback(); });
    m_preview = std::make_unique<PreviewChain>(
        context, PreviewChain::Ports{ports.launcher, ports.processes, ports.windows}, *m_subtitles,
        playButton);
    m_seals = std::make_unique<SealControl>(
        context, [this](const QString& path) { return m_subtitles->livePending(path); });
}

void PostProcessing::playClicked() {
    m_preview->playClicked();
}

PostProcessing::~PostProcessing() = default;

void PostProcessing::beforeExit() {
    constexpr int kLiveJobLimitMs = 3000;
    // An hour of recording hashes in a second or two; a slow disk gets more.
    constexpr int kSealLimitMs = 30000;
    m_subtitles->finishLiveBeforeExit(kLiveJobLimitMs);
    m_seals->finishBeforeExit(kSealLimitMs);
}

}  // namespace kelm
