#pragma once

#include "capture/HeldCondition.h"
#include "encoder/SignalMeasures.h"

#include <vector>

namespace kelm {

// The recorded picture's two faults, each held for more than 10 s:
// - black: the mean luma at most 24 of 255, i.e. within 8 levels of video
//   black (16). Noise, a faint logo or caption on black stay under it; the
//   darkest night scene of a programme lies well above it.
// - frozen: consecutive pictures practically identical: less than 0.5 % of
//   the blocks of the measuring grid (fewer than 4 of 768) change noticeably
//   from one picture to the next. A live analogue source is never
//   bit-identical, but its noise moves no block mean that far, while a
//   single speaking face moves dozens. A black picture is reported as black
//   only: it is still by nature.
// A picture file's source is still by design: its stillness is not watched.
// Fed on the GUI thread as the measures come.
class PictureWatch final {
public:
    static constexpr double kBlackAtMostLuma = 24.0;
    static constexpr double kFrozenBelowChangedShare = 0.005;
    static constexpr qint64 kThresholdMs = 10000;

    enum class Stillness { Watched, ByDesign };

    PictureWatch(const Clock& clock, Stillness stillness)
        : m_clock(clock), m_stillness(stillness) {}

    // The alarms that began or ended with these measures, black first.
    std::vector<SignalAlarmEvent> observe(const PictureMeasures& measures);
    std::vector<SignalAlarmEvent> recordingEnded();
    bool blackAlarmed() const { return m_black.alarmed(); }
    bool frozenAlarmed() const { return m_frozen.alarmed(); }

    static bool black(const PictureMeasures& measures);
    static bool frozen(const PictureMeasures& measures);

private:
    const Clock& m_clock;
    Stillness m_stillness;
    HeldCondition m_black{SignalAlarm::BlackPicture, kThresholdMs};
    HeldCondition m_frozen{SignalAlarm::FrozenPicture, kThresholdMs};
};

}  // namespace kelm
