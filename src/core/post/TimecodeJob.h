#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace kelm::TimecodeJob {

// Seconds since midnight of a time text "HH:mm:ss" (or "HHmmss"), as decimal
// digits: 12:34:56 gives "45296". Empty for a text that is not two-digit
// hours, minutes and seconds, so a caller never hands tiplon a made-up time.
QString timeToSeconds(const QString& timeText);

// tiplon's five arguments for the recording the encoder writes: the
// recording, the start second, the length in seconds, today's short date and
// the channel's short name. Empty when a time text does not parse.
QStringList liveArguments(const QString& recordingPath, const QString& startTime,
                          const QString& duration, const QDate& today,
                          const QString& channelShortName);

// tiplon's arguments for a preview's indexed copy: its length is the encoding
// time so far, in whole seconds (the fraction dropped, wrapped after a day),
// and its date is the recording's (`todayStamp`, yyyyMMdd) as "yyyy.mm.dd".
QStringList previewArguments(const QString& indexedCopyPath, const QString& startTime,
                             qint64 encodingTimeMs, const QString& todayStamp,
                             const QString& channelShortName);

// tiplon names its markers after its first argument without the last four
// characters (the ".wmv"): base + ".startsub" when it begins, base +
// ".stopsub" when it has finished.
QString markerBase(const QString& recordingPath);
QString startMarker(const QString& recordingPath);
QString stopMarker(const QString& recordingPath);

}  // namespace kelm::TimecodeJob
