#pragma once

#include "subtitle/CivilDate.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The engine of the timecode subtitle format, in plain C++ on file-system
// bytes. `tiplon` runs once per recording and calls it directly: loading
// QtCore would cost that program more than writing a whole day of entries.
// Everything else goes through the Qt API in Timecode.h, which calls this, so
// there is one writer of the format. See Timecode.h for the format itself.
namespace kelm::TimecodeFile {

inline constexpr std::int32_t kSecondsPerDay = 86400;

// Room for stamp(x) of any 64-bit x.
inline constexpr int kStampCapacity = 32;

// Writes stamp(x), "hh:mm:ss.000" with hours wrapped once at 24, into `out`
// (at least kStampCapacity bytes); returns the end of what it wrote. Negative
// x counts as 0.
char* writeStamp(char* out, std::int64_t seconds);

// The recording's path with its last four characters replaced by ".sub" when
// they are a dot and a three-letter extension of the file name; otherwise
// ".sub" appended. Paths are UTF-8 (or any bytes; characters are counted as
// UTF-8 sequences).
std::string subtitlePathFor(std::string_view recordingPath);

// The path without its last `count` characters (UTF-8 sequences), or an empty
// text when the file name part is not longer than that.
std::string withoutLastCharacters(std::string_view path, int count);

// The channel as it goes into line 3: control characters and the Unicode line
// and paragraph separators become blanks, so an entry is always four lines.
std::string channelText(std::string_view channelUtf8);

struct Result {
    int errorNumber = 0;  // 0 or an errno value
    std::string subtitlePath;
    std::int32_t entriesWritten = 0;  // on failure: those before it was noticed
};

// Called about a hundred times per run at most, always at the end.
using Progress = std::function<void(std::int32_t entriesWritten, std::int32_t entriesTotal)>;

// Writes the subtitle file of `recordingPath`; see generateTimecode in
// Timecode.h for the contract. `channelUtf8` is written as channelText gives.
Result write(const std::string& recordingPath, std::int32_t startSeconds,
             std::int32_t durationSeconds, const CivilDate& startDate, std::string_view channelUtf8,
             const Progress& progress = {});

}  // namespace kelm::TimecodeFile
