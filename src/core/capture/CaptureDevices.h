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

// What the tuner lists choose for a capture device, in TunerTables' values.
// The recording engine brings the device to these settings before its
// picture source streams, and builds the source with them (the standard and
// the picture format); the tuner is also tuned at once while it streams.
struct VideoCaptureSettings {
    int input = -1;                    // index of the device's input; -1: the one the driver has
    std::uint32_t analogStandard = 0;  // 0 ("None"): the driver's own
    std::uint32_t pixelFormat = 1;     // 1 ("AUTO"): the source and the graph agree
    int tunerInput = 0;                // 0 cable, 1 antenna: the channel table
    int channel = 0;                   // on that table, 1-based; 0: not tuned

    // The settings a streaming device refuses to change: a change of one of
    // them stops the picture source, and the next prepare builds it anew.
    bool sameStreamingSettings(const VideoCaptureSettings& other) const {
        return input == other.input && analogStandard == other.analogStandard &&
               pixelFormat == other.pixelFormat;
    }
    bool operator==(const VideoCaptureSettings&) const = default;
};

// Outcome of a request to a capture device.
enum class DeviceResult {
    Done,
    Refused,  // the device does not take this value (a TV standard: error 0x80070001)
    Failed,   // the device is gone, busy or cannot be opened
};

// The video capture devices (V4L2 nodes that capture video), named by their
// card name (with their bus when two cards share it, VideoDeviceNames), each
// device's inputs in the device's own order (a tuner input is named "Video
// Tuner"), and the tuner and picture settings of a device.
//
// Settings take the values of TunerTables (analog video standards, picture
// media subtypes, tuner input type 0 cable / 1 antenna, channel numbers of
// ChannelTables); the implementation translates them for the device. The
// implementation keeps no state of its own, so the engine may call
// applyCaptureSettings() from its own thread while the GUI thread asks.
//
// A device that streams refuses a new input, standard or picture format, as
// vb2 drivers do: those are applied only by applyCaptureSettings(), which the
// engine calls while its picture source is stopped. The tuner's frequency may
// change while the device streams (tune()).
class VideoDeviceList {
public:
    virtual ~VideoDeviceList() = default;
    virtual QStringList devices() = 0;
    virtual QStringList inputs(const QString& device) = 0;
    // The device node of a list entry ("/dev/video0"); empty when none.
    virtual QString nodeOf(const QString& device) = 0;

    // The highest channel of the tuner of `settings.input`: the size of the
    // channel table of `settings.tunerInput`. 0 when that input has no tuner.
    virtual int highestChannel(const QString& device, const VideoCaptureSettings& settings) = 0;
    // The channel the input's tuner is on, on the table of
    // `settings.tunerInput`; nullopt when it cannot be read or lies on no
    // channel of that table.
    virtual std::optional<int> currentChannel(const QString& device,
                                              const VideoCaptureSettings& settings) = 0;
    // Tunes the input's tuner to `settings.channel` of its table; allowed
    // while the device streams.
    virtual DeviceResult tune(const QString& device, const VideoCaptureSettings& settings) = 0;
    // Whether the input takes this standard / the device this picture format,
    // asked without changing anything: Refused when not (a TV standard: error
    // 0x80070001), Failed when the device cannot be reached. "None" and
    // "AUTO" are always taken.
    virtual DeviceResult checkStandard(const QString& device, int input,
                                       std::uint32_t analogStandard) = 0;
    virtual DeviceResult checkPixelFormat(const QString& device, std::uint32_t mediaSubtype) = 0;
    // Brings the device to the settings, in the order a driver needs them:
    // the input, its standard, the picture format, the tuner's frequency.
    // Fails (busy) while another handle streams; a value the device refuses
    // is left as the driver has it and does not stop the others.
    virtual DeviceResult applyCaptureSettings(const QString& device,
                                              const VideoCaptureSettings& settings) = 0;
};

}  // namespace kelm
