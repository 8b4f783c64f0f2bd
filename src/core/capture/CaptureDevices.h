#pragma once

#include <QString>
#include <QStringList>

namespace kelm {

// The sound cards that can record: ALSA capture devices that take 16-bit
// stereo at 44100 Hz, named by their description. The encoder is given
// "Device://" + one of these names.
class SoundCardList {
public:
    virtual ~SoundCardList() = default;
    virtual QStringList captureDevices() = 0;
};

// The video capture devices (V4L2 nodes that capture video), named by their
// card name, and each device's inputs in the device's own order. The encoder is
// given "DEVICE://" + one of these names.
class VideoDeviceList {
public:
    virtual ~VideoDeviceList() = default;
    virtual QStringList devices() = 0;
    virtual QStringList inputs(const QString& device) = 0;
};

}  // namespace kelm
