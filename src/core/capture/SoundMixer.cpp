#include "capture/SoundMixer.h"

#include <algorithm>
#include <array>

namespace kelm::MixerValues {
namespace {
// A selector never reads or writes more items than the buffer holds.
int itemsOf(const MixerControl& control) {
    return control.multipleItems ? std::clamp(control.itemCount, 0, kValueSlots) : 1;
}
}  // namespace

int get(SoundMixer& mixer, const MixerControl& control) {
    std::array<std::uint32_t, kValueSlots> values{};
    const int items = itemsOf(control);
    if (!mixer.readValues(control, std::span(values).first(size_t(std::max(items, 1))))) return 0;
    if (!control.multipleItems) return int(values[0]);
    for (int i = 0; i < items; ++i) {
        if (values[size_t(i)] != 0) return i;
    }
    return items;
}

bool set(SoundMixer& mixer, const MixerControl& control, int value) {
    std::array<std::uint32_t, kValueSlots> values{};
    const int items = itemsOf(control);
    if (control.multipleItems) {
        if (value < 0 || value >= items) return false;
        values[size_t(value)] = 1;
    } else {
        values[0] = std::uint32_t(value);
    }
    return mixer.writeValues(
        control, std::span<const std::uint32_t>(values).first(size_t(std::max(items, 1))));
}

}  // namespace kelm::MixerValues
