#include "capture/TunerTables.h"

#include <array>
#include <cstdlib>

namespace kelm {
namespace TunerTables {
namespace {

constexpr std::array<Entry, 20> kStandards{{
    {"None", 0x00000000},     {"NTSC_M", 0x00000001},      {"NTSC_M_J", 0x00000002},
    {"NTSC_433", 0x00000004}, {"PAL_B", 0x00000010},       {"PAL_D", 0x00000020},
    {"PAL_H", 0x00000080},    {"PAL_I", 0x00000100},       {"PAL_M", 0x00000200},
    {"PAL_N", 0x00000400},    {"PAL_60", 0x00000800},      {"SECAM_B", 0x00001000},
    {"SECAM_D", 0x00002000},  {"SECAM_G", 0x00004000},     {"SECAM_H", 0x00008000},
    {"SECAM_K", 0x00010000},  {"SECAM_K1", 0x00020000},    {"SECAM_L", 0x00040000},
    {"SECAM_L1", 0x00080000}, {"PAL_N_COMBO", 0x00100000},
}};

// YUV formats send their four-character code (first letter in the lowest
// byte); RGB formats the first 32 bits of their media subtype.
constexpr std::uint32_t fourCc(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

constexpr std::array<Entry, 15> kPixelFormats{{
    {"AUTO", kAutoPixelFormat},
    {"IYUV", fourCc("IYUV")},
    {"I420", fourCc("I420")},
    {"YV12", fourCc("YV12")},
    {"YUY2", fourCc("YUY2")},
    {"UYVY", fourCc("UYVY")},
    {"YVYU", fourCc("YVYU")},
    {"YVU9", fourCc("YVU9")},
    {"RGB24", 0xE436EB7D},
    {"RGB32", 0xE436EB7E},
    {"RGB555", 0xE436EB7C},
    {"RGB565", 0xE436EB7B},
    {"RGB8", 0xE436EB7A},
    {"RGB4", 0xE436EB79},
    {"RGB1", 0xE436EB78},
}};

}  // namespace

std::span<const Entry> standards() {
    return kStandards;
}
std::span<const Entry> pixelFormats() {
    return kPixelFormats;
}

QStringList tunerInputTypes() {
    return {QStringLiteral("Kábel"), QStringLiteral("Antenna")};
}

QStringList names(std::span<const Entry> table) {
    QStringList result;
    for (const Entry& e : table) result << QString::fromLatin1(e.name);
    return result;
}

std::optional<std::uint32_t> valueOf(std::span<const Entry> table, const QString& name) {
    for (const Entry& e : table) {
        if (name == QLatin1StringView(e.name)) return e.value;
    }
    return std::nullopt;
}

}  // namespace TunerTables

namespace ChannelTables {
namespace {

// Picture carriers in kHz of the CCIR channel plan.
constexpr std::array<Channel, 11> kVhf{{{"E2", 48250},
                                        {"E3", 55250},
                                        {"E4", 62250},
                                        {"E5", 175250},
                                        {"E6", 182250},
                                        {"E7", 189250},
                                        {"E8", 196250},
                                        {"E9", 203250},
                                        {"E10", 210250},
                                        {"E11", 217250},
                                        {"E12", 224250}}};

constexpr std::array<Channel, 41> kSpecial{{
    {"S1", 105250},  {"S2", 112250},  {"S3", 119250},  {"S4", 126250},  {"S5", 133250},
    {"S6", 140250},  {"S7", 147250},  {"S8", 154250},  {"S9", 161250},  {"S10", 168250},
    {"S11", 231250}, {"S12", 238250}, {"S13", 245250}, {"S14", 252250}, {"S15", 259250},
    {"S16", 266250}, {"S17", 273250}, {"S18", 280250}, {"S19", 287250}, {"S20", 294250},
    {"S21", 303250}, {"S22", 311250}, {"S23", 319250}, {"S24", 327250}, {"S25", 335250},
    {"S26", 343250}, {"S27", 351250}, {"S28", 359250}, {"S29", 367250}, {"S30", 375250},
    {"S31", 383250}, {"S32", 391250}, {"S33", 399250}, {"S34", 407250}, {"S35", 415250},
    {"S36", 423250}, {"S37", 431250}, {"S38", 439250}, {"S39", 447250}, {"S40", 455250},
    {"S41", 463250},
}};

constexpr std::array<Channel, 49> kUhf{{
    {"E21", 471250}, {"E22", 479250}, {"E23", 487250}, {"E24", 495250}, {"E25", 503250},
    {"E26", 511250}, {"E27", 519250}, {"E28", 527250}, {"E29", 535250}, {"E30", 543250},
    {"E31", 551250}, {"E32", 559250}, {"E33", 567250}, {"E34", 575250}, {"E35", 583250},
    {"E36", 591250}, {"E37", 599250}, {"E38", 607250}, {"E39", 615250}, {"E40", 623250},
    {"E41", 631250}, {"E42", 639250}, {"E43", 647250}, {"E44", 655250}, {"E45", 663250},
    {"E46", 671250}, {"E47", 679250}, {"E48", 687250}, {"E49", 695250}, {"E50", 703250},
    {"E51", 711250}, {"E52", 719250}, {"E53", 727250}, {"E54", 735250}, {"E55", 743250},
    {"E56", 751250}, {"E57", 759250}, {"E58", 767250}, {"E59", 775250}, {"E60", 783250},
    {"E61", 791250}, {"E62", 799250}, {"E63", 807250}, {"E64", 815250}, {"E65", 823250},
    {"E66", 831250}, {"E67", 839250}, {"E68", 847250}, {"E69", 855250},
}};

template <size_t A, size_t B, size_t C>
constexpr std::array<Channel, A + B + C> join(const std::array<Channel, A>& a,
                                              const std::array<Channel, B>& b,
                                              const std::array<Channel, C>& c) {
    std::array<Channel, A + B + C> out{};
    size_t k = 0;
    for (const Channel& x : a) out[k++] = x;
    for (const Channel& x : b) out[k++] = x;
    for (const Channel& x : c) out[k++] = x;
    return out;
}

constexpr auto kCable = join(kVhf, kSpecial, kUhf);
constexpr auto kAntenna = join(kVhf, std::array<Channel, 0>{}, kUhf);

}  // namespace

std::span<const Channel> table(TunerInput input) {
    if (input == TunerInput::Antenna) return kAntenna;
    return kCable;
}

std::optional<std::uint32_t> frequencyKhz(TunerInput input, int number) {
    const auto channels = table(input);
    if (number < 1 || size_t(number) > channels.size()) return std::nullopt;
    return channels[size_t(number) - 1].videoKhz;
}

std::optional<int> channelAt(TunerInput input, std::uint32_t khz) {
    const auto channels = table(input);
    for (size_t i = 0; i < channels.size(); ++i) {
        if (std::abs(qint64(channels[i].videoKhz) - qint64(khz)) <= 1000) return int(i) + 1;
    }
    return std::nullopt;
}

}  // namespace ChannelTables
}  // namespace kelm
