#pragma once

#include "ShellPorts.h"
#include "capture/VuMeter.h"

namespace kelm {

struct LevelWidgets;

// The main window's live level meters: the card's own capture analysed by
// the 40 ms timer `XT`, shown on the LED meter and the two waveform pictures.
class LevelMeters final : public LevelMeterPort, public LevelDisplay {
public:
    LevelMeters(const LevelWidgets& widgets, LevelCapture& capture, XtimerTable& timers);

    // LevelMeterPort
    bool isOpen() const override { return m_meter.isOpen(); }
    void stop() override { stopVuMeter(); }

    // Starts metering the card; false (meters still) when it cannot be opened.
    bool startVuMeter(const QString& card) { return m_meter.startVuMeter(card); }
    void stopVuMeter() { m_meter.stopVuMeter(); }
    TickResult timerTick() { return m_meter.timerTick(); }
    VuMeter& meter() { return m_meter; }

    // LevelDisplay
    int scopeHeight() const override;
    void showLevels(int left, int right) override;
    void showTraces(const WaveTrace& left, const WaveTrace& right) override;

private:
    const LevelWidgets& m_widgets;
    VuMeter m_meter;
};

}  // namespace kelm
