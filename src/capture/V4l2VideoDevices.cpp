#include "V4l2VideoDevices.h"

#include "capture/TunerTables.h"
#include "capture/V4l2Values.h"
#include "capture/VideoDeviceNames.h"

#include <cerrno>
#include <cstring>

namespace kelm {

// An opened node, closed when it goes.
class V4l2VideoDevices::Node final {
public:
    Node(V4l2Io& io, int fd) : m_io(io), m_fd(fd) {}
    ~Node() {
        if (m_fd >= 0) m_io.close(m_fd);
    }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    int fd() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }

private:
    V4l2Io& m_io;
    int m_fd;
};

namespace {

QString cardOf(const v4l2_capability& cap) {
    const char* card = reinterpret_cast<const char*>(cap.card);
    return QString::fromUtf8(card, qsizetype(strnlen(card, sizeof cap.card)));
}

QString busOf(const v4l2_capability& cap) {
    const char* bus = reinterpret_cast<const char*>(cap.bus_info);
    return QString::fromUtf8(bus, qsizetype(strnlen(bus, sizeof cap.bus_info)));
}

VideoDeviceNames::Card cardIn(const v4l2_capability& cap) {
    return {cardOf(cap), busOf(cap)};
}

bool capturesVideo(const v4l2_capability& cap) {
    const __u32 caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

// A refusal of the value (not supported) as against a device that cannot act.
DeviceResult failureOf(int error) {
    return error == EINVAL || error == ENODATA || error == ENOTTY ? DeviceResult::Refused
                                                                  : DeviceResult::Failed;
}

// Frequencies in kHz to the tuner's units: 62.5 kHz, or 62.5 Hz for tuners
// with V4L2_TUNER_CAP_LOW, or 1 Hz with V4L2_TUNER_CAP_1HZ.
std::uint32_t toTunerUnits(const v4l2_tuner& tuner, std::uint32_t khz) {
    if (tuner.capability & V4L2_TUNER_CAP_1HZ) return khz * 1000;
    if (tuner.capability & V4L2_TUNER_CAP_LOW) return khz * 16;
    return khz * 2 / 125;
}

std::uint32_t toKhz(const v4l2_tuner& tuner, std::uint32_t units) {
    if (tuner.capability & V4L2_TUNER_CAP_1HZ) return units / 1000;
    if (tuner.capability & V4L2_TUNER_CAP_LOW) return units / 16;
    return std::uint32_t(std::uint64_t(units) * 125 / 2);
}

}  // namespace

QStringList V4l2VideoDevices::devices() {
    QList<VideoDeviceNames::Card> cards;
    for (const QString& path : m_io.nodes()) {
        Node node(m_io, m_io.open(path));
        v4l2_capability cap{};
        if (!node.ok() || m_io.ioctl(node.fd(), VIDIOC_QUERYCAP, &cap) < 0 || !capturesVideo(cap))
            continue;
        cards << cardIn(cap);
    }
    return VideoDeviceNames::entries(cards);
}

int V4l2VideoDevices::openDevice(const QString& device, QString* path) {
    if (device.isEmpty()) return -1;
    for (const QString& node : m_io.nodes()) {
        const int fd = m_io.open(node);
        if (fd < 0) continue;
        v4l2_capability cap{};
        if (m_io.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 && capturesVideo(cap) &&
            VideoDeviceNames::names(device, cardIn(cap))) {
            if (path) *path = node;
            return fd;
        }
        m_io.close(fd);
    }
    return -1;
}

QString V4l2VideoDevices::nodeOf(const QString& device) {
    QString path;
    Node node(m_io, openDevice(device, &path));
    return node.ok() ? path : QString();
}

QStringList V4l2VideoDevices::inputs(const QString& device) {
    Node node(m_io, openDevice(device));
    QStringList result;
    for (__u32 i = 0; node.ok(); ++i) {
        v4l2_input input{};
        input.index = i;
        if (m_io.ioctl(node.fd(), VIDIOC_ENUMINPUT, &input) < 0) break;
        const char* name = reinterpret_cast<const char*>(input.name);
        result << (input.type == V4L2_INPUT_TYPE_TUNER
                       ? QStringLiteral("Video Tuner")
                       : QString::fromUtf8(name, qsizetype(strnlen(name, sizeof input.name))));
    }
    return result;
}

std::optional<v4l2_input> V4l2VideoDevices::inputOf(int fd, int index) {
    if (index < 0 && m_io.ioctl(fd, VIDIOC_G_INPUT, &index) < 0) return std::nullopt;
    v4l2_input input{};
    input.index = __u32(index);
    if (m_io.ioctl(fd, VIDIOC_ENUMINPUT, &input) < 0) return std::nullopt;
    return input;
}

std::optional<v4l2_tuner> V4l2VideoDevices::tunerOf(int fd, int index) {
    const auto input = inputOf(fd, index);
    if (!input || input->type != V4L2_INPUT_TYPE_TUNER) return std::nullopt;
    v4l2_tuner tuner{};
    tuner.index = input->tuner;
    if (m_io.ioctl(fd, VIDIOC_G_TUNER, &tuner) < 0) return std::nullopt;
    return tuner;
}

int V4l2VideoDevices::highestChannel(const QString& device, const VideoCaptureSettings& settings) {
    Node node(m_io, openDevice(device));
    if (!node.ok() || !tunerOf(node.fd(), settings.input)) return 0;
    return int(ChannelTables::table(ChannelTables::TunerInput(settings.tunerInput)).size());
}

std::optional<int> V4l2VideoDevices::currentChannel(const QString& device,
                                                    const VideoCaptureSettings& settings) {
    Node node(m_io, openDevice(device));
    if (!node.ok()) return std::nullopt;
    const auto tuner = tunerOf(node.fd(), settings.input);
    if (!tuner) return std::nullopt;
    v4l2_frequency f{};
    f.tuner = tuner->index;
    if (m_io.ioctl(node.fd(), VIDIOC_G_FREQUENCY, &f) < 0) return std::nullopt;
    return ChannelTables::channelAt(ChannelTables::TunerInput(settings.tunerInput),
                                    toKhz(*tuner, f.frequency));
}

DeviceResult V4l2VideoDevices::tuneOn(int fd, const VideoCaptureSettings& settings) {
    if (settings.tunerInput != 0 && settings.tunerInput != 1) return DeviceResult::Refused;
    const auto khz = ChannelTables::frequencyKhz(ChannelTables::TunerInput(settings.tunerInput),
                                                 settings.channel);
    if (!khz) return DeviceResult::Refused;
    const auto tuner = tunerOf(fd, settings.input);
    if (!tuner) return DeviceResult::Refused;
    v4l2_frequency f{};
    f.tuner = tuner->index;
    f.type = V4L2_TUNER_ANALOG_TV;
    f.frequency = toTunerUnits(*tuner, *khz);
    if (m_io.ioctl(fd, VIDIOC_S_FREQUENCY, &f) < 0) return failureOf(errno);
    return DeviceResult::Done;
}

DeviceResult V4l2VideoDevices::tune(const QString& device, const VideoCaptureSettings& settings) {
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    return tuneOn(node.fd(), settings);
}

DeviceResult V4l2VideoDevices::checkStandard(const QString& device, int input,
                                             std::uint32_t analogStandard) {
    if (analogStandard == 0) return DeviceResult::Done;  // "None": the device keeps its standard
    const auto standard = V4l2Values::standard(analogStandard);
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    if (!standard) return DeviceResult::Refused;
    // The input lists the standards it takes; an input without any (a
    // camera) takes none.
    const auto in = inputOf(node.fd(), input);
    if (!in) return DeviceResult::Failed;
    return (in->std & *standard) == *standard ? DeviceResult::Done : DeviceResult::Refused;
}

DeviceResult V4l2VideoDevices::checkPixelFormat(const QString& device, std::uint32_t mediaSubtype) {
    if (mediaSubtype == TunerTables::kAutoPixelFormat) return DeviceResult::Done;
    const auto format = V4l2Values::pictureFormat(mediaSubtype);
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    if (!format) return DeviceResult::Refused;
    for (__u32 i = 0;; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (m_io.ioctl(node.fd(), VIDIOC_ENUM_FMT, &desc) < 0)
            return i == 0 && errno != EINVAL ? DeviceResult::Failed : DeviceResult::Refused;
        if (desc.pixelformat == format->v4l2) return DeviceResult::Done;
    }
}

DeviceResult V4l2VideoDevices::applyCaptureSettings(const QString& device,
                                                    const VideoCaptureSettings& settings) {
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    const int fd = node.fd();
    // Busy: another handle streams, nothing can be changed now.
    const auto busy = [](int error) { return error == EBUSY; };
    if (settings.input >= 0) {
        int index = settings.input;
        if (m_io.ioctl(fd, VIDIOC_S_INPUT, &index) < 0 && busy(errno)) return DeviceResult::Failed;
    }
    if (const auto standard = V4l2Values::standard(settings.analogStandard)) {
        v4l2_std_id id = *standard;
        if (m_io.ioctl(fd, VIDIOC_S_STD, &id) < 0 && busy(errno)) return DeviceResult::Failed;
    }
    if (const auto format = V4l2Values::pictureFormat(settings.pixelFormat)) {
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (m_io.ioctl(fd, VIDIOC_G_FMT, &f) == 0) {
            f.fmt.pix.pixelformat = format->v4l2;
            if (m_io.ioctl(fd, VIDIOC_S_FMT, &f) < 0 && busy(errno)) return DeviceResult::Failed;
        }
    }
    if (settings.channel > 0 && tuneOn(fd, settings) == DeviceResult::Failed)
        return DeviceResult::Failed;
    return DeviceResult::Done;
}

}  // namespace kelm
