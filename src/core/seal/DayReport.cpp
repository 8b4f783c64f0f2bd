#include "seal/DayReport.h"

#include "encoder/OutputFileName.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TextFile.h"
#include "recorder/TimeText.h"
#include "seal/AsfDuration.h"
#include "seal/SealFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace kelm::DayReport {

namespace {

// A recording this much shorter than planned still counts as whole: a file
// is named and cut to the second, and its first sample may come a frame late.
constexpr qint64 kToleranceMs = 1000;
// Failure lines up to this long after a plan's end still explain it: the
// end is noticed on the next tick, a resume is given up a moment later.
constexpr qint64 kCauseAfterEndMs = 60'000;
// How many earlier days of logs are read for a planned length.
constexpr int kCarryDays = 40;

const QStringList kAlarmKinds{QStringLiteral("csend"), QStringLiteral("fekete kép"),
                              QStringLiteral("állókép")};

std::optional<qint64> lengthOf(const QString& text) {
    const auto seconds = TimeText::secondsOfDay(text);
    if (!seconds || TimeText::digitFields(text).hours < 0) return std::nullopt;
    return qint64(*seconds) * 1000;
}

// "12,3 mp".
QString secondsText(qint64 ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1).replace(u'.', u',') + QStringLiteral(" mp");
}

QString clockText(const QDateTime& t) {
    return t.time().toString(QStringLiteral("HH:mm:ss"));
}

QString durationText(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QChar(u'0'))
        .arg(s / 60 % 60, 2, 10, QChar(u'0'))
        .arg(s % 60, 2, 10, QChar(u'0'));
}

const QRegularExpression& commandLineForm() {
    static const QRegularExpression form(
        QStringLiteral("^Paraméteres indítás: (\\d\\d:\\d\\d:\\d\\d)$"));
    return form;
}

// The length the summary written when a recording is armed states
// ("Csatorna: ...; Hossz: 01:00:00.").
std::optional<qint64> summaryLength(const QString& message) {
    static const QRegularExpression summary(
        QStringLiteral("^Csatorna: .*; Hossz: (\\d\\d:\\d\\d:\\d\\d)\\.$"));
    const QRegularExpressionMatch m = summary.match(message);
    return m.hasMatch() ? lengthOf(m.captured(1)) : std::nullopt;
}

std::optional<qint64> commandLineLength(const QString& message) {
    const QRegularExpressionMatch m = commandLineForm().match(message);
    return m.hasMatch() ? lengthOf(m.captured(1)) : std::nullopt;
}

struct PlanView {
    Plan plan;
    QDateTime end;  // invalid when the length is not known
    QList<const Recording*> files;
    qint64 recordedMs = 0;
    bool lengthsKnown = true;
    QList<const LogLine*> causes;

    qint64 gapMs() const { return plan.plannedMs < 0 ? 0 : plan.plannedMs - recordedMs; }
    bool whole() const {
        if (plan.skipped || files.isEmpty()) return false;
        return plan.plannedMs < 0 || gapMs() <= kToleranceMs;
    }
};

struct Analysis {
    QList<PlanView> plans;
    QList<const Recording*> unplanned;  // the day's recordings no plan claims
};

Analysis analyse(const Inputs& in) {
    Analysis a;
    const QList<Plan> planned = plans(in.log, in.carriedMs);
    for (const Plan& p : planned) {
        PlanView view;
        view.plan = p;
        if (p.plannedMs >= 0) view.end = p.start.addMSecs(p.plannedMs);
        a.plans << view;
    }
    QList<const Recording*> free;
    for (const Recording& r : in.recordings) free << &r;
    for (qsizetype i = 0; i < a.plans.size(); ++i) {
        PlanView& v = a.plans[i];
        const QDateTime next = i + 1 < a.plans.size() ? a.plans[i + 1].plan.start : QDateTime();
        const QDateTime until = v.end.isValid() ? v.end : v.plan.start.addDays(1);
        if (!v.plan.skipped) {
            for (auto it = free.begin(); it != free.end();) {
                const QDateTime s = (*it)->start;
                const bool inside =
                    s >= v.plan.start.addSecs(-2) && s < until && (!next.isValid() || s < next);
                if (!inside) {
                    ++it;
                    continue;
                }
                v.files << *it;
                if ((*it)->lengthMs >= 0)
                    v.recordedMs += (*it)->lengthMs;
                else
                    v.lengthsKnown = false;
                it = free.erase(it);
            }
        }
        const QDateTime causeUntil = until.addMSecs(kCauseAfterEndMs);
        for (const LogLine& line : in.log) {
            if (line.at < v.plan.start.addSecs(-1) || line.at > causeUntil) continue;
            if (next.isValid() && line.at >= next) continue;
            if (isFailureLine(line.message)) v.causes << &line;
        }
    }
    for (const Recording* r : free)
        if (r->start.date() == in.day) a.unplanned << r;
    return a;
}

