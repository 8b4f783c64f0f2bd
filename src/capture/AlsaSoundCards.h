#pragma once

#include "capture/CaptureDevices.h"

namespace kelm {

// Sound cards from ALSA's own device list. With a sound server running,
// `default` and `pulse` capture from it.
class AlsaSoundCards final : public SoundCardList {
public:
    QStringList captureDevices() override;
};

}  // namespace kelm
