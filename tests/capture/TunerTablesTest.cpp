#include "capture/TunerTables.h"

#include <gtest/gtest.h>

namespace kelm {
namespace {

std::uint32_t fourCc(const char* s) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

TEST(TunerTables, StandardsInListOrderWithoutPalG) {
    const QStringList names = TunerTables::names(TunerTables::standards());
    ASSERT_EQ(names.size(), 20);
    EXPECT_EQ(names.first(), QStringLiteral("None"));
    EXPECT_EQ(names.last(), QStringLiteral("PAL_N_COMBO"));
    EXPECT_FALSE(names.contains(QStringLiteral("PAL_G")));
    EXPECT_EQ(names.indexOf(QStringLiteral("PAL_60")), 10)
        << "PAL_60 stands between PAL_N and SECAM_B";
    EXPECT_EQ(TunerTables::valueOf(TunerTables::standards(), QStringLiteral("PAL_I")), 0x00000100u);
    EXPECT_EQ(TunerTables::valueOf(TunerTables::standards(), QStringLiteral("SECAM_L1")),
              0x00080000u);
    EXPECT_EQ(TunerTables::valueOf(TunerTables::standards(), QStringLiteral("None")), 0u);
    EXPECT_FALSE(TunerTables::valueOf(TunerTables::standards(), QStringLiteral("pal_i")))
        << "exact text only";
}

TEST(TunerTables, EveryStandardIsOneBitOfItsOwn) {
    std::uint32_t seen = 0;
    for (const auto& e : TunerTables::standards().subspan(1)) {
        EXPECT_EQ(e.value & (e.value - 1), 0u) << e.name;
        EXPECT_EQ(seen & e.value, 0u) << e.name;
        seen |= e.value;
    }
}

TEST(TunerTables, PixelFormatsSendFourCharacterCodesOrRgbSubtypes) {
    const auto formats = TunerTables::pixelFormats();
    ASSERT_EQ(formats.size(), 15u);
    EXPECT_EQ(TunerTables::valueOf(formats, QStringLiteral("AUTO")), 1u);
    for (const char* yuv : {"IYUV", "I420", "YV12", "YUY2", "UYVY", "YVYU", "YVU9"})
        EXPECT_EQ(TunerTables::valueOf(formats, QString::fromLatin1(yuv)), fourCc(yuv)) << yuv;
    EXPECT_EQ(TunerTables::valueOf(formats, QStringLiteral("YUY2")), 0x32595559u);
    EXPECT_EQ(TunerTables::valueOf(formats, QStringLiteral("RGB24")), 0xE436EB7Du);
    EXPECT_EQ(TunerTables::valueOf(formats, QStringLiteral("RGB1")), 0xE436EB78u);
    EXPECT_EQ(TunerTables::names(formats).indexOf(QStringLiteral("RGB24")), 8);
}

TEST(TunerTables, TunerInputTypesAreCableThenAntenna) {
    EXPECT_EQ(TunerTables::tunerInputTypes(),
              (QStringList{QStringLiteral("Kábel"), QStringLiteral("Antenna")}));
}

TEST(ChannelTables, CableHoldsSpecialChannelsAntennaDoesNot) {
    using ChannelTables::TunerInput;
    EXPECT_EQ(ChannelTables::table(TunerInput::Cable).size(), 101u);
    EXPECT_EQ(ChannelTables::table(TunerInput::Antenna).size(), 60u);
    EXPECT_EQ(ChannelTables::frequencyKhz(TunerInput::Cable, 1), 48250u);
    EXPECT_EQ(ChannelTables::frequencyKhz(TunerInput::Antenna, 12), 471250u) << "E21 follows E12";
    EXPECT_EQ(ChannelTables::frequencyKhz(TunerInput::Cable, 12), 105250u) << "S1 follows E12";
    EXPECT_EQ(ChannelTables::frequencyKhz(TunerInput::Cable, 80), 687250u)
        << "the default channel is E48";
    EXPECT_EQ(ChannelTables::frequencyKhz(TunerInput::Cable, 101), 855250u);
    EXPECT_FALSE(ChannelTables::frequencyKhz(TunerInput::Antenna, 80));
    EXPECT_FALSE(ChannelTables::frequencyKhz(TunerInput::Cable, 0));
    EXPECT_FALSE(ChannelTables::frequencyKhz(TunerInput::Cable, 102));
}

TEST(ChannelTables, EveryChannelIsFoundAgainByItsFrequency) {
    for (auto input : {ChannelTables::TunerInput::Cable, ChannelTables::TunerInput::Antenna}) {
        const auto channels = ChannelTables::table(input);
        for (int n = 1; n <= int(channels.size()); ++n) {
            const std::uint32_t khz = *ChannelTables::frequencyKhz(input, n);
            EXPECT_EQ(ChannelTables::channelAt(input, khz), n) << channels[size_t(n) - 1].name;
            EXPECT_EQ(ChannelTables::channelAt(input, khz + 62), n) << "a tuner's rounding";
        }
    }
    EXPECT_FALSE(ChannelTables::channelAt(ChannelTables::TunerInput::Cable, 100000));
    EXPECT_FALSE(ChannelTables::channelAt(ChannelTables::TunerInput::Antenna, 105250))
        << "S1 is cable only";
}

}  // namespace
}  // namespace kelm
