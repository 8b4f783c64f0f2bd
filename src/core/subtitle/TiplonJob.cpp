#include "subtitle/TiplonJob.h"

#include "subtitle/Timecode.h"
#include "subtitle/TiplonCommandLine.h"
#include "subtitle/TiplonMarkers.h"

namespace kelm {

TiplonJob::TiplonJob(QStringList arguments) : m_arguments(std::move(arguments)) {}

TiplonJob::Exit TiplonJob::run() {
    const TiplonCommandLine line = TiplonCommandLine::parse(m_arguments);
    if (line.wantsHelp()) {
        m_showsUsage = true;
        return Exit::Done;
    }

    const TiplonMarkers markers(line.recordingPath());
    if (!line.isValid()) {
        m_messages << line.errorText();
        m_showsUsage = true;
        if (markers.canBeNamed()) {
            if (const QString error = markers.createStopMarker(); !error.isEmpty())
                m_messages << error;
        }
        return Exit::BadArguments;
    }
    if (!markers.canBeNamed()) {
        m_messages << QStringLiteral("\"%1\" is too short a recording path to name its markers")
                          .arg(line.recordingPath());
        return Exit::BadArguments;
    }

    // A failed start marker does not stop the run: the subtitle file and the
    // stop marker are what KELM needs.
    bool failed = false;
    if (const QString error = markers.createStartMarker(); !error.isEmpty()) {
        m_messages << error;
        failed = true;
    }
    const TimecodeOutcome outcome =
        generateTimecode(line.recordingPath(), line.startSeconds(), line.durationSeconds(),
                         line.date(), line.channelShortName());
    if (!outcome.succeeded()) {
        m_messages << QStringLiteral("cannot write %1 for %2: %3 %4")
                          .arg(outcome.subtitlePath, line.recordingPath())
                          .arg(outcome.errorNumber)
                          .arg(outcome.errorDescription);
        failed = true;
    }
    if (const QString error = markers.createStopMarker(); !error.isEmpty()) {
        m_messages << error;
        failed = true;
    }
    return failed ? Exit::Failed : Exit::Done;
}

}  // namespace kelm
