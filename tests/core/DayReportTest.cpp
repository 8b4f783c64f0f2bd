// The day's completeness report: the plans read from the event log, the
// seconds the files hold, the gaps with their causes, the signal alarms and
// the verdict; and the media length an ASF header states.

#include "seal/AsfDuration.h"
#include "seal/DayReport.h"
#include "seal/DaySeal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kelm;

namespace {

const QDate kDay(2026, 12, 7);

// An ASF header with one file properties object stating `play100ns` and `prerollMs`.
QByteArray asfHeader(quint64 play100ns, quint64 prerollMs, quint32 flags = 2) {
    auto le = [](quint64 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) out.append(char(v >> (8 * i) & 0xff));
        return out;
    };
    QByteArray properties = QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365");
    properties += le(104, 8);
    properties +=
        QByteArray(16, '\1') + le(5000, 8) + le(0, 8) + le(10, 8);  // id, size, date, packets
    properties += le(play100ns, 8) + le(play100ns, 8) + le(prerollMs, 8) + le(flags, 4);
    properties += le(3200, 4) + le(3200, 4) + le(600000, 4);
    // Another object before it, to be stepped over.
    QByteArray other =
        QByteArray::fromHex("11111111111111111111111111111111") + le(40, 8) + QByteArray(16, '\0');
    QByteArray header = QByteArray::fromHex("3026B2758E66CF11A6D900AA0062CE6C");
    header +=
        le(quint64(30 + other.size() + properties.size()), 8) + le(2, 4) + QByteArray("\1\2", 2);
    return header + other + properties;
}

QStringList logLines(std::initializer_list<const char*> lines) {
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out;
}

DayReport::Recording recording(const char* start, qint64 lengthMs) {
    const QTime t = QTime::fromString(QString::fromLatin1(start), QStringLiteral("HH:mm:ss"));
    return {QStringLiteral("teszttv-20261207-%1-000000-R64.wmv")
                .arg(t.toString(QStringLiteral("HHmmss"))),
            QDateTime(kDay, t),
            lengthMs,
            {}};
}

DayReport::Inputs inputs(const QStringList& log, QList<DayReport::Recording> recordings,
                         qint64 carriedMs = -1) {
    DayReport::Inputs in;
    in.channelShortName = QStringLiteral("teszttv");
    in.day = kDay;
    in.logFiles << QStringLiteral("teszttv-20261207.log");
    in.log = DayReport::parseLog(log);
    in.carriedMs = carriedMs;
    in.recordings = std::move(recordings);
    return in;
}

QString lastLine(const QString& text) {
    return text.trimmed().section(u'\n', -1);
}

}  // namespace

// --- The ASF header's length ---

TEST(AsfDuration, PlayDurationLessPrerollIsTheLength) {
    // 20 s of media and the 3.1 s preroll, in steps of 100 ns.
    EXPECT_EQ(AsfDuration::lengthMsOfHeader(asfHeader(200'000'000 + 31'000'000, 3100)), 20'000);
    EXPECT_EQ(AsfDuration::lengthMsOfHeader(asfHeader(36'000'000'000 + 5'000, 0)), 3'600'000);
}

TEST(AsfDuration, HeadersThatStateNoUsableLengthGiveNone) {
    // The broadcast flag: the figures are not valid.
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(asfHeader(100'000'000, 3100, 1)));
    // A header written at the start and never finished: only the preroll.
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(asfHeader(31'000'000, 3100)));
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(asfHeader(0, 0)));
    // Cut short inside the file properties object.
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(asfHeader(100'000'000, 3100).left(120)));
    // Not an ASF file.
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(QByteArray("RIFF....WAVEfmt ")));
    // An object that claims to be smaller than its own heading.
    QByteArray broken = asfHeader(100'000'000, 3100);
    broken[30 + 16] = 4;
    EXPECT_FALSE(AsfDuration::lengthMsOfHeader(broken));
}

// --- The event log's lines and plans ---

