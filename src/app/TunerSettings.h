#pragma once

#include "RecorderContext.h"

namespace kelm {

class StateBinding;
class VideoDeviceList;

// The four tuner lists of the video frame (standard, pixel format, channel,
// cable or antenna): filled from the tables, each choice sent to the chosen
// capture device at once and written onto its line of the state file, and
// restored from there whenever a device input is chosen.
class TunerSettings final {
public:
    TunerSettings(RecorderContext& context, StateBinding& stateBinding,
                  VideoDeviceList& videoDevices)
        : m_ctx(context), m_state(stateBinding), m_devices(videoDevices) {}

    // Connects the four lists' selection handlers.
    void wire();

    // Fills standards, pixel formats and tuner input types (channels stay).
    void FillTunerLists();
    // Selects the saved lines 8 to 11 (or each list's default), which applies
    // and saves them, then prepares the encoder again.
    void RestoreTunerSettings();
    // While the encoder is stopped: prepares it again and, when the live
    // picture is wanted, shows the source's picture on the monitor.
    void ReapplyPreparedState();

    void channelSelected();
    void pixelFormatSelected();
    void tvTypeSelected();
    void tvFormatSelected();

private:
    QString device() const;

    RecorderContext& m_ctx;
    StateBinding& m_state;
    VideoDeviceList& m_devices;
};

}  // namespace kelm
