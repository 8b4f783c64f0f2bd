#include "V4l2VideoDevices.h"
#include "capture/TunerTables.h"

#include <gtest/gtest.h>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <map>

namespace kelm {
namespace {

// V4L2 nodes held in memory: each answers the requests a capture card
// answers, records every setting request, and can refuse with an errno.
class FakeV4l2Io final : public V4l2Io {
public:
    struct Device {
        Device(std::string c, bool captures, std::vector<std::pair<std::string, bool>> in)
            : card(std::move(c)), capture(captures), inputs(std::move(in)) {}
        Device() = default;
        std::string card;
        std::string bus;
        bool capture = true;
        std::vector<std::pair<std::string, bool>> inputs;  // name, is tuner
        __u32 tunerCapability = V4L2_TUNER_CAP_NORM;
        int currentInput = 0;
        __u32 frequency = 0;
        __u32 pixelFormat = V4L2_PIX_FMT_YUYV;
        bool acceptsEveryFormat = true;
        std::map<unsigned long, int> refuse;  // request -> errno
    };
    struct Sent {
        std::string node;
        unsigned long request;
        std::uint64_t value;
    };

    QStringList nodes() override {
        QStringList result;
        for (const auto& [node, device] : devices) result << QString::fromStdString(node);
        return result;
    }
    int open(const QString& node) override {
        if (!devices.count(node.toStdString())) {
            errno = ENOENT;
            return -1;
        }
        const int fd = m_nextFd++;
        m_open[fd] = node.toStdString();
        return fd;
    }
    void close(int fd) override { m_open.erase(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        const std::string node = m_open.at(fd);
        Device& d = devices.at(node);
        if (const auto it = d.refuse.find(request); it != d.refuse.end()) {
            errno = it->second;
            return -1;
        }
        switch (request) {
            case VIDIOC_QUERYCAP: {
                auto* cap = static_cast<v4l2_capability*>(arg);
                std::strncpy(reinterpret_cast<char*>(cap->card), d.card.c_str(),
                             sizeof cap->card - 1);
                std::strncpy(reinterpret_cast<char*>(cap->bus_info), d.bus.c_str(),
                             sizeof cap->bus_info - 1);
                cap->capabilities = V4L2_CAP_DEVICE_CAPS | V4L2_CAP_VIDEO_CAPTURE;
                cap->device_caps = d.capture ? V4L2_CAP_VIDEO_CAPTURE : V4L2_CAP_META_CAPTURE;
                return 0;
            }
            case VIDIOC_ENUMINPUT: {
                auto* in = static_cast<v4l2_input*>(arg);
                if (in->index >= d.inputs.size()) {
                    errno = EINVAL;
                    return -1;
                }
                const auto& [name, tuner] = d.inputs[in->index];
                std::strncpy(reinterpret_cast<char*>(in->name), name.c_str(), sizeof in->name - 1);
                in->type = tuner ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
                in->tuner = 0;
                return 0;
            }
            case VIDIOC_G_INPUT:
                *static_cast<int*>(arg) = d.currentInput;
                return 0;
            case VIDIOC_S_INPUT:
                d.currentInput = *static_cast<int*>(arg);
                sent.push_back({node, request, std::uint64_t(d.currentInput)});
                return 0;
            case VIDIOC_G_TUNER:
                static_cast<v4l2_tuner*>(arg)->capability = d.tunerCapability;
                return 0;
            case VIDIOC_G_FREQUENCY:
                static_cast<v4l2_frequency*>(arg)->frequency = d.frequency;
                return 0;
            case VIDIOC_S_FREQUENCY: {
                const auto* f = static_cast<v4l2_frequency*>(arg);
                EXPECT_EQ(f->type, V4L2_TUNER_ANALOG_TV);
                d.frequency = f->frequency;
                sent.push_back({node, request, f->frequency});
                return 0;
            }
            case VIDIOC_S_STD:
                sent.push_back({node, request, *static_cast<v4l2_std_id*>(arg)});
                return 0;
            case VIDIOC_G_FMT:
                static_cast<v4l2_format*>(arg)->fmt.pix.pixelformat = d.pixelFormat;
                return 0;
            case VIDIOC_S_FMT: {
                auto* f = static_cast<v4l2_format*>(arg);
                EXPECT_EQ(f->type, V4L2_BUF_TYPE_VIDEO_CAPTURE);
                sent.push_back({node, request, f->fmt.pix.pixelformat});
                if (d.acceptsEveryFormat) d.pixelFormat = f->fmt.pix.pixelformat;
                f->fmt.pix.pixelformat = d.pixelFormat;
                return 0;
            }
            default:
                errno = ENOTTY;
                return -1;
        }
    }

    std::vector<std::uint64_t> values(unsigned long request) const {
        std::vector<std::uint64_t> result;
        for (const Sent& s : sent) {
            if (s.request == request) result.push_back(s.value);
        }
        return result;
    }
    size_t openFds() const { return m_open.size(); }

    std::map<std::string, Device> devices;
    std::vector<Sent> sent;

private:
    std::map<int, std::string> m_open;
    int m_nextFd = 3;
};

const QString kTuner = QStringLiteral("Tuner Card");
const std::string kBus4 = "PCI:0000:04:00.0";
const std::string kBus5 = "PCI:0000:05:00.0";
const QString kTunerAt4 = QStringLiteral("Tuner Card (PCI:0000:04:00.0)");
const QString kTunerAt5 = QStringLiteral("Tuner Card (PCI:0000:05:00.0)");

class V4l2Layer : public ::testing::Test {
protected:
    void SetUp() override {
        io.devices["/dev/video0"] = {
            "Tuner Card", true, {{"Television", true}, {"Composite1", false}}};
        io.devices["/dev/video1"] = {"Tuner Card", false, {}};  // the card's metadata node
        io.devices["/dev/video2"] = {"USB Camera", true, {{"Camera 1", false}}};
        io.devices["/dev/video0"].bus = io.devices["/dev/video1"].bus = kBus4;
        io.devices["/dev/video2"].bus = "usb-0000:00:14.0-1";
    }
    // A second card of the same make in the next slot.
    void addSecondTunerCard(const std::string& node, const std::string& bus) {
        io.devices[node] = {"Tuner Card", true, {{"Television", true}, {"Composite1", false}}};
        io.devices[node].bus = bus;
    }
    std::vector<std::string> nodesSent(unsigned long request) const {
        std::vector<std::string> result;
        for (const auto& s : io.sent) {
            if (s.request == request) result.push_back(s.node);
        }
        return result;
    }
    void TearDown() override { EXPECT_EQ(io.openFds(), 0u) << "every node is closed again"; }