TEST(DayReportLog, DatedLinesOfBothFormsAreReadAndTheHeaderLineIsLeftOut) {
    const auto lines = DayReport::parseLog(logLines({
        "2026.12.07.-9:05:03: Encoder indítása - MOST",
        "9:05:03: Program ID: 1234",
        "2026.12.07. 10:00:00: Felvétel másolása...",
        "2026.12.07.-",
    }));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].at, QDateTime(kDay, QTime(9, 5, 3)));
    EXPECT_EQ(lines[0].message, QStringLiteral("Encoder indítása - MOST"));
    EXPECT_EQ(lines[1].message, QStringLiteral("Felvétel másolása..."));
}

TEST(DayReportLog, EachModeTakesItsLengthFromWhereKelmLogsIt) {
    const auto plans = DayReport::plans(
        DayReport::parseLog(logLines({
            // The command line states its length before the start.
            "2026.12.07.-6:00:00: Paraméteres indítás: 00:00:05",
            "2026.12.07.-6:00:00: Encoder indítása - MOST",
            "2026.12.07.-6:00:00: Csatorna: teszttv; Hangrögzítő eszköz: x; Kezdés: 06:00:00; "
            "Vége: 06:00:05; Hossz: 00:00:05.",
            // The window's "Most" states it just after.
            "2026.12.07.-8:00:00: Encoder indítása - MOST",
            "2026.12.07.-8:00:00: Csatorna: teszttv; Hangrögzítő eszköz: x; Kezdés: 08:00:00; "
            "Vége: 08:30:00; Hossz: 00:30:00.",
            // A daily recording armed days ago: the length earlier logs stated.
            "2026.12.07.-20:00:00: Encoder indítása - NAPI",
        })),
        3'600'000);
    ASSERT_EQ(plans.size(), 3);
    EXPECT_EQ(plans[0].plannedMs, 5000);
    EXPECT_EQ(plans[1].plannedMs, 1'800'000);
    EXPECT_EQ(plans[1].start, QDateTime(kDay, QTime(8, 0)));
    EXPECT_EQ(plans[2].mode, QStringLiteral("NAPI"));
    EXPECT_EQ(plans[2].plannedMs, 1'800'000) << "the window's last summary holds for later days";
    EXPECT_EQ(DayReport::plans(
                  DayReport::parseLog(logLines({"2026.12.07.-20:00:00: Encoder indítása - NAPI"})),
                  3'600'000)[0]
                  .plannedMs,
              3'600'000);
}

