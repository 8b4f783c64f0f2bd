// kelmcheck: checks a media folder's recordings against their seals and
// prints each day's completeness report.
//
//   kelmcheck [--log <log folder>] <media folder> [yyyyMMdd]
//
// Exit status: 0 everything holds, 1 a finding, 2 a usage error or a folder
// that cannot be read.

#include "encoder/OutputFileName.h"
#include "seal/DayReport.h"
#include "seal/SealCheck.h"
#include "seal/SealFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <map>
#include <set>

namespace {

using namespace kelm;

constexpr int kUsageError = 2;

int usage(QTextStream& err, const QString& why) {
    err << why << "\n"
        << "Használat: kelmcheck [--log <napló mappa>] <media mappa> [ééééhhnn]\n";
    return kUsageError;
}

// The channels and days the folder's seals and recordings name, and the
// days the log folder has a log of (a day that planned recordings and
// recorded none has only its log).
std::map<QString, std::set<QDate>> channelDays(const QString& mediaDir, const QString& logDir) {
    std::map<QString, std::set<QDate>> days;
    static const QRegularExpression logName(QStringLiteral("^(.+)-(\\d{8})(?:-\\d+)?\\.log$"));
    for (const QString& name : QDir(logDir).entryList({QStringLiteral("*.log")}, QDir::Files)) {
        const QRegularExpressionMatch m = logName.match(name);
        const QDate d = QDate::fromString(m.captured(2), QStringLiteral("yyyyMMdd"));
        if (m.hasMatch() && d.isValid()) days[m.captured(1)].insert(d);
    }
    for (const QString& name : QDir(mediaDir).entryList(QDir::Files)) {
        if (const auto seal = SealFile::parseFileName(name))
            days[seal->channelShortName].insert(seal->day);
        else if (const auto recording = OutputFileName::parse(name))
            days[recording->channelShortName].insert(recording->start.date());
    }
    return days;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);

    QStringList args = QCoreApplication::arguments().mid(1);
    QString logDir;
    if (const qsizetype at = args.indexOf(QStringLiteral("--log")); at >= 0) {
        if (at + 1 >= args.size())
            return usage(err, QStringLiteral("A --log után a napló mappa kell."));
        logDir = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.isEmpty() || args.size() > 2) return usage(err, QStringLiteral("Hibás paraméterek."));
    const QString mediaDir = QDir::cleanPath(QFileInfo(args.at(0)).absoluteFilePath());
    std::optional<QDate> day;
    if (args.size() == 2) {
        const QDate given = QDate::fromString(args.at(1), QStringLiteral("yyyyMMdd"));
        if (!given.isValid() || args.at(1).size() != 8)
            return usage(err, QStringLiteral("Hibás nap: ") + args.at(1));
        day = given;
    }
    if (logDir.isEmpty()) logDir = QDir(mediaDir).filePath(QStringLiteral("../Log"));
    logDir = QDir::cleanPath(QFileInfo(logDir).absoluteFilePath());

    const SealCheck::Result result = SealCheck::checkFolder(mediaDir, day);
    if (!result.folderReadable) {
        err << "A media mappa nem olvasható: " << mediaDir << "\n";
        return kUsageError;
    }
    out << "Pecsétek ellenőrzése: " << mediaDir << "\n";
    for (const SealCheck::Finding& finding : result.findings) out << finding.text << "\n";
    const QString counted = QStringLiteral("%1 pecsét, %2 lepecsételt fájl")
                                .arg(result.seals.size())
                                .arg(result.filesChecked);
    if (result.findings.isEmpty())
        out << "Eredmény: minden rendben (" << counted << ").\n";
    else
        out << "Eredmény: " << result.findings.size() << " eltérés (" << counted << ").\n";

    for (const auto& [channel, days] : channelDays(mediaDir, logDir)) {
        for (const QDate& d : days) {
            if (day && d != *day) continue;
            out << "\n" << DayReport::text(DayReport::gather(mediaDir, logDir, channel, d));
        }
    }
    out.flush();
    return result.findings.isEmpty() ? 0 : 1;
}
