#include "V4l2VideoDevices.h"

#include "capture/TunerTables.h"
#include "capture/VideoDeviceNames.h"

#include <array>
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

struct StandardPair {
    std::uint32_t analog;
    v4l2_std_id v4l2;
};

constexpr std::array<StandardPair, 19> kStandards{{
    {0x00000001, V4L2_STD_NTSC_M},   {0x00000002, V4L2_STD_NTSC_M_JP},
    {0x00000004, V4L2_STD_NTSC_443}, {0x00000010, V4L2_STD_PAL_B},
    {0x00000020, V4L2_STD_PAL_D},    {0x00000080, V4L2_STD_PAL_H},
    {0x00000100, V4L2_STD_PAL_I},    {0x00000200, V4L2_STD_PAL_M},
    {0x00000400, V4L2_STD_PAL_N},    {0x00000800, V4L2_STD_PAL_60},
    {0x00001000, V4L2_STD_SECAM_B},  {0x00002000, V4L2_STD_SECAM_D},
    {0x00004000, V4L2_STD_SECAM_G},  {0x00008000, V4L2_STD_SECAM_H},
    {0x00010000, V4L2_STD_SECAM_K},  {0x00020000, V4L2_STD_SECAM_K1},
    {0x00040000, V4L2_STD_SECAM_L},  {0x00080000, V4L2_STD_SECAM_LC},
    {0x00100000, V4L2_STD_PAL_Nc},
}};

struct FormatPair {
    std::uint32_t subtype;
    std::uint32_t v4l2;
};

// DirectShow's RGB formats are stored bottom-up in B, G, R order: the V4L2
// formats with the same byte order. RGB4 and RGB1 have no V4L2 code.
constexpr std::array<FormatPair, 12> kFormats{{
    {0x56555949, V4L2_PIX_FMT_YUV420},   // IYUV
    {0x30323449, V4L2_PIX_FMT_YUV420},   // I420
    {0x32315659, V4L2_PIX_FMT_YVU420},   // YV12
    {0x32595559, V4L2_PIX_FMT_YUYV},     // YUY2
    {0x59565955, V4L2_PIX_FMT_UYVY},     // UYVY
    {0x55595659, V4L2_PIX_FMT_YVYU},     // YVYU
    {0x39555659, V4L2_PIX_FMT_YVU410},   // YVU9
    {0xE436EB7D, V4L2_PIX_FMT_BGR24},    // RGB24
    {0xE436EB7E, V4L2_PIX_FMT_XBGR32},   // RGB32
    {0xE436EB7C, V4L2_PIX_FMT_XRGB555},  // RGB555
    {0xE436EB7B, V4L2_PIX_FMT_RGB565},   // RGB565
    {0xE436EB7A, V4L2_PIX_FMT_PAL8},     // RGB8
}};

}  // namespace