TEST(DayReportLog, ClockStepsMoveTheStartOrLeaveTheRecordingOut) {
    const auto plans = DayReport::plans(
        DayReport::parseLog(logLines({
            "2026.12.07.-10:05:00: A rendszeróra átugrotta a(z) 10:00:00 indítási időpontot: a "
            "rögzítés 00:05:00 késéssel, a hátralévő időre indul.",
            "2026.12.07.-10:05:00: Encoder indítása - 1X",
            "2026.12.07.-23:00:00: A rendszeróra átugrotta a(z) 21:00:00 indítási időpontot és a "
            "teljes felvételi időt (02:00:00 késés): a rögzítés elmarad.",
        })),
        600'000);
    ASSERT_EQ(plans.size(), 2);
    EXPECT_EQ(plans[0].start, QDateTime(kDay, QTime(10, 0)));
    EXPECT_FALSE(plans[0].skipped);
    EXPECT_EQ(plans[1].start, QDateTime(kDay, QTime(21, 0)));
    EXPECT_TRUE(plans[1].skipped);
}

TEST(DayReportLog, SignalAlarmsAreCountedPerKindWithTheirSeconds) {
    const auto counted = DayReport::alarms(DayReport::parseLog(logLines({
        // Began before midnight: counted on the day it ends.
        "2026.12.07.-0:00:10: Jelhiba vége: állókép, 23:59:50–00:00:10 (20 mp).",
        "2026.12.07.-10:00:00: Jelhiba: csend 09:59:55 óta.",
        "2026.12.07.-10:00:30: Jelhiba vége: csend, 09:59:55–10:00:30 (35 mp).",
        "2026.12.07.-11:00:00: Jelhiba: csend 10:59:55 óta.",
        "2026.12.07.-11:00:05: Jelhiba vége: csend, 10:59:55–11:00:05 (10 mp).",
        "2026.12.07.-12:00:00: Jelhiba: fekete kép 11:59:55 óta.",
        "2026.12.07.-12:00:00: Jelhiba: zaj 11:59:55 óta.",
    })));
    EXPECT_EQ(counted.at(QStringLiteral("csend")).count, 2);
    EXPECT_EQ(counted.at(QStringLiteral("csend")).seconds, 45);
    EXPECT_EQ(counted.at(QStringLiteral("fekete kép")).count, 1);
    EXPECT_EQ(counted.at(QStringLiteral("fekete kép")).seconds, 0);
    EXPECT_EQ(counted.at(QStringLiteral("állókép")).count, 1);
    EXPECT_EQ(counted.at(QStringLiteral("állókép")).seconds, 20);
    EXPECT_EQ(counted.size(), 3u) << "only the three kinds KELM watches";
}

// --- The report ---

TEST(DayReportText, WholeRecordingsGiveTheGoodVerdict) {
    const auto in = inputs(logLines({"2026.12.07.-20:30:00: Encoder indítása - NAPI"}),
                           {recording("20:30:00", 3'599'400)}, 3'600'000);
    const QString text = DayReport::text(in);
    EXPECT_TRUE(DayReport::complete(in));
    EXPECT_TRUE(text.contains(QStringLiteral("1. 20:30:00 (NAPI), tervezett hossz 01:00:00\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Felvéve: 3599,4 mp, 1 fájlban")));
    EXPECT_EQ(lastLine(text),
              QStringLiteral("Ítélet: RENDBEN – mind a(z) 1 tervezett felvétel teljes."));
}

TEST(DayReportText, GapIsMeasuredFromTheFilesAndExplainedByTheLogsFailureLines) {
    const auto in = inputs(
        logLines({
            "2026.12.07.-20:30:00: Encoder indítása - 1X",
            "2026.12.07.-20:30:05: Rögzítési hiba: a hangkártya nem használható",
            "2026.12.07.-20:30:05: Timecode generálás...",
            "2026.12.07.-20:30:05: A rögzítés folytatódik, amint lehet (hátralévő idő: 00:00:14).",
            "2026.12.07.-20:30:08: A felvételből 3,2 mp hiányzik (20:30:05 és 20:30:08 között).",
            "2026.12.07.-21:00:00: Rögzítési hiba: a következő napé",
            "2026.12.07.-22:00:00: Encoder indítása - 1X",
        }),
        {recording("20:30:00", 5200), recording("20:30:08", 11600), recording("22:00:00", 20'000)},
        20'000);
    const QString text = DayReport::text(in);
    EXPECT_FALSE(DayReport::complete(in));
    EXPECT_TRUE(text.contains(QStringLiteral("Felvéve: 16,8 mp, 2 fájlban"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("   Hiány: 3,2 mp\n")));
    EXPECT_TRUE(text.contains(
        QStringLiteral("     20:30:05 Rögzítési hiba: a hangkártya nem használható")));
    EXPECT_TRUE(text.contains(QStringLiteral("     20:30:08 A felvételből 3,2 mp hiányzik")));
    EXPECT_FALSE(text.contains(QStringLiteral("Timecode"))) << "no failure";
    EXPECT_FALSE(text.contains(QStringLiteral("a következő napé"))) << "long after the plan's end";
    EXPECT_EQ(
        lastLine(text),
        QStringLiteral(
            "Ítélet: HIÁNYOS – 2 tervezett felvételből 1 hiányos, összesen 3,2 mp hiányzik."));
}

TEST(DayReportText, PlanWithoutFilesAndSkippedPlansAreIncomplete) {
    const auto in = inputs(
        logLines({
            "2026.12.07.-6:00:00: Encoder indítása - 1X",
            "2026.12.07.-6:00:01: Kódolás befejezve, de nem készült felvétel: /m/x.wmv",
            "2026.12.07.-23:00:00: A rendszeróra átugrotta a(z) 21:00:00 indítási időpontot és a "
            "teljes felvételi időt (02:00:00 késés): a rögzítés elmarad.",
        }),
        {recording("12:00:00", 5000)}, 60'000);
    const QString text = DayReport::text(in);
    EXPECT_TRUE(
        text.contains(QStringLiteral("2. 21:00:00 (NAPI), tervezett hossz 00:01:00 – kimaradt")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Terv nélküli felvételek: 1")));
    EXPECT_EQ(
        lastLine(text),
        QStringLiteral("Ítélet: HIÁNYOS – 2 tervezett felvételből 2 hiányos, összesen 120,0 mp "
                       "hiányzik."));
}

TEST(DayReportText, WithoutTheDaysLogTheVerdictCannotBeGiven) {
    auto in = inputs({}, {recording("20:30:00", 5000)});
    in.logFiles.clear();
    EXPECT_FALSE(DayReport::complete(in));
    EXPECT_EQ(lastLine(DayReport::text(in)),
              QStringLiteral("Ítélet: NEM ÍTÉLHETŐ MEG – a nap eseménynaplója nem található."));
}

TEST(DayReportGather, ReadsEveryLogOfTheDayTheCarriedLengthAndTheFilesLengths) {
    QTemporaryDir program;
    QDir dir(program.path());
    ASSERT_TRUE(dir.mkdir(QStringLiteral("Media")) && dir.mkdir(QStringLiteral("Log")));
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(QStringLiteral("Log/teszttv-20261201.log"),
          "2026.12.01.-9:00:00: Csatorna: teszttv; Hangrögzítő eszköz: x; Kezdés: 20:30:00; "
          "Vége: 20:30:20; Hossz: 00:00:20.\r\n");
    write(QStringLiteral("Log/teszttv-20261207.log"),
          "2026.12.07.-20:30:00: Encoder indítása - NAPI\r\n");
    // A second instance's log of the same day.
    write(QStringLiteral("Log/teszttv-20261207-4242.log"),
          "2026.12.07.-20:30:10: Jelhiba: csend 20:30:05 óta.\r\n");
    write(QStringLiteral("Log/masik-20261207.log"),
          "2026.12.07.-20:30:00: Encoder indítása - MOST\r\n");
    const QString withHeader = QStringLiteral("Media/teszttv-20261207-203000-000020-R64.wmv");
    write(withHeader, asfHeader(12'000 * 10'000 + 31'000'000, 3100));
    // A file whose writer was killed: its length only the seal knows.
    const QString killed = QStringLiteral("Media/teszttv-20261207-203012-000008-R64.wmv");
    write(killed, asfHeader(31'000'000, 3100));
    ASSERT_TRUE(DaySeal::append(dir.filePath(QStringLiteral("Media")), QStringLiteral("teszttv"),
                                kDay,
                                {DaySeal::Entry::file(dir.filePath(killed), QDateTime(), 7'000)})
                    .ok());

    const auto in =
        DayReport::gather(dir.filePath(QStringLiteral("Media")),
                          dir.filePath(QStringLiteral("Log")), QStringLiteral("teszttv"), kDay);
    EXPECT_EQ(in.logFiles, (QStringList{QStringLiteral("teszttv-20261207-4242.log"),
                                        QStringLiteral("teszttv-20261207.log")}));
    EXPECT_EQ(in.log.size(), 2);
    EXPECT_EQ(in.carriedMs, 20'000);
    ASSERT_EQ(in.recordings.size(), 2);
    EXPECT_EQ(in.recordings[0].lengthMs, 12'000);
    EXPECT_EQ(in.recordings[1].lengthMs, 7'000);
    EXPECT_EQ(in.recordings[1].lengthSource, QStringLiteral(" (a pecsét szerint)"));
    const QString text = DayReport::text(in);
    EXPECT_TRUE(text.contains(QStringLiteral("Felvéve: 19,0 mp, 2 fájlban"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Jelhibák: csend 1, fekete kép 0, állókép 0")));
    EXPECT_TRUE(DayReport::complete(in)) << "19 s of 20 is within a second";

    EXPECT_TRUE(DayReport::write(dir.filePath(QStringLiteral("Media")),
                                 dir.filePath(QStringLiteral("Log")), QStringLiteral("teszttv"),
                                 kDay)
                    .isEmpty());
    QFile report(dir.filePath(QStringLiteral("Media/teszttv-20261207-jelentes.txt")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(report.readAll()), text);
}
