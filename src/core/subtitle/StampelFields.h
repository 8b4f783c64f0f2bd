#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace kelm {

// The four fields of Stampel's window as texts: the channel name, the start
// time and the duration as "hh:mm:ss", the start date as "yyyy-MM-dd".
struct StampelFields {
    QString channelName;
    QString startTime;
    QString duration;
    QString startDate;

    // Empty channel, both times "00:00:00", the date today.
    static StampelFields defaults(const QDate& today);

    // The fields a recording suggests. KELM names its recordings
    // <channel>-<yyyyMMdd>-<hhmmss start>-<hhmmss duration>-<kind>.wmv; a file
    // name of that form fills all four fields (the channel may itself hold "-").
    // Any other name, and a name whose date or times are out of range, gives
    // the defaults: half-filled fields would only produce a wrong timecode.
    static StampelFields fromRecordingPath(const QString& recordingPath, const QDate& today);

    // The file name of a path: the text behind its last "/".
    static QString fileNameOf(const QString& recordingPath);

    // Leaving a time field. Text with ":" is read as H:M[:S] and written
    // "hh:mm:ss" (1:2:3 gives 01:02:03); other text is read as digits laid
    // right-aligned into "hh:mm:ss" (203000 gives 20:30:00, 5 gives 00:00:05).
    // Anything that is not then a time of day becomes "00:00:00".
    static QString normalizeTime(const QString& text);

    // Leaving the date field: a readable date (yyyy-M-d, yyyy.M.d, yyyy.M.d.,
    // yyyy/M/d) is written "yyyy-MM-dd"; anything else becomes today.
    static QString normalizeDate(const QString& text, const QDate& today);

    // The date a field text stands for, if it is one (forms as above).
    static std::optional<QDate> parseDate(const QString& text);

    static QString dateText(const QDate& date);
    static QString zeroTime();
};

}  // namespace kelm
