#include "subtitle/TiplonJob.h"

#include "subtitle/RegularFile.h"
#include "subtitle/TimecodeFile.h"
#include "subtitle/TiplonCommandLine.h"
#include "subtitle/TiplonMarkers.h"

namespace kelm {

TiplonJob::TiplonJob(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

TiplonJob::Exit TiplonJob::run() {
    const TiplonCommandLine line = TiplonCommandLine::parse(m_arguments);
    if (line.wantsHelp()) {
        m_showsUsage = true;
        return Exit::Done;
    }

    const TiplonMarkers markers(line.recordingPath());
    if (!line.isValid()) {
        m_messages.push_back(line.errorText());
        m_showsUsage = true;
        if (markers.canBeNamed()) {
            if (std::string error = markers.createStopMarker(); !error.empty())
                m_messages.push_back(std::move(error));
        }
        return Exit::BadArguments;
    }
    if (!markers.canBeNamed()) {
        m_messages.push_back("\"" + line.recordingPath() +
                             "\" is too short a recording path to name its markers");
        return Exit::BadArguments;
    }

    // A failed start marker does not stop the run: the subtitle file and the
    // stop marker are what KELM needs.
    bool failed = false;
    if (std::string error = markers.createStartMarker(); !error.empty()) {
        m_messages.push_back(std::move(error));
        failed = true;
    }
    const TimecodeFile::Result result =
        TimecodeFile::write(line.recordingPath(), line.startSeconds(), line.durationSeconds(),
                            line.date(), line.channelShortName());
    if (result.errorNumber != 0) {
        m_messages.push_back("cannot write " + result.subtitlePath + " for " +
                             line.recordingPath() + ": " +
                             RegularFile::errorText(result.errorNumber));
        failed = true;
    }
    if (std::string error = markers.createStopMarker(); !error.empty()) {
        m_messages.push_back(std::move(error));
        failed = true;
    }
    return failed ? Exit::Failed : Exit::Done;
}

}  // namespace kelm
