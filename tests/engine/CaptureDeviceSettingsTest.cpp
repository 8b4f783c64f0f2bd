// The capture device's settings reach the pictures recorded: the engine sets
// them on the device while its picture source does not stream, and builds the
// source with the standard and the format. No capture card is needed: the
// graph is looked at built but not started, and the device is the fake V4L2
// layer, whose node no real source can open.

#include "CaptureGraph.h"
#include "EngineError.h"
#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "V4l2VideoDevices.h"
#include "capture/TunerTables.h"
#include "capture/V4l2Values.h"
#include "support/FakeV4l2Io.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::FakeV4l2Io;

const QString kCard = QStringLiteral("Tuner Card");
// A node that does not exist: the picture source built on it cannot open it.
const std::string kNode = "/nonexistent/kelm-fake-video0";

std::uint32_t standard(const char* name) {
    return *TunerTables::valueOf(TunerTables::standards(), QString::fromLatin1(name));
}
std::uint32_t format(const char* name) {
    return *TunerTables::valueOf(TunerTables::pixelFormats(), QString::fromLatin1(name));
}

class BuiltPictureSource : public ::testing::Test {
protected:
    void SetUp() override {
        gst_init(nullptr, nullptr);
        if (GstElementFactory* v4l2 = gst_element_factory_find("v4l2src"))
            gst_object_unref(v4l2);
        else
            GTEST_SKIP() << "GStreamer's v4l2src is not installed";
    }

    // The graph for a capture device, built and left stopped.
    void build(quint64 norm, const QString& pictureFormat) {
        ResolvedVideoInput video;
        video.kind = ResolvedVideoInput::Kind::CaptureDevice;
        video.location = QString::fromStdString(kNode);
        video.deviceEntry = kCard;
        video.norm = norm;
        video.pictureFormat = pictureFormat;
        ResolvedAudioInput audio;
        audio.kind = ResolvedAudioInput::Kind::TestTone;
        const EncoderStatus built = graph.build(video, audio);
        ASSERT_TRUE(built.ok()) << built.description.toStdString();
    }
    int norm() {
        gst::ElementPtr source = graph.element("video-device");
        gint value = -1;
        g_object_get(source.get(), "norm", &value, nullptr);
        return value;
    }
    QString device() {
        gst::ElementPtr source = graph.element("video-device");
        gchar* value = nullptr;
        g_object_get(source.get(), "device", &value, nullptr);
        const QString result = QString::fromUtf8(value);
        g_free(value);
        return result;
    }
    gst::CapsPtr caps() {
        gst::ElementPtr filter = graph.element("video-device-caps");
        GstCaps* value = nullptr;
        g_object_get(filter.get(), "caps", &value, nullptr);
        return gst::CapsPtr(value);
    }

    CaptureGraph graph{[](std::function<void()>) {}, [](EncoderStatus) {}, [](PreviewFrame) {}};
};

TEST_F(BuiltPictureSource, TheSourceHasTheStandardAndOnlyTheChosenFormat) {
    build(V4L2_STD_PAL_I, QStringLiteral("UYVY"));
    EXPECT_FALSE(graph.element("video-device") == nullptr);
    EXPECT_EQ(device(), QString::fromStdString(kNode));
    EXPECT_EQ(norm(), int(V4L2_STD_PAL_I));
    gst::CapsPtr wanted(gst_caps_from_string("video/x-raw,format=UYVY"));
    gst::CapsPtr built = caps();
    ASSERT_TRUE(built);
    EXPECT_TRUE(gst_caps_is_equal(built.get(), wanted.get()))
        << gst::CharPtr(gst_caps_to_string(built.get())).get();
}

TEST_F(BuiltPictureSource, EveryListedStandardIsOneTheSourceKnows) {
    for (const auto& entry : TunerTables::standards().subspan(1)) {
        const auto v4l2 = V4l2Values::standard(entry.value);
        ASSERT_TRUE(v4l2) << entry.name;
        build(*v4l2, QString());
        EXPECT_EQ(norm(), int(*v4l2)) << entry.name;
        graph.stop();
    }
}

TEST_F(BuiltPictureSource, RgbFormatsAreTheSourcesOwnNames) {
    for (const char* name : {"RGB24", "RGB32", "RGB555", "RGB565", "YVU9", "I420", "YV12"}) {
        const auto picture = V4l2Values::pictureFormat(format(name));
        ASSERT_TRUE(picture) << name;
        build(0, QString::fromLatin1(picture->gstFormat));
        // The source offers it: its template caps hold the format.
        gst::ElementPtr source = graph.element("video-device");
        gst::PadPtr pad(gst_element_get_static_pad(source.get(), "src"));
        gst::CapsPtr offered(gst_pad_get_pad_template_caps(pad.get()));
        gst::CapsPtr built = caps();
        EXPECT_TRUE(gst_caps_can_intersect(offered.get(), built.get()))
            << name << " as " << picture->gstFormat;
        graph.stop();
    }
}

