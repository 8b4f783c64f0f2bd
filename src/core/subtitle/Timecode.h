#pragma once

#include <QDate>
#include <QString>
#include <QStringView>
#include <functional>

// The timecode subtitle file (".sub"): one entry per second of a recording,
// showing the elapsed time range and a line with the channel, the date and the
// time of day of that second. Stampel and KELM write it through
// generateTimecode, `tiplon` through the plain-C++ engine under it
// (TimecodeFile.h), so there is exactly one implementation of the format.
//
// Entry n (n = 1 .. D + 1) of a run that starts S seconds after midnight of
// the start date and lasts D seconds, with k = n - 1, is four lines, each ended
// by a single LF:
//   n
//   stamp(k) --> stamp(k + 1)
//   Ch:<channel>, D: <yyyy.MM.dd of second S + k>, T: <hh:mm:ss of S + k>
//   (empty)
// The file is UTF-8 without a byte-order mark.
namespace kelm {

// Seconds since midnight of a time text: every ":" is removed, then characters
// 1-2 count as hours, 3-4 as minutes and the last two as seconds. A field that
// does not start with a digit counts as 0. Meant for the two-digit "hh:mm:ss"
// texts of the time fields; other text gives a number, not an error.
qint32 timeToSeconds(QStringView timeText);

// stamp(x): "hh:mm:ss.000" for x whole seconds, hours wrapped once at 24 (so
// 86400 gives 00:00:00.000). Negative x counts as 0.
QString secondsToTimecode(qint64 seconds);

// The subtitle file of a recording: its ".wmv" (or any three-letter extension)
// replaced by ".sub", in the same folder; a name without such an extension gets
// ".sub" appended. A ".sub" recording maps onto itself; generateTimecode
// refuses that.
QString subtitlePathFor(const QString& recordingPath);

// How a run ended. errorNumber is 0 on success, otherwise an errno value (or
// one of RegularFile's refusals) and errorDescription the text for it.
struct TimecodeOutcome {
    int errorNumber = 0;
    QString errorDescription;
    QString subtitlePath;
    // Entries handed to the file; on failure, those before it was noticed.
    qint32 entriesWritten = 0;

    bool succeeded() const { return errorNumber == 0; }
};

// Called on the thread that runs generateTimecode, about a hundred times per
// run at most (and always once with entriesWritten == entriesTotal at the end),
// so a window can show it without being flooded.
using TimecodeProgress = std::function<void(qint32 entriesWritten, qint32 entriesTotal)>;

// Writes the subtitle file of `recordingPath` (see subtitlePathFor); an existing
// one is overwritten. Fails without touching the disk when the recording does
// not exist, when start or duration lie outside 0..86399, when the date is not
// valid, or when the subtitle path would be the recording itself. A failure
// while writing leaves the partly written file. Line breaks and other control
// characters in the channel name become blanks, so an entry is always four
// lines. Safe to call from any thread.
TimecodeOutcome generateTimecode(const QString& recordingPath, qint32 startSeconds,
                                 qint32 durationSeconds, const QDate& startDate,
                                 const QString& channelName, const TimecodeProgress& progress = {});

}  // namespace kelm