    std::uint32_t standard(const char* name) {
        return *TunerTables::valueOf(TunerTables::standards(), QString::fromLatin1(name));
    }
    std::uint32_t format(const char* name) {
        return *TunerTables::valueOf(TunerTables::pixelFormats(), QString::fromLatin1(name));
    }

    FakeV4l2Io io;
    V4l2VideoDevices devices{io};
};

TEST_F(V4l2Layer, ListsCaptureCardsOnceAndNamesTheTunerInput) {
    EXPECT_EQ(devices.devices(), (QStringList{kTuner, QStringLiteral("USB Camera")}));
    EXPECT_EQ(devices.inputs(kTuner),
              (QStringList{QStringLiteral("Video Tuner"), QStringLiteral("Composite1")}));
    EXPECT_TRUE(devices.inputs(QStringLiteral("Gone")).isEmpty());
}

TEST_F(V4l2Layer, TwoCardsOfOneNameAreTwoEntriesToldApartByTheirBus) {
    addSecondTunerCard("/dev/video3", kBus5);
    EXPECT_EQ(devices.devices(), (QStringList{kTunerAt4, QStringLiteral("USB Camera"), kTunerAt5}))
        << "a name not shared stays plain";
    EXPECT_EQ(devices.inputs(kTunerAt5),
              (QStringList{QStringLiteral("Video Tuner"), QStringLiteral("Composite1")}));
}

TEST_F(V4l2Layer, EachEntryReachesItsOwnCardsNode) {
    addSecondTunerCard("/dev/video3", kBus5);
    ASSERT_EQ(devices.selectInput(kTunerAt5, 1), DeviceResult::Done);
    ASSERT_EQ(devices.setStandard(kTunerAt4, standard("PAL_B")), DeviceResult::Done);
    EXPECT_EQ(nodesSent(VIDIOC_S_INPUT), std::vector<std::string>{"/dev/video3"});
    EXPECT_EQ(nodesSent(VIDIOC_S_STD), std::vector<std::string>{"/dev/video0"});
    EXPECT_EQ(io.devices["/dev/video0"].currentInput, 0) << "the first card was left alone";
}

TEST_F(V4l2Layer, AnEntryFindsItsCardAfterTheNodesAreNumberedAnew) {
    addSecondTunerCard("/dev/video3", kBus5);
    QStringList before = devices.devices();
    // Next start: the kernel handed out the node numbers the other way round.
    std::swap(io.devices["/dev/video0"].bus, io.devices["/dev/video3"].bus);
    io.devices["/dev/video1"].bus = kBus5;
    V4l2VideoDevices restarted{io};
    QStringList after = restarted.devices();
    before.sort();
    after.sort();
    EXPECT_EQ(after, before) << "the same entries";
    ASSERT_EQ(restarted.selectInput(kTunerAt5, 1), DeviceResult::Done);
    EXPECT_EQ(nodesSent(VIDIOC_S_INPUT), std::vector<std::string>{"/dev/video0"});
}

TEST_F(V4l2Layer, StandardsBecomeTheMatchingV4l2Standards) {
    const std::vector<std::pair<const char*, v4l2_std_id>> pairs{
        {"PAL_I", V4L2_STD_PAL_I},        {"SECAM_L1", V4L2_STD_SECAM_LC},
        {"NTSC_M_J", V4L2_STD_NTSC_M_JP}, {"PAL_N_COMBO", V4L2_STD_PAL_Nc},
        {"PAL_B", V4L2_STD_PAL_B},        {"SECAM_K1", V4L2_STD_SECAM_K1}};
    for (const auto& [name, id] : pairs) {
        ASSERT_EQ(devices.setStandard(kTuner, standard(name)), DeviceResult::Done) << name;
        EXPECT_EQ(io.values(VIDIOC_S_STD).back(), id) << name;
        EXPECT_EQ(io.sent.back().node, "/dev/video0");
    }
    // Every standard of the list but "None" has a V4L2 standard of its own.
    for (const auto& e : TunerTables::standards().subspan(1))
        EXPECT_TRUE(V4l2VideoDevices::v4l2Standard(e.value)) << e.name;
}

TEST_F(V4l2Layer, NoneSendsNothingAndARefusedStandardIsTold) {
    const size_t before = io.sent.size();
    EXPECT_EQ(devices.setStandard(kTuner, standard("None")), DeviceResult::Done);
    EXPECT_EQ(io.sent.size(), before);
    io.devices["/dev/video0"].refuse[VIDIOC_S_STD] = EINVAL;
    EXPECT_EQ(devices.setStandard(kTuner, standard("NTSC_M")), DeviceResult::Refused);
    io.devices["/dev/video0"].refuse[VIDIOC_S_STD] = EBUSY;
    EXPECT_EQ(devices.setStandard(kTuner, standard("NTSC_M")), DeviceResult::Failed);
    EXPECT_EQ(devices.setStandard(QStringLiteral("Gone"), standard("PAL_I")), DeviceResult::Failed);
}

TEST_F(V4l2Layer, PixelFormatsBecomeV4l2Formats) {
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("RGB24")), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FMT).back(), V4L2_PIX_FMT_BGR24) << "bottom-up B, G, R";
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("YUY2")), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FMT).back(), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("I420")), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FMT).back(), V4L2_PIX_FMT_YUV420);
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("YV12")), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FMT).back(), V4L2_PIX_FMT_YVU420);
    const size_t sent = io.values(VIDIOC_S_FMT).size();
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("AUTO")), DeviceResult::Done);
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("RGB4")), DeviceResult::Refused)
        << "no V4L2 code";
    EXPECT_EQ(io.values(VIDIOC_S_FMT).size(), sent);
    io.devices["/dev/video0"].acceptsEveryFormat = false;
    EXPECT_EQ(devices.setPixelFormat(kTuner, format("UYVY")), DeviceResult::Refused)
        << "the driver chose another";
}