QString recordingLine(const Recording& r) {
    const QString length = r.lengthMs < 0 ? QStringLiteral("hossza ismeretlen")
                                          : secondsText(r.lengthMs) + r.lengthSource;
    return QStringLiteral("     %1  %2  %3").arg(clockText(r.start), length, r.fileName);
}

QString verdict(const Inputs& in, const Analysis& a) {
    if (in.logFiles.isEmpty())
        return QStringLiteral("Ítélet: NEM ÍTÉLHETŐ MEG – a nap eseménynaplója nem található.");
    if (a.plans.isEmpty()) return QStringLiteral("Ítélet: a napra nem volt tervezett felvétel.");
    int broken = 0;
    qint64 missingMs = 0;
    for (const PlanView& v : a.plans) {
        if (v.whole()) continue;
        ++broken;
        missingMs += v.plan.plannedMs >= 0 ? std::max<qint64>(0, v.gapMs()) : 0;
    }
    if (broken == 0)
        return QStringLiteral("Ítélet: RENDBEN – mind a(z) %1 tervezett felvétel teljes.")
            .arg(a.plans.size());
    return QStringLiteral(
               "Ítélet: HIÁNYOS – %1 tervezett felvételből %2 hiányos, összesen %3 "
               "hiányzik.")
        .arg(a.plans.size())
        .arg(broken)
        .arg(secondsText(missingMs));
}

}  // namespace

QList<LogLine> parseLog(const QStringList& lines) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{4}\\.\\d{2}\\.\\d{2}\\.)[- ](\\d{1,2}:\\d{2}:\\d{2}): (.*)$"));
    QList<LogLine> out;
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = form.match(line);
        if (!m.hasMatch()) continue;
        const QDate date = QDate::fromString(m.captured(1), QStringLiteral("yyyy.MM.dd."));
        const QTime time = QTime::fromString(m.captured(2), QStringLiteral("H:mm:ss"));
        if (!date.isValid() || !time.isValid()) continue;
        out.append({QDateTime(date, time), m.captured(3)});
    }
    return out;
}

qint64 lastStatedLengthMs(const QList<LogLine>& log) {
    qint64 last = -1;
    for (const LogLine& line : log)
        if (const auto length = commandLineLength(line.message))
            last = *length;
        else if (const auto summary = summaryLength(line.message))
            last = *summary;
    return last;
}

QList<Plan> plans(const QList<LogLine>& log, qint64 carriedMs) {
    static const QRegularExpression start(QStringLiteral("^Encoder indítása - (MOST|1X|NAPI)$"));
    static const QRegularExpression jumped(QStringLiteral(
        "^A rendszeróra átugrotta a\\(z\\) (\\d\\d:\\d\\d:\\d\\d) indítási időpontot"));
    QList<Plan> out;
    qint64 lengthMs = carriedMs;
    std::optional<QDateTime> dueBeforeJump;  // a late start's planned second
    std::optional<QDateTime> commandLineAt;  // when the command line stated a length
    // "MOST" from the window logs its start before the summary that states
    // its length: the summary that follows at once is its own.
    qsizetype awaitingLength = -1;
    for (const LogLine& line : log) {
        if (const auto stated = commandLineLength(line.message)) {
            lengthMs = *stated;
            commandLineAt = line.at;
            awaitingLength = -1;
            continue;
        }
        if (const auto stated = summaryLength(line.message)) {
            lengthMs = *stated;
            if (awaitingLength >= 0 && out[awaitingLength].start.secsTo(line.at) <= 5)
                out[awaitingLength].plannedMs = *stated;
            awaitingLength = -1;
            continue;
        }
        if (const QRegularExpressionMatch m = start.match(line.message); m.hasMatch()) {
            Plan plan;
            plan.start = dueBeforeJump.value_or(line.at);
            dueBeforeJump.reset();
            plan.mode = m.captured(1);
            plan.plannedMs = lengthMs;
            out << plan;
            const bool fromCommandLine = commandLineAt && commandLineAt->secsTo(line.at) <= 5;
            awaitingLength =
                plan.mode == QStringLiteral("MOST") && !fromCommandLine ? out.size() - 1 : -1;
            continue;
        }
        if (const QRegularExpressionMatch m = jumped.match(line.message); m.hasMatch()) {
            const QTime due = QTime::fromString(m.captured(1), QStringLiteral("HH:mm:ss"));
            const QDateTime dueAt(line.at.date(), due);
            if (line.message.endsWith(QStringLiteral("a rögzítés elmarad."))) {
                Plan plan;
                plan.start = dueAt;
                plan.mode = QStringLiteral("NAPI");
                plan.plannedMs = lengthMs;
                plan.skipped = true;
                out << plan;
            } else {
                dueBeforeJump = dueAt;
            }
        }
    }
    return out;
}

