#pragma once

#include "ShellKeys.h"
#include "ShownValue.h"

namespace kelm {

// Whether the recording control is idle or armed (armed also while recording).
// The one place that state lives: the start button only shows it, and the
// scheduler, the status loop and start-up read it here.
class RecordingArmState final : public ShownValue<Arm> {
public:
    RecordingArmState() : ShownValue(Arm::Idle) {}

    bool isArmed() const { return value() == Arm::Armed; }
    bool isIdle() const { return value() == Arm::Idle; }
};

// The recording mode: "Most" records at once, "1X" once at the start time,
// "Napi" every day at it. The one place the mode lives: the three mode
// buttons and their menu items only show it.
class RecordingModeState final : public ShownValue<RecordingMode> {
public:
    // Start-up chooses "Napi" too; until then nothing may count as "Most",
    // which would name an immediate recording's times after the clock.
    RecordingModeState() : ShownValue(RecordingMode::Daily) {}

    bool is(RecordingMode mode) const { return value() == mode; }
};

}  // namespace kelm
