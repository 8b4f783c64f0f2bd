#include "capture/V4l2Values.h"

#include <array>

namespace kelm::V4l2Values {
namespace {

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
    PictureFormat format;
};

// The RGB formats of the list are stored bottom-up in B, G, R order: the
// V4L2 formats with the same byte order. A paletted picture (RGB8) has no
// raw GStreamer format a capture source delivers; RGB4 and RGB1 have no V4L2
// code at all.
constexpr std::array<FormatPair, 11> kFormats{{
    {0x56555949, {V4L2_PIX_FMT_YUV420, "I420"}},    // IYUV
    {0x30323449, {V4L2_PIX_FMT_YUV420, "I420"}},    // I420
    {0x32315659, {V4L2_PIX_FMT_YVU420, "YV12"}},    // YV12
    {0x32595559, {V4L2_PIX_FMT_YUYV, "YUY2"}},      // YUY2
    {0x59565955, {V4L2_PIX_FMT_UYVY, "UYVY"}},      // UYVY
    {0x55595659, {V4L2_PIX_FMT_YVYU, "YVYU"}},      // YVYU
    {0x39555659, {V4L2_PIX_FMT_YVU410, "YVU9"}},    // YVU9
    {0xE436EB7D, {V4L2_PIX_FMT_BGR24, "BGR"}},      // RGB24
    {0xE436EB7E, {V4L2_PIX_FMT_XBGR32, "BGRx"}},    // RGB32
    {0xE436EB7C, {V4L2_PIX_FMT_XRGB555, "RGB15"}},  // RGB555
    {0xE436EB7B, {V4L2_PIX_FMT_RGB565, "RGB16"}},   // RGB565
}};

}  // namespace

std::optional<v4l2_std_id> standard(std::uint32_t analogStandard) {
    for (const StandardPair& p : kStandards) {
        if (p.analog == analogStandard) return p.v4l2;
    }
    return std::nullopt;
}

std::optional<PictureFormat> pictureFormat(std::uint32_t mediaSubtype) {
    for (const FormatPair& p : kFormats) {
        if (p.subtype == mediaSubtype) return p.format;
    }
    return std::nullopt;
}

}  // namespace kelm::V4l2Values
