#pragma once

#include "subtitle/CivilDate.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelm {

// The five arguments KELM gives `tiplon`:
//   1 recording path, 2 start second of the day, 3 duration in seconds,
//   4 date ("yyyy.MM.dd." or "yyyy.MM.dd"), 5 channel short name.
// Start and duration are whole numbers from 0 to 86399. Arguments are taken as
// the bytes they arrive in, so any file name the system allows works.
//
// KELM joins the arguments with single blanks and never quotes them, so a
// recording path with blanks may arrive as several arguments. When there are
// more than five and the leading ones, joined again with single blanks, name an
// existing file, they are taken as the path.
//
// Plain C++, like the rest of tiplon's code (see TimecodeFile.h).
class TiplonCommandLine final {
public:
    static TiplonCommandLine parse(const std::vector<std::string>& arguments);

    bool isValid() const { return m_errorText.empty(); }
    // Why the arguments were refused; empty when valid.
    const std::string& errorText() const { return m_errorText; }
    // The caller asked for the usage text and nothing else.
    bool wantsHelp() const { return m_wantsHelp; }

    // The recording path, also when other arguments were refused (empty only
    // when there was no argument at all), so a caller can still leave the
    // stop marker KELM waits for.
    const std::string& recordingPath() const { return m_recordingPath; }
    std::int32_t startSeconds() const { return m_startSeconds; }
    std::int32_t durationSeconds() const { return m_durationSeconds; }
    CivilDate date() const { return m_date; }
    const std::string& channelShortName() const { return m_channelShortName; }

    static const char* usage();

private:
    std::string m_errorText;
    bool m_wantsHelp = false;
    std::string m_recordingPath;
    std::int32_t m_startSeconds = 0;
    std::int32_t m_durationSeconds = 0;
    CivilDate m_date;
    std::string m_channelShortName;
};

}  // namespace kelm
