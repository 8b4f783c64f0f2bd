#pragma once

#include "ShellPorts.h"
#include "capture/VuMeter.h"

namespace kelm {

struct MainForm;

// The main window's live level meters: the card's own capture analysed by
// the 40 ms timer `XT`, shown on the LED meter and the two waveform pictures.
class LevelMeters final : public LevelMeterPort, public LevelDisplay {
public:
    LevelMeters(MainForm& form, LevelCapture& capture, XtimerTable& timers);

    // LevelMeterPort
    bool isOpen() const override { return m_meter.isOpen(); }
    void stop() override { StopVUMeter(); }

    // Starts metering the card; false (meters still) when it cannot be opened.
    bool StartVUMeter(const QString& card) { return m_meter.StartVUMeter(card); }
    void StopVUMeter() { m_meter.StopVUMeter(); }
    TickResult XT_Timer() { return m_meter.XT_Timer(); }
    VuMeter& meter() { return m_meter; }

    // LevelDisplay
    int scopeHeight() const override;
    void showLevels(int left, int right) override;
    void showTraces(const WaveTrace& left, const WaveTrace& right) override;

private:
    MainForm& m_form;
    VuMeter m_meter;
};

}  // namespace kelm
