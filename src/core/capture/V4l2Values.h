#pragma once

#include <linux/videodev2.h>
#include <cstdint>
#include <optional>

namespace kelm {

// The V4L2 and GStreamer values of the tuner lists' numbers (TunerTables),
// shared by the V4L2 layer, which sends them to the device, and the engine,
// which builds its picture source with them.
namespace V4l2Values {

struct PictureFormat {
    std::uint32_t v4l2;     // V4L2_PIX_FMT_...
    const char* gstFormat;  // the same layout as GStreamer's video/x-raw names it
};

// The V4L2 standard of an analog standard; nullopt for "None" (0) and for a
// value that is no standard of the list.
std::optional<v4l2_std_id> standard(std::uint32_t analogStandard);
// The V4L2 and GStreamer format of a picture media subtype; nullopt for
// "AUTO" and for the formats V4L2 capture cannot deliver (RGB8, RGB4, RGB1).
std::optional<PictureFormat> pictureFormat(std::uint32_t mediaSubtype);

}  // namespace V4l2Values
}  // namespace kelm