std::optional<v4l2_std_id> V4l2VideoDevices::v4l2Standard(std::uint32_t analogStandard) {
    for (const StandardPair& p : kStandards) {
        if (p.analog == analogStandard) return p.v4l2;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> V4l2VideoDevices::v4l2PixelFormat(std::uint32_t mediaSubtype) {
    for (const FormatPair& p : kFormats) {
        if (p.subtype == mediaSubtype) return p.v4l2;
    }
    return std::nullopt;
}

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

int V4l2VideoDevices::openDevice(const QString& device) {
    if (device.isEmpty()) return -1;
    for (const QString& path : m_io.nodes()) {
        const int fd = m_io.open(path);
        if (fd < 0) continue;
        v4l2_capability cap{};
        if (m_io.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0 && capturesVideo(cap) &&
            VideoDeviceNames::names(device, cardIn(cap)))
            return fd;
        m_io.close(fd);
    }
    return -1;
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

DeviceResult V4l2VideoDevices::selectInput(const QString& device, int index) {
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    int value = index;
    if (m_io.ioctl(node.fd(), VIDIOC_S_INPUT, &value) < 0) return failureOf(errno);
    return DeviceResult::Done;
}

std::optional<v4l2_tuner> V4l2VideoDevices::currentTuner(int fd) {
    int index = 0;
    if (m_io.ioctl(fd, VIDIOC_G_INPUT, &index) < 0) return std::nullopt;
    v4l2_input input{};
    input.index = __u32(index);
    if (m_io.ioctl(fd, VIDIOC_ENUMINPUT, &input) < 0 || input.type != V4L2_INPUT_TYPE_TUNER)
        return std::nullopt;
    v4l2_tuner tuner{};
    tuner.index = input.tuner;
    if (m_io.ioctl(fd, VIDIOC_G_TUNER, &tuner) < 0) return std::nullopt;
    return tuner;
}

int V4l2VideoDevices::highestChannel(const QString& device) {
    Node node(m_io, openDevice(device));
    if (!node.ok() || !currentTuner(node.fd())) return 0;
    const auto type = ChannelTables::TunerInput(m_tunerInput.value(device, 0));
    return int(ChannelTables::table(type).size());
}

std::optional<int> V4l2VideoDevices::currentChannel(const QString& device) {
    Node node(m_io, openDevice(device));
    if (!node.ok()) return std::nullopt;
    const auto tuner = currentTuner(node.fd());
    if (!tuner) return std::nullopt;
    v4l2_frequency f{};
    f.tuner = tuner->index;
    if (m_io.ioctl(node.fd(), VIDIOC_G_FREQUENCY, &f) < 0) return std::nullopt;
    const auto type = ChannelTables::TunerInput(m_tunerInput.value(device, 0));
    return ChannelTables::channelAt(type, toKhz(*tuner, f.frequency));
}

DeviceResult V4l2VideoDevices::setChannel(const QString& device, int channel) {
    const auto type = ChannelTables::TunerInput(m_tunerInput.value(device, 0));
    const auto khz = ChannelTables::frequencyKhz(type, channel);
    if (!khz) return DeviceResult::Refused;
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    const auto tuner = currentTuner(node.fd());
    if (!tuner) return DeviceResult::Refused;
    v4l2_frequency f{};
    f.tuner = tuner->index;
    f.type = V4L2_TUNER_ANALOG_TV;
    f.frequency = toTunerUnits(*tuner, *khz);
    if (m_io.ioctl(node.fd(), VIDIOC_S_FREQUENCY, &f) < 0) return failureOf(errno);
    return DeviceResult::Done;
}

DeviceResult V4l2VideoDevices::setTunerInputType(const QString& device, int type) {
    if (type != 0 && type != 1) return DeviceResult::Refused;
    m_tunerInput.insert(device, type);
    return DeviceResult::Done;
}

DeviceResult V4l2VideoDevices::setStandard(const QString& device, std::uint32_t analogStandard) {
    if (analogStandard == 0) return DeviceResult::Done;  // "None": the device keeps its standard
    const auto standard = v4l2Standard(analogStandard);
    if (!standard) return DeviceResult::Refused;
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    v4l2_std_id id = *standard;
    if (m_io.ioctl(node.fd(), VIDIOC_S_STD, &id) < 0) return failureOf(errno);
    return DeviceResult::Done;
}

DeviceResult V4l2VideoDevices::setPixelFormat(const QString& device, std::uint32_t mediaSubtype) {
    if (mediaSubtype == TunerTables::kAutoPixelFormat) return DeviceResult::Done;
    const auto format = v4l2PixelFormat(mediaSubtype);
    if (!format) return DeviceResult::Refused;
    Node node(m_io, openDevice(device));
    if (!node.ok()) return DeviceResult::Failed;
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (m_io.ioctl(node.fd(), VIDIOC_G_FMT, &f) < 0) return failureOf(errno);
    f.fmt.pix.pixelformat = *format;
    if (m_io.ioctl(node.fd(), VIDIOC_S_FMT, &f) < 0) return failureOf(errno);
    // The driver answers with the format it chose.
    return f.fmt.pix.pixelformat == *format ? DeviceResult::Done : DeviceResult::Refused;
}

}  // namespace kelm
