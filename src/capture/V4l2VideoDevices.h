#pragma once

#include "V4l2Io.h"
#include "capture/CaptureDevices.h"

#include <linux/videodev2.h>
#include <QHash>
#include <cstdint>
#include <optional>

namespace kelm {

// Video capture devices from the /dev/video* nodes that can capture video,
// through the V4l2Io seam. Every call opens the device's node, makes its
// requests and closes it again; the settings stay with the driver.
//
// Translation: TV standards go to the matching v4l2_std_id ("None" sends
// nothing); pixel formats to the matching V4L2 format ("AUTO" sends nothing,
// formats V4L2 has no code for are refused); channels to the frequency of the
// European channel table of the tuner input type (cable or antenna), which
// this layer keeps per device because V4L2 has no such setting.
class V4l2VideoDevices final : public VideoDeviceList {
public:
    explicit V4l2VideoDevices(V4l2Io& io) : m_io(io) {}

    QStringList devices() override;
    QStringList inputs(const QString& device) override;
    DeviceResult selectInput(const QString& device, int index) override;
    int highestChannel(const QString& device) override;
    std::optional<int> currentChannel(const QString& device) override;
    DeviceResult setChannel(const QString& device, int channel) override;
    DeviceResult setTunerInputType(const QString& device, int type) override;
    DeviceResult setStandard(const QString& device, std::uint32_t analogStandard) override;
    DeviceResult setPixelFormat(const QString& device, std::uint32_t mediaSubtype) override;

    // The V4L2 values of the capture component's numbers; nullopt where V4L2
    // has none.
    static std::optional<v4l2_std_id> v4l2Standard(std::uint32_t analogStandard);
    static std::optional<std::uint32_t> v4l2PixelFormat(std::uint32_t mediaSubtype);

private:
    class Node;
    // The node of the device with this list entry (VideoDeviceNames), opened;
    // fd -1 when none.
    int openDevice(const QString& device);
    // The tuner of the device's current input; nullopt when it has none.
    std::optional<v4l2_tuner> currentTuner(int fd);

    V4l2Io& m_io;
    QHash<QString, int> m_tunerInput;  // device -> 0 cable, 1 antenna
};

}  // namespace kelm