TEST_F(V4l2Layer, ChannelsTuneTheTableFrequencyInTheTunersUnits) {
    ASSERT_EQ(devices.highestChannel(kTuner), 101);
    ASSERT_EQ(devices.setChannel(kTuner, 1), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 48250u * 16 / 1000) << "62.5 kHz units";
    EXPECT_EQ(devices.currentChannel(kTuner), 1);
    ASSERT_EQ(devices.setTunerInputType(kTuner, 1), DeviceResult::Done);
    EXPECT_EQ(devices.highestChannel(kTuner), 60);
    ASSERT_EQ(devices.setChannel(kTuner, 12), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 471250u * 16 / 1000)
        << "E21 on the antenna table";
    EXPECT_EQ(devices.setChannel(kTuner, 61), DeviceResult::Refused);
    EXPECT_EQ(devices.setTunerInputType(kTuner, -1), DeviceResult::Refused);

    io.devices["/dev/video0"].tunerCapability = V4L2_TUNER_CAP_LOW;
    ASSERT_EQ(devices.setChannel(kTuner, 1), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 48250u * 16) << "62.5 Hz units";
    EXPECT_EQ(devices.currentChannel(kTuner), 1);
}

TEST_F(V4l2Layer, InputsAreSelectedByIndexAndOnlyATunerInputTunes) {
    ASSERT_EQ(devices.selectInput(kTuner, 1), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_INPUT).back(), 1u);
    EXPECT_EQ(devices.highestChannel(kTuner), 0) << "the composite input has no tuner";
    EXPECT_EQ(devices.setChannel(kTuner, 5), DeviceResult::Refused);
    EXPECT_FALSE(devices.currentChannel(kTuner));
    EXPECT_EQ(devices.highestChannel(QStringLiteral("USB Camera")), 0);
}

}  // namespace
}  // namespace kelm
