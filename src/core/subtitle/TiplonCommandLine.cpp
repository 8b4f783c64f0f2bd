#include "subtitle/TiplonCommandLine.h"

#include "subtitle/TimecodeFile.h"

#include <sys/stat.h>
#include <optional>

namespace kelm {

namespace {

constexpr std::size_t kArgumentCount = 5;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int digitsValue(const std::string& text, std::size_t from, std::size_t count) {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

std::optional<std::int32_t> secondsOfDay(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (const char c : text) {
        if (!isDigit(c)) return std::nullopt;
    }
    const int value = digitsValue(text, 0, text.size());
    if (value >= TimecodeFile::kSecondsPerDay) return std::nullopt;
    return value;
}

// The two date forms KELM passes: the short date "yyyy.MM.dd." of the live job
// and "yyyy.MM.dd" of the preview job.
std::optional<CivilDate> dateArgument(const std::string& text) {
    if (text.size() != 10 && !(text.size() == 11 && text[10] == '.')) return std::nullopt;
    for (std::size_t i = 0; i < 10; ++i) {
        const bool separator = i == 4 || i == 7;
        if (separator ? text[i] != '.' : !isDigit(text[i])) return std::nullopt;
    }
    const CivilDate date{digitsValue(text, 0, 4), digitsValue(text, 5, 2), digitsValue(text, 8, 2)};
    if (!date.isValid()) return std::nullopt;
    return date;
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

const char* TiplonCommandLine::usage() {
    return "usage: tiplon <recording> <start second> <duration seconds> <date> <channel short "
           "name>\n"
           "  start second and duration: whole numbers from 0 to 86399\n"
           "  date: yyyy.MM.dd. or yyyy.MM.dd\n"
           "Writes the timecode subtitle file beside the recording (its extension replaced by\n"
           ".sub), with the markers <recording without extension>.startsub and .stopsub.";
}

TiplonCommandLine TiplonCommandLine::parse(const std::vector<std::string>& arguments) {
    TiplonCommandLine line;
    if (arguments.empty()) {
        line.m_errorText = "no arguments given";
        return line;
    }
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        line.m_wantsHelp = true;
        line.m_errorText = "usage asked for";
        return line;
    }

    std::vector<std::string> rest = arguments;
    if (arguments.size() > kArgumentCount) {
        const std::size_t pathParts = arguments.size() - (kArgumentCount - 1);
        std::string joined = arguments[0];
        for (std::size_t i = 1; i < pathParts; ++i) joined += ' ' + arguments[i];
        if (isRegularFile(joined)) {
            rest.assign(arguments.begin() + static_cast<std::ptrdiff_t>(pathParts),
                        arguments.end());
            rest.insert(rest.begin(), joined);
        }
    }
    line.m_recordingPath = rest[0];

    if (rest.size() != kArgumentCount) {
        line.m_errorText = "expected 5 arguments, got " + std::to_string(rest.size());
        return line;
    }
    if (line.m_recordingPath.empty()) {
        line.m_errorText = "the recording path is empty";
        return line;
    }
    const std::optional<std::int32_t> start = secondsOfDay(rest[1]);
    if (!start) {
        line.m_errorText = "start second \"" + rest[1] + "\" is not a whole number from 0 to 86399";
        return line;
    }
    const std::optional<std::int32_t> duration = secondsOfDay(rest[2]);
    if (!duration) {
        line.m_errorText =
            "duration \"" + rest[2] + "\" is not a whole number of seconds from 0 to 86399";
        return line;
    }
    const std::optional<CivilDate> date = dateArgument(rest[3]);
    if (!date) {
        line.m_errorText =
            "date \"" + rest[3] + "\" is not a date of the form yyyy.MM.dd. or yyyy.MM.dd";
        return line;
    }
    line.m_startSeconds = *start;
    line.m_durationSeconds = *duration;
    line.m_date = *date;
    line.m_channelShortName = rest[4];
    return line;
}

}  // namespace kelm
