#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kelm {

// A line of a sound card's mixer: a destination (where sound goes, such as
// the recording) or one of a destination's source lines (what feeds it).
struct MixerLine {
    QString name;
    std::uint32_t lineId = 0;
    int connections = 0;  // source lines of a destination; 0 for a source line
    int controlCount = 0;
};

// One control of a line: a level, a switch, or a selector with one item per
// choice (multipleItems). Values are whole numbers between minimum and
// maximum; a selector has one value per item, 1 marking the chosen item.
struct MixerControl {
    std::uint32_t id = 0;
    QString shortName;
    bool multipleItems = false;
    int itemCount = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

// An opened mixer of one sound card, presented as destinations, their source
// lines and the lines' controls. GUI thread only. Reads return the card's
// current values, including changes made outside KELM.
class SoundMixer {
public:
    virtual ~SoundMixer() = default;
    virtual int destinationCount() = 0;
    virtual std::optional<MixerLine> destination(int destination) = 0;
    virtual std::optional<MixerLine> source(int destination, int source) = 0;
    // Every control of the line, in the line's order; nullopt on failure.
    virtual std::optional<std::vector<MixerControl>> controls(const MixerLine& line) = 0;
    // `values` holds one value per item of a selector, else one value.
    virtual bool readValues(const MixerControl& control, std::span<std::uint32_t> values) = 0;
    virtual bool writeValues(const MixerControl& control,
                             std::span<const std::uint32_t> values) = 0;
};

// Opens the mixer that belongs to a sound card of SoundCardList.
class SoundMixerDevices {
public:
    virtual ~SoundMixerDevices() = default;
    // Null when the card's mixer cannot be opened (busy or gone).
    virtual std::unique_ptr<SoundMixer> open(const QString& card) = 0;
};

// Reading and writing one control as the mixer lines use it: through a
// buffer of 51 values, a selector read as the position of its first marked
// item (the item count when none is marked).
namespace MixerValues {
inline constexpr int kValueSlots = 51;
// 0 when the value cannot be read.
int get(SoundMixer& mixer, const MixerControl& control);
// False when the mixer refuses the value, or a selector has no item `value`.
bool set(SoundMixer& mixer, const MixerControl& control, int value);
}  // namespace MixerValues

}  // namespace kelm
