#pragma once

#include "RecorderContext.h"

namespace kelm {

class RecordingControl;

// The status tick (Timer2, every 300 ms for the whole run): mixer sliders,
// clock, zoom controls, the menu mirror of the toolbar, the status icon (also
// in the tray), the daily preparation three seconds before each start, and
// the size limit of the log box.
class StatusLoop final {
public:
    StatusLoop(RecorderContext& context, RecordingControl& recordingControl)
        : m_ctx(context), m_control(recordingControl) {}

    void tick();

    // The status icon shown last (101, 103, 104 or 105), 0 before the first.
    int statusIcon() const { return m_icon; }

private:
    void mirrorMenus();
    void updateStatusIcon();

    RecorderContext& m_ctx;
    RecordingControl& m_control;
    int m_icon = 0;
};

}  // namespace kelm
