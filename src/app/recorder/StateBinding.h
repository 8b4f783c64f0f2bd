#pragma once

#include "RecorderContext.h"
#include "recorder/LastState.h"

#include <optional>

class QComboBox;

namespace kelm {

class TimeFields;
struct SourceLists;

// Moves the operator's last choices between the window's controls and the
// last-state file.
class StateBinding final {
public:
    StateBinding(RecorderContext& context, const SourceLists& sources, TimeFields& timeFields)
        : m_ctx(context), m_sources(sources), m_timeFields(timeFields) {}

    // Writes the eleven lines from the controls to `statePath`. False (and the
    // failure logged) when the file could not be written.
    bool saveState();

    // Restores lines 1 to 5: the audio source and input line (selecting the
    // last entry of equal text, which runs the list's handler), then the three
    // time texts as they stand. A short file restores only the lines it has.
    void restoreAudioAndTimes(const std::function<void()>& onAudioSource,
                              const std::function<void()>& onInput);

    // Selects the entry of `list` that equals the saved line, if any.
    void restoreStateLine(int line, QComboBox* list, const std::function<void()>& onSelected);

    // Writes the list's text onto line `line` of an existing state file (the
    // file is rewritten with twelve lines). Nothing happens without a file,
    // and a file of more than twelve lines is left as it is.
    bool saveStateLine(int line, const QComboBox* list);

    // The state file at the path recomputed from the settings (and kept in
    // `statePath`); nullopt when it does not exist or cannot be read.
    std::optional<LastState> loadState();

private:
    RecorderContext& m_ctx;
    const SourceLists& m_sources;
    TimeFields& m_timeFields;
};

}  // namespace kelm
