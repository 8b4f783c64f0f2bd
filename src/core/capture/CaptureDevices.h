#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace kelm {

// The sound cards that can record: ALSA capture devices that take 16-bit
// stereo at 44100 Hz, named by their description. The encoder is given
// "Device://" + one of these names.
class SoundCardList {
public:
    virtual ~SoundCardList() = default;
    virtual QStringList captureDevices() = 0;
};

// Outcome of a request to a capture device.
enum class DeviceResult {
    Done,
    Refused,  // the device does not take this value (a TV standard: error 0x80070001)
    Failed,   // the device is gone, busy or cannot be opened
};

// The video capture devices (V4L2 nodes that capture video), named by their
// card name (with their bus when two cards share it, VideoDeviceNames), each device's inputs in the
// device's own order (a tuner input is named "Video Tuner"), and the tuner and picture settings of
// a device.
//
// Settings take the values of TunerTables (analog video standards, picture
// media subtypes, tuner input type 0 cable / 1 antenna, channel numbers of
// ChannelTables); the implementation translates them for the device. Calls
// are made on the GUI thread and return at once (no call waits for a signal).
class VideoDeviceList {
public:
    virtual ~VideoDeviceList() = default;
    virtual QStringList devices() = 0;
    virtual QStringList inputs(const QString& device) = 0;

    virtual DeviceResult selectInput(const QString& device, int index) = 0;
    // The tuner's highest channel: the size of the channel table of its
    // current input type (cable until told otherwise). 0 without a tuner.
    virtual int highestChannel(const QString& device) = 0;
    // The channel the tuner is on; nullopt when it cannot be read or lies on
    // no channel of the table.
    virtual std::optional<int> currentChannel(const QString& device) = 0;
    virtual DeviceResult setChannel(const QString& device, int channel) = 0;
    // 0 cable, 1 antenna; anything else is refused.
    virtual DeviceResult setTunerInputType(const QString& device, int type) = 0;
    virtual DeviceResult setStandard(const QString& device, std::uint32_t analogStandard) = 0;
    virtual DeviceResult setPixelFormat(const QString& device, std::uint32_t mediaSubtype) = 0;
};

}  // namespace kelm
