#include "V4l2VideoDevices.h"
#include "capture/TunerTables.h"
#include "capture/V4l2Values.h"
#include "support/FakeV4l2Io.h"

#include <gtest/gtest.h>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <map>

namespace kelm {
namespace {

using test::FakeV4l2Io;

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
    EXPECT_EQ(devices.nodeOf(kTunerAt5), QStringLiteral("/dev/video3"));
    EXPECT_EQ(devices.nodeOf(kTunerAt4), QStringLiteral("/dev/video0"));
    EXPECT_TRUE(devices.nodeOf(QStringLiteral("Gone")).isEmpty());
    ASSERT_EQ(devices.applyCaptureSettings(kTunerAt5, {.input = 1}), DeviceResult::Done);
    ASSERT_EQ(devices.applyCaptureSettings(kTunerAt4, {.analogStandard = standard("PAL_B")}),
              DeviceResult::Done);
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
    ASSERT_EQ(restarted.applyCaptureSettings(kTunerAt5, {.input = 1}), DeviceResult::Done);
    EXPECT_EQ(nodesSent(VIDIOC_S_INPUT), std::vector<std::string>{"/dev/video0"});
}

TEST_F(V4l2Layer, StandardsBecomeTheMatchingV4l2Standards) {
    const std::vector<std::pair<const char*, v4l2_std_id>> pairs{
        {"PAL_I", V4L2_STD_PAL_I},        {"SECAM_L1", V4L2_STD_SECAM_LC},
        {"NTSC_M_J", V4L2_STD_NTSC_M_JP}, {"PAL_N_COMBO", V4L2_STD_PAL_Nc},
        {"PAL_B", V4L2_STD_PAL_B},        {"SECAM_K1", V4L2_STD_SECAM_K1}};
    for (const auto& [name, id] : pairs) {
        ASSERT_EQ(devices.applyCaptureSettings(kTuner, {.analogStandard = standard(name)}),
                  DeviceResult::Done)
            << name;
        EXPECT_EQ(io.values(VIDIOC_S_STD).back(), id) << name;
        EXPECT_EQ(io.sent.back().node, "/dev/video0");
    }
    // Every standard of the list but "None" has a V4L2 standard of its own.
    for (const auto& e : TunerTables::standards().subspan(1))
        EXPECT_TRUE(V4l2Values::standard(e.value)) << e.name;
    EXPECT_FALSE(V4l2Values::standard(0));
}

TEST_F(V4l2Layer, AStandardIsCheckedAgainstWhatTheInputTakesWithoutChangingIt) {
    // A PAL/SECAM card: its tuner input takes no NTSC, its camera input
    // no standard at all.
    io.devices["/dev/video0"].inputs[0].standards = V4L2_STD_PAL | V4L2_STD_SECAM;
    io.devices["/dev/video2"].inputs[0].standards = 0;
    EXPECT_EQ(devices.checkStandard(kTuner, 0, standard("PAL_I")), DeviceResult::Done);
    EXPECT_EQ(devices.checkStandard(kTuner, 0, standard("SECAM_L1")), DeviceResult::Done);
    EXPECT_EQ(devices.checkStandard(kTuner, 0, standard("NTSC_M")), DeviceResult::Refused);
    EXPECT_EQ(devices.checkStandard(kTuner, 1, standard("NTSC_M")), DeviceResult::Done)
        << "the composite input takes every standard";
    EXPECT_EQ(devices.checkStandard(kTuner, 7, standard("PAL_I")), DeviceResult::Failed)
        << "no such input";
    EXPECT_EQ(devices.checkStandard(QStringLiteral("USB Camera"), 0, standard("PAL_I")),
              DeviceResult::Refused);
    EXPECT_EQ(devices.checkStandard(kTuner, 0, standard("None")), DeviceResult::Done);
    EXPECT_EQ(devices.checkStandard(QStringLiteral("Gone"), 0, standard("PAL_I")),
              DeviceResult::Failed);
    // A check asks while the device streams, and changes nothing.
    const int streaming = io.startStreaming("/dev/video0");
    EXPECT_EQ(devices.checkStandard(kTuner, 0, standard("PAL_B")), DeviceResult::Done);
    io.close(streaming);
    EXPECT_TRUE(io.values(VIDIOC_S_STD).empty());
}

TEST_F(V4l2Layer, PixelFormatsBecomeV4l2FormatsTheDeviceOffers) {
    const auto appliedFormat = [&](const char* name) {
        EXPECT_EQ(devices.applyCaptureSettings(kTuner, {.pixelFormat = format(name)}),
                  DeviceResult::Done);
        return io.devices["/dev/video0"].pixelFormat;
    };
    EXPECT_EQ(appliedFormat("RGB24"), V4L2_PIX_FMT_BGR24) << "bottom-up B, G, R";
    EXPECT_EQ(appliedFormat("YUY2"), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(appliedFormat("I420"), V4L2_PIX_FMT_YUV420);
    EXPECT_EQ(appliedFormat("YV12"), V4L2_PIX_FMT_YVU420);
    const size_t sent = io.values(VIDIOC_S_FMT).size();
    EXPECT_EQ(appliedFormat("AUTO"), V4L2_PIX_FMT_YVU420) << "the device keeps its format";
    EXPECT_EQ(appliedFormat("RGB4"), V4L2_PIX_FMT_YVU420) << "no V4L2 code";
    EXPECT_EQ(io.values(VIDIOC_S_FMT).size(), sent);

    EXPECT_EQ(devices.checkPixelFormat(kTuner, format("UYVY")), DeviceResult::Done);
    EXPECT_EQ(devices.checkPixelFormat(kTuner, format("AUTO")), DeviceResult::Done);
    EXPECT_EQ(devices.checkPixelFormat(kTuner, format("RGB32")), DeviceResult::Refused)
        << "not among the device's formats";
    EXPECT_EQ(devices.checkPixelFormat(kTuner, format("RGB8")), DeviceResult::Refused)
        << "a paletted picture no capture source delivers";
    EXPECT_EQ(devices.checkPixelFormat(QStringLiteral("Gone"), format("UYVY")),
              DeviceResult::Failed);
}

TEST_F(V4l2Layer, ChannelsTuneTheTableFrequencyOfTheChosenInputsTuner) {
    const VideoCaptureSettings cable{.input = 0, .tunerInput = 0, .channel = 1};
    ASSERT_EQ(devices.highestChannel(kTuner, cable), 101);
    ASSERT_EQ(devices.tune(kTuner, cable), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 48250u * 16 / 1000) << "62.5 kHz units";
    EXPECT_EQ(devices.currentChannel(kTuner, cable), 1);

    VideoCaptureSettings antenna{.input = 0, .tunerInput = 1, .channel = 12};
    EXPECT_EQ(devices.highestChannel(kTuner, antenna), 60);
    ASSERT_EQ(devices.tune(kTuner, antenna), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 471250u * 16 / 1000)
        << "E21 on the antenna table";
    EXPECT_EQ(devices.currentChannel(kTuner, antenna), 12);
    EXPECT_EQ(devices.currentChannel(kTuner, cable), 53) << "E21 is the cable table's 53rd";
    antenna.channel = 61;
    EXPECT_EQ(devices.tune(kTuner, antenna), DeviceResult::Refused);
    antenna.tunerInput = -1;
    antenna.channel = 1;
    EXPECT_EQ(devices.tune(kTuner, antenna), DeviceResult::Refused);

    io.devices["/dev/video0"].tunerCapability = V4L2_TUNER_CAP_LOW;
    ASSERT_EQ(devices.tune(kTuner, cable), DeviceResult::Done);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).back(), 48250u * 16) << "62.5 Hz units";
    EXPECT_EQ(devices.currentChannel(kTuner, cable), 1);
}

