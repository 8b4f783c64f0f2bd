// The built-in profile texts and the profile parser.

#include "encoder/EncoderProfile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace kelm {
namespace {

EncoderProfile parsed(const QString& text) {
    EncoderProfile p;
    const EncoderStatus status = EncoderProfile::parse(text, &p);
    EXPECT_TRUE(status.ok()) << status.description.toStdString();
    return p;
}

QString tv() {
    return EncoderProfile::builtInText(BuiltInProfile::Tv);
}

// The TV text with one value replaced, for rows that must fail or pass.
QString tvWith(const char* from, const char* to) {
    QString text = tv();
    const QString needle = QString::fromUtf8(from);
    EXPECT_TRUE(text.contains(needle)) << from;
    return text.replace(needle, QString::fromUtf8(to));
}

TEST(EncoderProfileText, BothTextsBreakLinesWithCrLfOnly) {
    for (BuiltInProfile id : {BuiltInProfile::Radio, BuiltInProfile::Tv}) {
        const QString text = EncoderProfile::builtInText(id);
        const qsizetype crlf = text.count(QStringLiteral("\r\n"));
        EXPECT_GT(crlf, 50);
        EXPECT_EQ(text.count(QLatin1Char('\n')), crlf);
        EXPECT_EQ(text.count(QLatin1Char('\r')), crlf);
        EXPECT_TRUE(text.startsWith(QStringLiteral("<profile version=\"589824\"")));
    }
}

TEST(EncoderProfileText, TextsStayTheSameOnEveryCall) {
    EXPECT_EQ(EncoderProfile::builtInText(BuiltInProfile::Tv),
              EncoderProfile::builtInText(BuiltInProfile::Tv));
    EXPECT_NE(EncoderProfile::builtInText(BuiltInProfile::Tv),
              EncoderProfile::builtInText(BuiltInProfile::Radio));
}

TEST(EncoderProfileText, PictureFileSourceSelectsTheRadioProfileOnlyOnAnExactMatch) {
    const QString radio = EncoderProfile::builtInText(BuiltInProfile::Radio);
    EXPECT_EQ(EncoderProfile::textForVideoSource(QStringLiteral("Videó fájl")), radio);
    EXPECT_EQ(EncoderProfile::textForVideoSource(QStringLiteral("Videó fájl ")), tv());
    EXPECT_EQ(EncoderProfile::textForVideoSource(QStringLiteral("videó fájl")), tv());
    EXPECT_EQ(EncoderProfile::textForVideoSource(QStringLiteral("Hauppauge WinTV")), tv());
    EXPECT_EQ(EncoderProfile::textForVideoSource(QString()), tv());
}

TEST(EncoderProfileParse, TvProfileAsksForWmv2At384x288And25FramesWithWma2At48kHz) {
    const EncoderProfile p = parsed(tv());
    EXPECT_EQ(p.name, QStringLiteral("Video 512 K - Audio 64 K"));
    EXPECT_EQ(p.videoCodec, QStringLiteral("wmv2"));
    EXPECT_EQ(p.audioCodec, QStringLiteral("wmav2"));
    EXPECT_EQ(p.videoBitrate, 512000);
    EXPECT_EQ(p.width, 384);
    EXPECT_EQ(p.height, 288);
    EXPECT_EQ(double(p.frameRateNum) / p.frameRateDen, 25.0);
    EXPECT_EQ(p.keyFrameSpacingMs, 8000);
    EXPECT_EQ(p.keyFrameSpacingFrames(), 200);
    EXPECT_EQ(p.audioBitrate, 64032);
    EXPECT_EQ(p.sampleRate, 48000);
    EXPECT_EQ(p.channels, 2);
    EXPECT_EQ(p.quality, 60);
}

TEST(EncoderProfileParse, RadioProfileAsksForOneFramePerSecondAtTheSourceSize) {
    const EncoderProfile p = parsed(EncoderProfile::builtInText(BuiltInProfile::Radio));
    EXPECT_TRUE(p.name.startsWith(QStringLiteral("Adaptív átviteli sebességű hang (CBR)")));
    EXPECT_TRUE(p.sourceSize());
    EXPECT_EQ(p.frameRateNum, 1);
    EXPECT_EQ(p.frameRateDen, 1);
    EXPECT_EQ(p.keyFrameSpacingFrames(), 1);
    EXPECT_EQ(p.videoBitrate, 12000);
    EXPECT_EQ(p.audioBitrate, 64040);
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_EQ(p.channels, 2);
}

TEST(EncoderProfileParse, NtscFrameTimeKeepsAFractionTheEncoderTakes) {
    const EncoderProfile p =
        parsed(tvWith("avgtimeperframe=\"400000\"", "avgtimeperframe=\"333667\""));
    EXPECT_LE(p.frameRateNum, 65535);
    EXPECT_LE(p.frameRateDen, 65535);
    EXPECT_NEAR(double(p.frameRateNum) / p.frameRateDen, 1e7 / 333667, 1e-6);
    EXPECT_NEAR(p.keyFrameSpacingFrames(), 239, 1);
}

TEST(EncoderProfileParse, OlderWindowsMediaVideoSubtypesAreWrittenAsWmv2) {
    const EncoderProfile p =
        parsed(tvWith("{33564D57-", "{31564D57-")
                   .replace(QStringLiteral("\"WMV3\""), QStringLiteral("\"WMV1\"")));
    EXPECT_EQ(p.videoCodec, QStringLiteral("wmv2"));
}

struct Refusal {
    const char* what;
    const char* from;
    const char* to;
};

class EncoderProfileRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(EncoderProfileRefusal, IsRefusedWithTheProfileNumber) {
    const Refusal& row = GetParam();
    const QString text = row.from ? tvWith(row.from, row.to) : QString::fromUtf8(row.to);
    EncoderProfile untouched;
    untouched.name = QStringLiteral("untouched");
    const EncoderStatus status = EncoderProfile::parse(text, &untouched);
    EXPECT_EQ(status.code, EncoderErrorCode::ProfileRefused) << row.what;
    EXPECT_FALSE(status.description.isEmpty());
    EXPECT_EQ(untouched.name, QStringLiteral("untouched"))
        << "a refused profile must not be half-written";
}

const Refusal kRefusals[] = {
    {"empty text", nullptr, ""},
    {"not XML", nullptr, "Video 512 K - Audio 64 K"},
    {"another root element", nullptr, "<streamconfig majortype=\"x\"/>"},
    {"truncated in the video stream", "      </wmmediatype>\r\n   </streamconfig>\r\n</profile>",
     ""},
    {"unclosed attribute", "quality=\"60\"/>", "quality=\"60/>"},
    {"audio stream missing", "majortype=\"{73647561-", "majortype=\"{00000000-"},
    {"video stream twice", "majortype=\"{73647561-", "majortype=\"{73646976-"},
    {"audio format other than WMA", "wFormatTag=\"353\"", "wFormatTag=\"354\""},
    {"audio subtype other than WMA", "{00000161-", "{00000162-"},
    {"six channels", "nChannels=\"2\"", "nChannels=\"6\""},
    {"no channels", "nChannels=\"2\"", "nChannels=\"0\""},
    {"sample rate too high", "nSamplesPerSec=\"48000\"", "nSamplesPerSec=\"96000\""},
    {"24-bit samples", "wBitsPerSample=\"16\"", "wBitsPerSample=\"24\""},
    {"video codec not Windows Media", "{33564D57-", "{34363248-"},
    {"compression not Windows Media", "\"WMV3\"", "\"H264\""},
    {"odd width", "biwidth=\"384\"", "biwidth=\"385\""},
    {"width without height", "biheight=\"288\"", "biheight=\"0\""},
    {"width far too large", "biwidth=\"384\"", "biwidth=\"38400\""},
    {"no frame time", "avgtimeperframe=\"400000\"", "avgtimeperframe=\"0\""},
    {"frame rate above 60", "avgtimeperframe=\"400000\"", "avgtimeperframe=\"100000\""},
    {"no key-frame spacing", "maxkeyframespacing=\"80000000\"", "maxkeyframespacing=\"0\""},
    {"bit rate not a number", "bitrate=\"512000\"", "bitrate=\"fast\""},
    {"video bit rate zero", "bitrate=\"512000\"", "bitrate=\"0\""},
    {"audio bit rate far too high", "bitrate=\"64032\"", "bitrate=\"6403200\""},
};

// Rows are named after what they break: "six_channels", "odd_width", ...
std::string rowName(const ::testing::TestParamInfo<Refusal>& info) {
    std::string name = info.param.what;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, EncoderProfileRefusal, ::testing::ValuesIn(kRefusals), rowName);

}  // namespace
}  // namespace kelm