bool isFailureLine(const QString& message) {
    static const QStringList prefixes{
        QStringLiteral("Rögzítési hiba"),
        QStringLiteral(
            "A rögzítés "),  // nem folytatható, még nem folytatható, elmarad, folytatódik
        QStringLiteral("Rögzítés folytatása új fájlban"),
        QStringLiteral("A felvételből "),
        QStringLiteral("A források csak "),
        QStringLiteral("A rendszeróra átugrotta"),
        QStringLiteral("Encoder leállítva!"),
        QStringLiteral("Kódolási folyamat leállítva!"),
        QStringLiteral("Leállítási kérés a rendszertől."),
        QStringLiteral("Kódolás befejezve, de nem készült felvétel"),
        QStringLiteral("A felvétel fájlja nem zárult le"),
        QStringLiteral("A media mappa "),
        QStringLiteral("Kevés a szabad hely"),
        QStringLiteral("Kodek hiba!"),
        QStringLiteral("Az Encoder profájl nem megfelelő!"),
        QStringLiteral("Nincs kijelölve hangkártya!"),
        QStringLiteral("A kért videokodek"),
        QStringLiteral("A kódolási folyamat nem fér hozzá"),
        QStringLiteral("Ismeretlen hiba"),
        QStringLiteral("Windows Media Encoder nincs telepítve"),
        QStringLiteral("A Windows Media Encoder nincs telepítve"),
    };
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const QString& p) { return message.startsWith(p); });
}

std::map<QString, Alarms> alarms(const QList<LogLine>& log) {
    static const QRegularExpression begins(
        QStringLiteral("^Jelhiba: (csend|fekete kép|állókép) \\d\\d:\\d\\d:\\d\\d óta\\.$"));
    static const QRegularExpression ends(
        QStringLiteral("^Jelhiba vége: (csend|fekete kép|állókép), "
                       "\\d\\d:\\d\\d:\\d\\d–\\d\\d:\\d\\d:\\d\\d \\((\\d+) mp\\)\\.$"));
    std::map<QString, Alarms> out;
    std::map<QString, bool> open;
    for (const QString& kind : kAlarmKinds) out[kind] = {};
    for (const LogLine& line : log) {
        if (const QRegularExpressionMatch m = begins.match(line.message); m.hasMatch()) {
            ++out[m.captured(1)].count;
            open[m.captured(1)] = true;
        } else if (const QRegularExpressionMatch e = ends.match(line.message); e.hasMatch()) {
            Alarms& a = out[e.captured(1)];
            // An alarm that began the day before is counted on the day it ends.
            if (!open[e.captured(1)]) ++a.count;
            open[e.captured(1)] = false;
            a.seconds += e.captured(2).toLongLong();
        }
    }
    return out;
}

QString text(const Inputs& in) {
    const Analysis a = analyse(in);
    QStringList out;
    out << QStringLiteral("KELM napi jelentés – %1, %2")
               .arg(in.channelShortName, RegionalFormat::shortDate(in.day));
    out << (in.logFiles.isEmpty() ? QStringLiteral("Eseménynapló: nem található")
                                  : QStringLiteral("Eseménynapló: ") + in.logFiles.join(u','));
    out << QString();
    out << QStringLiteral("Tervezett felvételek: %1").arg(a.plans.size());
    int number = 0;
    for (const PlanView& v : a.plans) {
        const QString length =
            v.plan.plannedMs < 0 ? QStringLiteral("ismeretlen") : durationText(v.plan.plannedMs);
        out << QStringLiteral("%1. %2 (%3), tervezett hossz %4%5")
                   .arg(++number)
                   .arg(clockText(v.plan.start), v.plan.mode, length,
                        v.plan.skipped ? QStringLiteral(" – kimaradt") : QString());
        out << QStringLiteral("   Felvéve: %1, %2 fájlban%3")
                   .arg(secondsText(v.recordedMs))
                   .arg(v.files.size())
                   .arg(v.lengthsKnown ? QString()
                                       : QStringLiteral(" (egy fájl hossza ismeretlen)"));
        for (const Recording* r : v.files) out << recordingLine(*r);
        if (!v.whole()) {
            if (v.plan.plannedMs >= 0)
                out << QStringLiteral("   Hiány: %1")
                           .arg(secondsText(std::max<qint64>(0, v.gapMs())));
            else
                out << QStringLiteral("   Hiány: nem készült felvétel");
        }
        for (const LogLine* cause : v.causes)
            out << QStringLiteral("     %1 %2").arg(clockText(cause->at), cause->message);
    }
    if (!a.unplanned.isEmpty()) {
        out << QStringLiteral("Terv nélküli felvételek: %1").arg(a.unplanned.size());
        for (const Recording* r : a.unplanned) out << recordingLine(*r);
    }
    QStringList kinds;
    for (const auto& [kind, counted] : alarms(in.log)) {
        QString part = kind + u' ' + QString::number(counted.count);
        if (counted.seconds > 0) part += QStringLiteral(" (%1 mp)").arg(counted.seconds);
        kinds << part;
    }
    out << QStringLiteral("Jelhibák: ") + kinds.join(QStringLiteral(", "));
    out << verdict(in, a);
    return out.join(u'\n') + u'\n';
}

