#pragma once

#include "V4l2Io.h"
#include "capture/CaptureDevices.h"

#include <linux/videodev2.h>
#include <cstdint>
#include <optional>

namespace kelm {

// Video capture devices from the /dev/video* nodes that can capture video,
// through the V4l2Io seam. Every call opens the device's node, makes its
// requests and closes it again; the settings stay with the driver, and this
// layer keeps nothing between calls.
//
// Translation (V4l2Values): TV standards go to the matching v4l2_std_id
// ("None" sends nothing); pixel formats to the matching V4L2 format ("AUTO"
// sends nothing, formats V4L2 capture has no code for are refused); channels
// to the frequency of the European channel table of the tuner input type
// (cable or antenna) the caller names, on the tuner of the input it names.
class V4l2VideoDevices final : public VideoDeviceList {
public:
    explicit V4l2VideoDevices(V4l2Io& io) : m_io(io) {}

    QStringList devices() override;
    QStringList inputs(const QString& device) override;
    QString nodeOf(const QString& device) override;
    int highestChannel(const QString& device, const VideoCaptureSettings& settings) override;
    std::optional<int> currentChannel(const QString& device,
                                      const VideoCaptureSettings& settings) override;
    DeviceResult tune(const QString& device, const VideoCaptureSettings& settings) override;
    DeviceResult checkStandard(const QString& device, int input,
                               std::uint32_t analogStandard) override;
    DeviceResult checkPixelFormat(const QString& device, std::uint32_t mediaSubtype) override;
    DeviceResult applyCaptureSettings(const QString& device,
                                      const VideoCaptureSettings& settings) override;

private:
    class Node;
    // The node of the device with this list entry (VideoDeviceNames), opened;
    // fd -1 when none. `path` receives the node's path.
    int openDevice(const QString& device, QString* path = nullptr);
    // The input `index` (-1: the current one); nullopt when there is none.
    std::optional<v4l2_input> inputOf(int fd, int index);
    // The tuner of input `index` (-1: the current one); nullopt when it has none.
    std::optional<v4l2_tuner> tunerOf(int fd, int index);
    DeviceResult tuneOn(int fd, const VideoCaptureSettings& settings);

    V4l2Io& m_io;
};

}  // namespace kelm