TEST_F(V4l2Layer, TheTunerOfTheChosenInputIsUsedWhateverInputTheDeviceIsOn) {
    io.devices["/dev/video0"].currentInput = 1;  // the driver is on the composite input
    const VideoCaptureSettings tuner{.input = 0, .channel = 5};
    EXPECT_EQ(devices.highestChannel(kTuner, tuner), 101);
    EXPECT_EQ(devices.tune(kTuner, tuner), DeviceResult::Done);
    const VideoCaptureSettings composite{.input = 1, .channel = 5};
    EXPECT_EQ(devices.highestChannel(kTuner, composite), 0) << "the composite input has no tuner";
    EXPECT_EQ(devices.tune(kTuner, composite), DeviceResult::Refused);
    EXPECT_FALSE(devices.currentChannel(kTuner, composite));
    EXPECT_EQ(devices.highestChannel(QStringLiteral("USB Camera"), {.input = 0}), 0);
    EXPECT_EQ(io.values(VIDIOC_S_FREQUENCY).size(), 1u);
}

TEST_F(V4l2Layer, SettingsReachTheDeviceInputFirstThenStandardFormatAndFrequency) {
    io.devices["/dev/video0"].inputs[0].standards = V4L2_STD_PAL;
    io.devices["/dev/video0"].inputs[1].standards = V4L2_STD_SECAM;
    io.devices["/dev/video0"].currentInput = 1;
    const VideoCaptureSettings settings{.input = 0,
                                        .analogStandard = standard("PAL_I"),
                                        .pixelFormat = format("UYVY"),
                                        .tunerInput = 1,
                                        .channel = 12};
    ASSERT_EQ(devices.applyCaptureSettings(kTuner, settings), DeviceResult::Done);
    EXPECT_EQ(io.order(), (std::vector<unsigned long>{VIDIOC_S_INPUT, VIDIOC_S_STD, VIDIOC_S_FMT,
                                                      VIDIOC_S_FREQUENCY}))
        << "the standard belongs to the input chosen first";
    const FakeV4l2Io::Device& d = io.devices["/dev/video0"];
    EXPECT_EQ(d.currentInput, 0);
    EXPECT_EQ(d.standard, V4L2_STD_PAL_I) << "the composite input would have refused PAL";
    EXPECT_EQ(d.pixelFormat, V4L2_PIX_FMT_UYVY);
    EXPECT_EQ(d.frequency, 471250u * 16 / 1000);
}

