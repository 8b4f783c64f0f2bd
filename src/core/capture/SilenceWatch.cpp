#include "capture/SilenceWatch.h"

#include <algorithm>

namespace kelm {

bool SilenceWatch::silent(const SoundLevels& levels) {
    return !levels.rmsDb.isEmpty() && std::all_of(levels.rmsDb.cbegin(), levels.rmsDb.cend(),
                                                  [](double db) { return db < kSilentBelowDb; });
}

std::optional<SignalAlarmEvent> SilenceWatch::observe(const SoundLevels& levels) {
    if (levels.rmsDb.isEmpty()) return std::nullopt;
    return m_silence.observe(silent(levels), m_clock);
}

}  // namespace kelm
