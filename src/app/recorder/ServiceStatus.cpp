#include "ServiceStatus.h"

#include "encoder/Encoder.h"
#include "post/ServiceNotifier.h"
#include "recorder/Clock.h"

#include <QFileInfo>

namespace kelm {

void ServiceStatus::ready() {
    if (!m_notifier.isListening()) return;
    m_notifier.notify(QByteArrayLiteral("READY=1"));
    tick();
}

void ServiceStatus::tick() {
    if (!m_notifier.isListening()) return;
    for (const QByteArray& message : m_heartbeat.tick(view(), m_ctx.clock.monotonicMs()))
        m_notifier.notify(message);
}

ServiceView ServiceStatus::view() const {
    ServiceView view;
    view.statusText = m_ctx.state.statusText;
    const Encoder* encoder = m_ctx.encoder();
    if (encoder && encoder->runState() == RunState::Running) {
        const EncoderStatistics statistics = encoder->statistics();
        view.recording = true;
        view.fileName = QFileInfo(encoder->outputFileName()).fileName();
        view.elapsedMs = statistics.archiveDurationMs;
        view.fileBytes = statistics.archiveBytes;
    }
    return view;
}

}  // namespace kelm
