#pragma once

#include "ShellKeys.h"

#include <functional>

namespace kelm {

// Whether the recording control is idle or armed (armed also while recording).
// The one place that state lives: the start button only shows it, and the
// scheduler, the status loop and start-up read it here.
class RecordingArmState final {
public:
    using Observer = std::function<void(Arm)>;

    Arm value() const { return m_arm; }
    bool isArmed() const { return m_arm == Arm::Armed; }
    bool isIdle() const { return m_arm == Arm::Idle; }

    // Sets the state and tells the observer (also when unchanged, so a view
    // attached late shows the right picture after the next set).
    void set(Arm arm) {
        m_arm = arm;
        if (m_observer) m_observer(arm);
    }

    // One observer, called on every set; the current value is shown at once.
    void setObserver(Observer observer) {
        m_observer = std::move(observer);
        if (m_observer) m_observer(m_arm);
    }

private:
    Arm m_arm = Arm::Idle;
    Observer m_observer;
};

}  // namespace kelm
