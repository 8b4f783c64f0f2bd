#include "PostProcessing.h"

#include "MainForm.h"
#include "PreviewChain.h"
#include "SubtitleJobs.h"

namespace kelm {

PostProcessing::PostProcessing(RecorderContext& context, Ports ports) {
    m_subtitles =
        std::make_unique<SubtitleJobs>(context, ports.launcher, [this] { m_preview->playback(); });
    m_preview = std::make_unique<PreviewChain>(
        context, PreviewChain::Ports{ports.launcher, ports.processes, ports.windows}, *m_subtitles);

    MainForm& f = context.form;
    QObject::connect(f.preStartSub, &QTimer::timeout, &m_receiver,
                     [this] { m_subtitles->launchLive(); });
    QObject::connect(f.startSub, &QTimer::timeout, &m_receiver,
                     [this] { m_subtitles->watchLive(); });
    QObject::connect(f.startPreviewSub, &QTimer::timeout, &m_receiver,
                     [this] { m_subtitles->watchPreview(); });
    QObject::connect(f.TimerCopy, &QTimer::timeout, &m_receiver,
                     [this] { m_preview->timerCopyTick(); });
}

void PostProcessing::cmdPlayClick() {
    m_preview->cmdPlayClick();
}

PostProcessing::~PostProcessing() = default;

void PostProcessing::beforeExit() {
    constexpr int kLiveJobLimitMs = 3000;
    m_subtitles->finishLiveBeforeExit(kLiveJobLimitMs);
}

}  // namespace kelm
