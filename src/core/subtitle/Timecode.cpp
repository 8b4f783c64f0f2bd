#include "subtitle/Timecode.h"

#include "subtitle/BufferedFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kelm {

namespace {

// Room for stamp(x) of any qint64: 19 digits of hours, ":mm:ss.000".
constexpr int kStampCapacity = 32;

// Leading decimal digits of a text, as the time fields hold them.
qint32 leadingValue(QStringView text) {
    qint32 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

char* putTwoDigits(char* out, qint64 value) {
    *out++ = static_cast<char>('0' + value / 10);
    *out++ = static_cast<char>('0' + value % 10);
    return out;
}

char* putNumber(char* out, qint64 value) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (count > 0)
        *out++ = reversed[--count];
    return out;
}

// stamp(x) as bytes; returns the end of what it wrote.
char* putStamp(char* out, qint64 seconds) {
    if (seconds < 0)
        seconds = 0;
    qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds - 3600 * hours) / 60;
    const qint64 rest = seconds - 3600 * hours - 60 * minutes;
    if (hours > 23)
        hours -= 24;
    out = hours < 10 ? putTwoDigits(out, hours) : putNumber(out, hours);
    *out++ = ':';
    out = putTwoDigits(out, minutes);
    *out++ = ':';
    out = putTwoDigits(out, rest);
    std::memcpy(out, ".000", 4);
    return out + 4;
}

// The channel as it goes into line 3: a line break inside it would split the
// entry and throw every later entry out of step.
QByteArray channelBytes(const QString& channelName) {
    QString cleaned = channelName;
    for (QChar& c : cleaned) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return cleaned.toUtf8();
}

// "Ch:<channel>, D: <date>, T: " for one day of the run.
QByteArray lineThreePrefix(const QByteArray& channel, const QDate& date) {
    QByteArray prefix;
    prefix.reserve(channel.size() + 32);
    prefix.append("Ch:").append(channel).append(", D: ");
    prefix.append(date.toString(u"yyyy.MM.dd").toLatin1());
    prefix.append(", T: ");
    return prefix;
}

TimecodeOutcome failure(TimecodeOutcome outcome, int errorNumber) {
    outcome.errorNumber = errorNumber;
    outcome.errorDescription = qt_error_string(errorNumber);
    return outcome;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

qint32 timeToSeconds(QStringView timeText) {
    QString digits = timeText.toString();
    digits.remove(u':');
    const QStringView view(digits);
    return leadingValue(view.mid(0, 2)) * 3600 + leadingValue(view.mid(2, 2)) * 60 +
           leadingValue(view.right(2));
}

QString secondsToTimecode(qint64 seconds) {
    char text[kStampCapacity];
    const char* end = putStamp(text, seconds);
    return QString::fromLatin1(text, end - text);
}

QString subtitlePathFor(const QString& recordingPath) {
    const qsizetype nameStart = recordingPath.lastIndexOf(u'/') + 1;
    const qsizetype extensionStart = recordingPath.size() - 4;
    if (extensionStart > nameStart && recordingPath.at(extensionStart) == u'.')
        return recordingPath.left(extensionStart) + QStringLiteral(".sub");
    return recordingPath + QStringLiteral(".sub");
}

TimecodeOutcome generateTimecode(const QString& recordingPath, qint32 startSeconds,
                                 qint32 durationSeconds, const QDate& startDate,
                                 const QString& channelName, const TimecodeProgress& progress) {
    TimecodeOutcome outcome;
    outcome.subtitlePath = subtitlePathFor(recordingPath);

    // Beyond one day stamp() stops wrapping into a time of day.
    if (startSeconds < 0 || startSeconds >= kTimecodeSecondsPerDay || durationSeconds < 0 ||
        durationSeconds >= kTimecodeSecondsPerDay || !startDate.isValid())
        return failure(outcome, EINVAL);

    struct stat recording {};
    if (::stat(QFile::encodeName(recordingPath).constData(), &recording) != 0)
        return failure(outcome, errno);
    if (S_ISDIR(recording.st_mode))
        return failure(outcome, EISDIR);
    // Opening the subtitle file empties it: it must never be the recording.
    struct stat existing {};
    if (::stat(QFile::encodeName(outcome.subtitlePath).constData(), &existing) == 0 &&
        sameFile(existing, recording))
        return failure(outcome, EINVAL);

    BufferedFile file;
    if (const int error = file.create(outcome.subtitlePath); error != 0)
        return failure(outcome, error);

    const QByteArray channel = channelBytes(channelName);
    const qint32 entriesTotal = durationSeconds + 1;
    const qint32 progressStep = qMax(1, entriesTotal / 100);
    qint64 dayOfPrefix = -1;
    QByteArray prefix;
    char lines[2 * kStampCapacity + 32];
    char timeOfDay[kStampCapacity + 2];

    for (qint32 n = 1; n <= entriesTotal; ++n) {
        const qint64 k = n - 1;
        const qint64 secondOfRun = startSeconds + k;

        char* end = putNumber(lines, n);
        *end++ = '\n';
        end = putStamp(end, k);
        std::memcpy(end, " --> ", 5);
        end = putStamp(end + 5, k + 1);
        *end++ = '\n';
        file.append(lines, end - lines);

        const qint64 day = secondOfRun / kTimecodeSecondsPerDay;
        if (day != dayOfPrefix) {
            prefix = lineThreePrefix(channel, startDate.addDays(day));
            dayOfPrefix = day;
        }
        file.append(prefix);
        // The time of day is the first eight characters of stamp(S + k).
        putStamp(timeOfDay, secondOfRun);
        timeOfDay[8] = '\n';
        timeOfDay[9] = '\n';
        file.append(timeOfDay, 10);

        if (file.error() != 0)
            break;
        outcome.entriesWritten = n;
        if (progress && (n % progressStep == 0 || n == entriesTotal))
            progress(n, entriesTotal);
    }

    if (const int error = file.close(); error != 0)
        return failure(outcome, error);
    return outcome;
}

}  // namespace kelm
