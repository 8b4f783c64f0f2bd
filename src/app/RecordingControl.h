#pragma once

#include "RecorderContext.h"

namespace kelm {

class EncoderControl;
class RecordingGuard;
class StateBinding;

// The one start/stop control of a recording in the three modes: "Most"
// records at once, "1X" and "Napi" arm the scheduler, which starts the
// encoder at the start time. It also disarms, after a confirmation.
class RecordingControl final {
public:
    RecordingControl(RecorderContext& context, EncoderControl& encoderControl,
                     StateBinding& stateBinding, RecordingGuard& guard)
        : m_ctx(context), m_encoder(encoderControl), m_state(stateBinding), m_guard(guard) {}

    void ToggleRecording();

    // Unlocks the form after a recording: the lists, the time fields and the
    // mode buttons. `keepStartLocked` leaves the start field disabled (immediate mode).
    void unlockForm(bool keepStartLocked);

    // Shows a message box with the monitor window kept out of its way.
    int askAroundMonitor(const std::function<int()>& box);

private:
    void arm(bool daily);
    void disarm();
    void lockForm();
    void keepSourcesRunning();
    void writeSummary();

    RecorderContext& m_ctx;
    EncoderControl& m_encoder;
    StateBinding& m_state;
    RecordingGuard& m_guard;
};

}  // namespace kelm
