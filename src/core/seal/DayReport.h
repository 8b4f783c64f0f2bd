#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>

namespace kelm {

// Whether what was planned for a day was recorded: each planned recording as
// the day's event log tells it, against the seconds its files hold, the gaps
// with the log's failure lines around them, the signal alarms counted per
// kind, and a one-line verdict. KELM writes it beside the day's seal
// ("<short>-<yyyyMMdd>-jelentes.txt") and kelmcheck prints it; both through
// `write`/`text`.
namespace DayReport {

// One line of an event log file: "yyyy.MM.dd.-H:mm:ss: message" (a blank in
// place of the "-" in the copy and index jobs' lines).
struct LogLine {
    QDateTime at;  // local time
    QString message;
};
// The lines that carry a date and a time; the others (the start-up header's
// "Program ID" line) are left out.
QList<LogLine> parseLog(const QStringList& lines);

// A recording the log says was planned.
struct Plan {
    QDateTime start;        // local
    qint64 plannedMs = -1;  // -1: the log does not say how long
    QString mode;           // "MOST", "1X", "NAPI"
    bool skipped = false;   // the log says it was left out entirely
};

// The plans of the day's log lines. `carriedMs` is the planned length the
// channel's earlier logs last stated (a daily recording armed days ago),
// -1 when none did.
QList<Plan> plans(const QList<LogLine>& log, qint64 carriedMs);
// The planned length the log's lines state last, -1 when none.
qint64 lastStatedLengthMs(const QList<LogLine>& log);

// Whether a log message tells of a failure or of an end other than the
// planned one: the causes a gap is explained by.
bool isFailureLine(const QString& message);

// The signal alarms of the day, per kind ("csend", "fekete kép", "állókép").
struct Alarms {
    int count = 0;
    qint64 seconds = 0;
};
std::map<QString, Alarms> alarms(const QList<LogLine>& log);

// A recording file of the channel as the report counts it.
struct Recording {
    QString fileName;
    QDateTime start;       // local, from its name
    qint64 lengthMs = -1;  // -1: not known
    QString lengthSource;  // where the length came from, "" for the file's header
};

struct Inputs {
    QString channelShortName;
    QDate day;
    QStringList logFiles;         // the day's log files read; empty: none found
    QList<LogLine> log;           // their lines, in time order
    qint64 carriedMs = -1;        // the length earlier logs stated last
    QList<Recording> recordings;  // the channel's recordings around the day
};

// The report's text, lines ended by LF; its last line is the verdict.
QString text(const Inputs& inputs);
// Whether the verdict is that everything planned was recorded (or nothing was planned).
bool complete(const Inputs& inputs);

// Reads what the report needs from the disk: the day's log files in
// `logDir` ("<short>-<yyyyMMdd>.log" and those of other instances,
// "<short>-<yyyyMMdd>-<pid>.log"), the planned length the earlier logs
// stated, and the channel's recordings from the day before to the day after
// in `mediaDir` with their lengths: the ASF header's, or the seal's where the
// header states none.
Inputs gather(const QString& mediaDir, const QString& logDir, const QString& channelShortName,
              const QDate& day);

// "<short>-<yyyyMMdd>-jelentes.txt".
QString fileName(const QString& channelShortName, const QDate& day);
// Writes the report into the media folder, replacing an earlier one.
// Returns why not, or an empty text.
QString write(const QString& mediaDir, const QString& logDir, const QString& channelShortName,
              const QDate& day);

}  // namespace DayReport
}  // namespace kelm
