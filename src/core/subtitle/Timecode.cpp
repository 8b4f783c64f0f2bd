#include "subtitle/Timecode.h"

#include "subtitle/RegularFile.h"
#include "subtitle/TimecodeFile.h"

#include <QFile>

namespace kelm {

namespace {

// Leading decimal digits of a text, as the time fields hold them.
qint32 leadingValue(QStringView text) {
    qint32 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') break;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
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
    char text[TimecodeFile::kStampCapacity];
    const char* end = TimecodeFile::writeStamp(text, seconds);
    return QString::fromLatin1(text, end - text);
}

QString subtitlePathFor(const QString& recordingPath) {
    return QFile::decodeName(QByteArray::fromStdString(
        TimecodeFile::subtitlePathFor(QFile::encodeName(recordingPath).toStdString())));
}

TimecodeOutcome generateTimecode(const QString& recordingPath, qint32 startSeconds,
                                 qint32 durationSeconds, const QDate& startDate,
                                 const QString& channelName, const TimecodeProgress& progress) {
    const CivilDate date = startDate.isValid()
                               ? CivilDate{startDate.year(), startDate.month(), startDate.day()}
                               : CivilDate{};
    const TimecodeFile::Result result =
        TimecodeFile::write(QFile::encodeName(recordingPath).toStdString(), startSeconds,
                            durationSeconds, date, channelName.toUtf8().toStdString(), progress);

    TimecodeOutcome outcome;
    outcome.errorNumber = result.errorNumber;
    if (result.errorNumber != 0)
        outcome.errorDescription =
            QString::fromLocal8Bit(RegularFile::errorText(result.errorNumber));
    outcome.subtitlePath = QFile::decodeName(QByteArray::fromStdString(result.subtitlePath));
    outcome.entriesWritten = result.entriesWritten;
    return outcome;
}

}  // namespace kelm
