#pragma once

#include "RecorderContext.h"

class QComboBox;

namespace kelm {

// Moves the operator's last choices between the window's controls and the
// last-state file.
class StateBinding final {
public:
    explicit StateBinding(RecorderContext& context) : m_ctx(context) {}

    // Writes the eleven lines from the controls to `statePath`. False (and the
    // failure logged) when the file could not be written.
    bool saveState();

    // Restores lines 1 to 5: the audio source and input line (selecting the
    // last entry of equal text, which runs the list's handler), then the three
    // time texts as they stand.
    void restoreAudioAndTimes(const std::function<void()>& onAudioSource,
                              const std::function<void()>& onInput);

    // Selects the entry of `list` that equals the saved line, if any.
    void RestoreStateLine(int line, QComboBox* list, const std::function<void()>& onSelected);

private:
    RecorderContext& m_ctx;
};

}  // namespace kelm
