#pragma once

#include "RecorderContext.h"

class QPushButton;

namespace kelm {

class EncoderControl;
class RecordingGuard;
class StateBinding;
class StatusBar;
class TimeFields;
class Toolbar;
struct SourceLists;

// The one start/stop control of a recording in the three modes: "Most"
// records at once, "1X" and "Napi" arm the scheduler, which starts the
// encoder at the start time. It also disarms, after a confirmation.
class RecordingControl final {
public:
    // What the control works with besides the shared context.
    struct Parts {
        EncoderControl& encoderControl;
        StateBinding& stateBinding;
        RecordingGuard& guard;
        Toolbar& toolbar;
        SourceLists& sources;
        TimeFields& timeFields;
        StatusBar& statusBar;
        QPushButton* playPreview;
    };

    RecordingControl(RecorderContext& context, Parts parts)
        : m_ctx(context),
          m_encoder(parts.encoderControl),
          m_state(parts.stateBinding),
          m_guard(parts.guard),
          m_toolbar(parts.toolbar),
          m_sources(parts.sources),
          m_timeFields(parts.timeFields),
          m_statusBar(parts.statusBar),
          m_playPreview(parts.playPreview) {}

    void toggleRecording();

    // Unlocks the form after a recording: the lists, the time fields and the
    // mode buttons. `keepStartLocked` leaves the start field disabled (immediate mode).
    void unlockForm(bool keepStartLocked);
    // The control is idle again: the start button offers the start.
    void showIdle();

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
    Toolbar& m_toolbar;
    SourceLists& m_sources;
    TimeFields& m_timeFields;
    StatusBar& m_statusBar;
    QPushButton* m_playPreview;
};

}  // namespace kelm