bool complete(const Inputs& in) {
    if (in.logFiles.isEmpty()) return false;
    const Analysis a = analyse(in);
    return std::all_of(a.plans.begin(), a.plans.end(), [](const PlanView& v) { return v.whole(); });
}

Inputs gather(const QString& mediaDir, const QString& logDir, const QString& channelShortName,
              const QDate& day) {
    Inputs in;
    in.channelShortName = channelShortName;
    in.day = day;
    const QDir logs(logDir);
    const auto logsOf = [&](const QDate& d) {
        const QString stamp = RegionalFormat::todayStamp(d);
        QStringList names =
            logs.entryList({channelShortName + u'-' + stamp + QStringLiteral(".log"),
                            channelShortName + u'-' + stamp + QStringLiteral("-*.log")},
                           QDir::Files, QDir::Name);
        return names;
    };
    for (const QString& name : logsOf(day)) {
        const auto lines = TextFile::readLines(logs.filePath(name));
        if (!lines) continue;
        in.logFiles << name;
        in.log << parseLog(*lines);
    }
    std::stable_sort(in.log.begin(), in.log.end(),
                     [](const LogLine& a, const LogLine& b) { return a.at < b.at; });
    for (int back = 1; back <= kCarryDays && in.carriedMs < 0; ++back) {
        for (const QString& name : logsOf(day.addDays(-back))) {
            const auto lines = TextFile::readLines(logs.filePath(name));
            if (!lines) continue;
            const qint64 stated = lastStatedLengthMs(parseLog(*lines));
            if (stated >= 0) in.carriedMs = stated;
        }
    }

    const QDir media(mediaDir);
    std::map<QString, qint64> sealedLengths;
    for (const QString& name : media.entryList(
             {channelShortName + QStringLiteral("-*") + SealFile::kSuffix}, QDir::Files)) {
        QFile seal(media.filePath(name));
        if (!seal.open(QIODevice::ReadOnly)) continue;
        for (const auto& file : SealFile::parse(seal.readAll()).files)
            if (file.lengthMs >= 0) sealedLengths[file.fileName] = file.lengthMs;
    }
    for (const QString& name :
         media.entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name)) {
        const auto recording = OutputFileName::parse(name);
        if (!recording || recording->channelShortName != channelShortName) continue;
        if (std::abs(recording->start.date().daysTo(day)) > 1) continue;
        Recording r;
        r.fileName = name;
        r.start = recording->start;
        if (const auto ms = AsfDuration::lengthMs(media.filePath(name))) {
            r.lengthMs = *ms;
        } else if (const auto sealed = sealedLengths.find(name); sealed != sealedLengths.end()) {
            r.lengthMs = sealed->second;
            r.lengthSource = QStringLiteral(" (a pecsét szerint)");
        }
        in.recordings << r;
    }
    std::sort(in.recordings.begin(), in.recordings.end(),
              [](const Recording& a, const Recording& b) { return a.start < b.start; });
    return in;
}

QString fileName(const QString& channelShortName, const QDate& day) {
    return channelShortName + u'-' + RegionalFormat::todayStamp(day) +
           QStringLiteral("-jelentes.txt");
}

QString write(const QString& mediaDir, const QString& logDir, const QString& channelShortName,
              const QDate& day) {
    const QString path = QDir(mediaDir).filePath(fileName(channelShortName, day));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    file.write(text(gather(mediaDir, logDir, channelShortName, day)).toUtf8());
    if (!file.commit()) return file.errorString();
    return {};
}

}  // namespace kelm::DayReport