TEST_F(BuiltPictureSource, AutoLeavesTheFormatToNegotiationAndNoneTheStandardToTheDevice) {
    build(0, QString());
    EXPECT_EQ(norm(), 0) << "none";
    gst::CapsPtr built = caps();
    ASSERT_TRUE(built);
    ASSERT_EQ(gst_caps_get_size(built.get()), 1u);
    const GstStructure* s = gst_caps_get_structure(built.get(), 0);
    EXPECT_TRUE(gst_structure_has_name(s, "video/x-raw"));
    EXPECT_FALSE(gst_structure_has_field(s, "format"));
}

// The engine against the fake V4L2 layer: the node is found through it, and
// the settings reach the device before the picture source is built.
class EngineDeviceSettings : public ::testing::Test {
protected:
    void SetUp() override {
        io.devices[kNode] = {"Tuner Card", true, {{"Television", true}, {"Composite1", false}}};
        io.devices[kNode].inputs[1].standards = V4L2_STD_SECAM;
        io.devices[kNode].currentInput = 1;
        EncoderStatus status;
        EngineOptions options;
        options.videoDevices = &devices;
        encoder = createRecordingEngine(options, &status);
        ASSERT_TRUE(encoder) << status.description.toStdString();
        encoder->setAudioInput(QStringLiteral("TEST://"));
        encoder->setVideoInput(QStringLiteral("DEVICE://") + kCard);
    }
    void TearDown() override {
        encoder.reset();
        EXPECT_EQ(io.openFds(), streamingHandles) << "the engine closed what it opened";
    }

    FakeV4l2Io io;
    V4l2VideoDevices devices{io};
    std::unique_ptr<RecordingEngine> encoder;
    size_t streamingHandles = 0;
};

TEST_F(EngineDeviceSettings, ThePrepareSetsInputStandardFormatAndChannelBeforeTheSourceOpens) {
    encoder->setVideoCaptureSettings({.input = 0,
                                      .analogStandard = standard("PAL_I"),
                                      .pixelFormat = format("UYVY"),
                                      .tunerInput = 1,
                                      .channel = 12});
    EXPECT_TRUE(io.sent.empty()) << "nothing is set before a prepare";
    const EncoderStatus prepared = encoder->prepareToEncode();
    // The source itself then fails on the node no device stands behind.
    EXPECT_EQ(prepared.code, EncoderErrorCode::VideoInput);
    EXPECT_TRUE(prepared.description.contains(QString::fromStdString(kNode)))
        << prepared.description.toStdString();
    EXPECT_EQ(io.order(), (std::vector<unsigned long>{VIDIOC_S_INPUT, VIDIOC_S_STD, VIDIOC_S_FMT,
                                                      VIDIOC_S_FREQUENCY}));
    const FakeV4l2Io::Device& d = io.devices[kNode];
    EXPECT_EQ(d.currentInput, 0);
    EXPECT_EQ(d.standard, V4L2_STD_PAL_I) << "the composite input would have refused PAL";
    EXPECT_EQ(d.pixelFormat, V4L2_PIX_FMT_UYVY);
    EXPECT_EQ(d.frequency, 471250u * 16 / 1000) << "E21, channel 12 of the antenna table";
}

TEST_F(EngineDeviceSettings, ADeviceAnotherProgramStreamsFromIsAnInputInUse) {
    io.startStreaming(kNode);
    streamingHandles = 1;
    encoder->setVideoCaptureSettings({.input = 0, .analogStandard = standard("PAL_I")});
    const EncoderStatus prepared = encoder->prepareToEncode();
    EXPECT_EQ(prepared.code, EncoderErrorCode::VideoInput);
    EXPECT_TRUE(prepared.description.contains(QStringLiteral("busy")))
        << prepared.description.toStdString();
    EXPECT_EQ(io.devices[kNode].currentInput, 1) << "nothing was changed";
    EXPECT_EQ(io.devices[kNode].standard, V4L2_STD_PAL_BG);
}

TEST_F(EngineDeviceSettings, TheSettingsAreKeptAsGivenAndTheEntryNamesTheCard) {
    const VideoCaptureSettings settings{.input = 1, .analogStandard = standard("SECAM_L")};
    encoder->setVideoCaptureSettings(settings);
    EXPECT_EQ(encoder->videoCaptureSettings(), settings);
    encoder->setVideoInput(QStringLiteral("DEVICE://Other Card"));
    EXPECT_EQ(encoder->prepareToEncode().code, EncoderErrorCode::VideoInput);
    EXPECT_TRUE(io.sent.empty()) << "another card's settings never reach this one";
    encoder->setVideoInput(QStringLiteral("DEVICE://"));
    const EncoderStatus none = encoder->prepareToEncode();
    EXPECT_EQ(none.code, EncoderErrorCode::VideoInput);
    EXPECT_EQ(none.description, QStringLiteral("no video capture device chosen"));
}

}  // namespace
}  // namespace kelm
