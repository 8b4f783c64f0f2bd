#include "LevelMeters.h"

#include "LedMeter.h"
#include "MainForm.h"
#include "WaveformPicture.h"

namespace kelm {

LevelMeters::LevelMeters(MainForm& form, LevelCapture& capture, XtimerTable& timers)
    : m_form(form), m_meter(capture, *this, timers) {}

int LevelMeters::scopeHeight() const {
    return m_form.Scope[0]->height();
}

void LevelMeters::showLevels(int left, int right) {
    m_form.LEDMeter1->setLevel(0, left);
    m_form.LEDMeter1->setLevel(1, right);
}

void LevelMeters::showTraces(const WaveTrace& left, const WaveTrace& right) {
    m_form.Scope[0]->setTrace(left.points);
    m_form.Scope[1]->setTrace(right.points);
}

}  // namespace kelm
