#pragma once

#include <string>
#include <vector>

namespace kelm {

// What `tiplon` does with its arguments: start marker, subtitle file, stop
// marker. Whatever goes wrong, a stop marker is left wherever the recording
// path allows one to be named, so KELM's watcher never waits for ever.
// Plain C++ (see TimecodeFile.h).
class TiplonJob final {
public:
    // Process exit codes.
    enum class Exit : int { Done = 0, Failed = 1, BadArguments = 2 };

    explicit TiplonJob(std::vector<std::string> arguments);

    Exit run();

    // What went wrong, one line each, for standard error.
    const std::vector<std::string>& messages() const { return m_messages; }
    // The usage text is to be shown: on standard output when it was asked
    // for (the run is Done), after the messages otherwise.
    bool showsUsage() const { return m_showsUsage; }

private:
    std::vector<std::string> m_arguments;
    std::vector<std::string> m_messages;
    bool m_showsUsage = false;
};

}  // namespace kelm
