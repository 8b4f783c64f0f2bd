#pragma once

#include "capture/HeldCondition.h"
#include "encoder/SignalMeasures.h"

namespace kelm {

// Dead air: every channel of the recorded sound below -50 dBFS (RMS over the
// encoder's measuring interval) for more than 5 s. RMS rather than peak, so
// the hiss of a dead analogue line, whose peaks may pass -50 dBFS, still
// counts as silence. Fed on the GUI thread as the levels come.
class SilenceWatch final {
public:
    static constexpr double kSilentBelowDb = -50.0;
    static constexpr qint64 kThresholdMs = 5000;

    explicit SilenceWatch(const Clock& clock) : m_clock(clock) {}

    // Levels without a channel say nothing and change nothing.
    std::optional<SignalAlarmEvent> observe(const SoundLevels& levels);
    std::optional<SignalAlarmEvent> recordingEnded() { return m_silence.end(m_clock); }
    bool alarmed() const { return m_silence.alarmed(); }

    static bool silent(const SoundLevels& levels);

private:
    const Clock& m_clock;
    HeldCondition m_silence{SignalAlarm::Silence, kThresholdMs};
};

}  // namespace kelm
