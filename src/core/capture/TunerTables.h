#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

namespace kelm {

// The entries of the four tuner lists and the values each entry sends to the
// capture device. The values are the capture component's own numbers: the
// analog video standards and media subtypes of the picture formats; the V4L2
// layer translates them into V4L2 requests.
namespace TunerTables {

struct Entry {
    const char* name;
    std::uint32_t value;
};

// The 20 analog TV standards in list order ("None" first, no PAL_G).
std::span<const Entry> standards();
// The 15 pixel formats in list order ("AUTO" first).
std::span<const Entry> pixelFormats();
// "Kábel" (0) and "Antenna" (1): the value sent is the entry's position.
QStringList tunerInputTypes();

QStringList names(std::span<const Entry> table);
// The value of an entry by its exact text; nullopt for a text not in the table.
std::optional<std::uint32_t> valueOf(std::span<const Entry> table, const QString& name);

// Defaults taken when the saved line is empty or not in its list.
inline constexpr int kDefaultChannel = 80;
inline const QString kDefaultPixelFormat = QStringLiteral("RGB24");
inline const QString kDefaultTunerInput = QStringLiteral("Kábel");
inline const QString kDefaultStandard = QStringLiteral("PAL_I");

// The value "AUTO" sends: the device and the pipeline agree on the format.
inline constexpr std::uint32_t kAutoPixelFormat = 1;

}  // namespace TunerTables

// The standard European analog channel tables: the tuner's channels 1..N are
// the table's entries in order, N the table's size.
namespace ChannelTables {

enum class TunerInput { Cable = 0, Antenna = 1 };

struct Channel {
    const char* name;        // E2, S21, E69 ...
    std::uint32_t videoKhz;  // picture carrier
};

// Cable: E2-E12, S1-S20, S21-S41 (hyperband), E21-E69 (101 channels).
// Antenna: E2-E12 and E21-E69 (60 channels).
std::span<const Channel> table(TunerInput input);

// The picture carrier of channel `number` (1-based); nullopt outside the table.
std::optional<std::uint32_t> frequencyKhz(TunerInput input, int number);
// The channel whose picture carrier lies within 1 MHz of `khz`; nullopt when none.
std::optional<int> channelAt(TunerInput input, std::uint32_t khz);

}  // namespace ChannelTables
}  // namespace kelm
