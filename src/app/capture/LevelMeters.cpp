#include "LevelMeters.h"

#include "FormParts.h"
#include "LedMeter.h"
#include "WaveformPicture.h"

namespace kelm {

LevelMeters::LevelMeters(const LevelWidgets& widgets, LevelCapture& capture, XtimerTable& timers)
    : m_widgets(widgets), m_meter(capture, *this, timers) {}

int LevelMeters::scopeHeight() const {
    return m_widgets.waveforms[0]->height();
}

void LevelMeters::showLevels(int left, int right) {
    m_widgets.meter->setLevel(0, left);
    m_widgets.meter->setLevel(1, right);
}

void LevelMeters::showTraces(const WaveTrace& left, const WaveTrace& right) {
    m_widgets.waveforms[0]->setTrace(left.points);
    m_widgets.waveforms[1]->setTrace(right.points);
}

}  // namespace kelm
