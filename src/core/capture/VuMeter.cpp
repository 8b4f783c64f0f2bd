#include "capture/VuMeter.h"

namespace kelm {

VuMeter::VuMeter(LevelCapture& capture, LevelDisplay& display, XtimerTable& timers)
    : m_capture(capture),
      m_display(display),
      m_timer(timers),
      m_buffers(std::make_unique<std::array<CaptureBuffer, kRingSize>>()) {
    m_timer.setInterval(kIntervalMs);
    m_timer.Timer = [this] { return timerTick(); };
}

VuMeter::~VuMeter() {
    stopVuMeter();
}

bool VuMeter::startVuMeter(const QString& card) {
    if (!m_capture.open(card)) return false;
    if (!m_timer.setEnabled(true).ok()) {
        m_timer.setEnabled(false);
        m_capture.close();
        return false;
    }
    return true;
}

void VuMeter::stopVuMeter() {
    m_timer.setEnabled(false);
    if (!m_capture.isOpen()) return;
    m_capture.close();
}

TickResult VuMeter::timerTick() {
    if (!m_capture.collect()) return TickResult::Failed;
    for (;;) {
        CaptureBuffer& current = buffer(m_currentBuffer);
        if (!current.done) {
            for (int p = m_currentBuffer; p < m_currentBuffer + kRingSize; ++p)
                queueCaptureBuffer(buffer(p));
            break;
        }
        processCaptureBuffer(current);
        m_currentBuffer = (m_currentBuffer + 1) % kRingSize;
    }
    m_display.showLevels(LevelAnalysis::levelPercent(m_peaks.left),
                         LevelAnalysis::levelPercent(m_peaks.right));
    return TickResult::Continue;
}

void VuMeter::queueCaptureBuffer(CaptureBuffer& buffer) {
    if (buffer.queued) return;
    buffer.queued = true;
    buffer.framesRecorded = 0;
    m_capture.addBuffer(buffer);
}

void VuMeter::processCaptureBuffer(CaptureBuffer& buffer) {
    buffer.done = false;
    buffer.queued = false;
    m_peaks = LevelAnalysis::analyse(buffer, m_display.scopeHeight(), m_left, m_right);
    m_display.showTraces(m_left, m_right);
}

}  // namespace kelm
