#pragma once

#include "capture/CaptureDevices.h"

namespace kelm {

// Video capture devices from the /dev/video* nodes that can capture video.
class V4l2VideoDevices final : public VideoDeviceList {
public:
    QStringList devices() override;
    QStringList inputs(const QString& device) override;
};

}  // namespace kelm
