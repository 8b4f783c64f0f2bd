#include "subtitle/TiplonCommandLine.h"

#include "subtitle/Timecode.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

namespace kelm {

namespace {

constexpr qsizetype kArgumentCount = 5;

std::optional<qint32> secondsOfDay(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint32 value = text.toInt();
    if (value >= kTimecodeSecondsPerDay)
        return std::nullopt;
    return value;
}

// The two date forms KELM passes: the short date "yyyy.MM.dd." of the live job
// and "yyyy.MM.dd" of the preview job.
std::optional<QDate> dateArgument(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{4})\\.(\\d{2})\\.(\\d{2})\\.?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    return date;
}

}  // namespace

QString TiplonCommandLine::usage() {
    return QStringLiteral(
        "usage: tiplon <recording> <start second> <duration seconds> <date> <channel short name>\n"
        "  start second and duration: whole numbers from 0 to 86399\n"
        "  date: yyyy.MM.dd. or yyyy.MM.dd\n"
        "Writes the timecode subtitle file beside the recording (its extension replaced by\n"
        ".sub), with the markers <recording without extension>.startsub and .stopsub.");
}

TiplonCommandLine TiplonCommandLine::parse(const QStringList& arguments) {
    TiplonCommandLine line;
    if (arguments.isEmpty()) {
        line.m_errorText = QStringLiteral("no arguments given");
        return line;
    }
    if (arguments.size() == 1 &&
        (arguments.first() == u"--help" || arguments.first() == u"-h")) {
        line.m_wantsHelp = true;
        line.m_errorText = QStringLiteral("usage asked for");
        return line;
    }

    QStringList rest = arguments;
    if (arguments.size() > kArgumentCount) {
        const qsizetype pathParts = arguments.size() - (kArgumentCount - 1);
        const QString joined = arguments.mid(0, pathParts).join(u' ');
        if (QFileInfo(joined).isFile())
            rest = QStringList{joined} + arguments.mid(pathParts);
    }
    line.m_recordingPath = rest.first();

    if (rest.size() != kArgumentCount) {
        line.m_errorText = QStringLiteral("expected 5 arguments, got %1").arg(rest.size());
        return line;
    }
    if (line.m_recordingPath.isEmpty()) {
        line.m_errorText = QStringLiteral("the recording path is empty");
        return line;
    }
    const std::optional<qint32> start = secondsOfDay(rest.at(1));
    if (!start) {
        line.m_errorText = QStringLiteral(
                               "start second \"%1\" is not a whole number from 0 to 86399")
                               .arg(rest.at(1));
        return line;
    }
    const std::optional<qint32> duration = secondsOfDay(rest.at(2));
    if (!duration) {
        line.m_errorText = QStringLiteral(
                               "duration \"%1\" is not a whole number of seconds from 0 to 86399")
                               .arg(rest.at(2));
        return line;
    }
    const std::optional<QDate> date = dateArgument(rest.at(3));
    if (!date) {
        line.m_errorText =
            QStringLiteral("date \"%1\" is not a date of the form yyyy.MM.dd. or yyyy.MM.dd")
                .arg(rest.at(3));
        return line;
    }
    line.m_startSeconds = *start;
    line.m_durationSeconds = *duration;
    line.m_date = *date;
    line.m_channelShortName = rest.at(4);
    return line;
}

}  // namespace kelm