TEST_F(V4l2Layer, AStreamingDeviceRefusesInputStandardAndFormatButMayBeTuned) {
    const int streaming = io.startStreaming("/dev/video0");
    const VideoCaptureSettings settings{.input = 1,
                                        .analogStandard = standard("SECAM_L1"),
                                        .pixelFormat = format("I420"),
                                        .channel = 3};
    EXPECT_EQ(devices.applyCaptureSettings(kTuner, settings), DeviceResult::Failed);
    const FakeV4l2Io::Device& d = io.devices["/dev/video0"];
    EXPECT_EQ(d.currentInput, 0);
    EXPECT_EQ(d.standard, V4L2_STD_PAL_BG);
    EXPECT_EQ(d.pixelFormat, V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(devices.tune(kTuner, {.input = 0, .channel = 3}), DeviceResult::Done)
        << "the tuner is not the buffer queue";

    io.close(streaming);  // the picture source has stopped
    EXPECT_EQ(devices.applyCaptureSettings(kTuner, settings), DeviceResult::Done);
    EXPECT_EQ(d.currentInput, 1);
    EXPECT_EQ(d.standard, V4L2_STD_SECAM_LC);
    EXPECT_EQ(d.pixelFormat, V4L2_PIX_FMT_YUV420);
}

TEST_F(V4l2Layer, AValueTheDeviceRefusesLeavesTheOthersApplied) {
    io.devices["/dev/video0"].inputs[0].standards = V4L2_STD_PAL;
    const VideoCaptureSettings settings{
        .input = 0, .analogStandard = standard("NTSC_M"), .pixelFormat = format("YV12")};
    EXPECT_EQ(devices.applyCaptureSettings(kTuner, settings), DeviceResult::Done);
    EXPECT_EQ(io.devices["/dev/video0"].standard, V4L2_STD_PAL_BG) << "the driver's own";
    EXPECT_EQ(io.devices["/dev/video0"].pixelFormat, V4L2_PIX_FMT_YVU420);
    EXPECT_EQ(devices.applyCaptureSettings(QStringLiteral("Gone"), settings), DeviceResult::Failed);
}

}  // namespace
}  // namespace kelm
