#include "recorder/EventLog.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kelm;

namespace {
QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
}  // namespace

class EventLogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ManualClock clock{QDateTime(QDate(2006, 5, 12), QTime(9, 5, 3))};
    QString normalPath() const {
        return QDir(dir.path()).filePath(QStringLiteral("teszttv-20060512.log"));
    }
};

TEST_F(EventLogTest, LinesCarryDateInTheFileAndOnlyTimeInTheBox) {
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 77));
    ASSERT_TRUE(log.logEvent(QStringLiteral("Kódolás befejezve. Fájl neve: x.wmv")));
    EXPECT_EQ(log.boxText(), QStringLiteral("9:05:03: Kódolás befejezve. Fájl neve: x.wmv\r\n"));
    EXPECT_EQ(readAll(normalPath()),
              QStringLiteral("2006.05.12.-9:05:03: Kódolás befejezve. Fájl neve: x.wmv\r\n"));
}

TEST_F(EventLogTest, StartupHeaderHasItsThreeExactForms) {
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 4242));
    log.writeStartupHeader(4242, QStringLiteral("teszttv"));
    EXPECT_EQ(readAll(normalPath()),
              QStringLiteral("2006.05.12.-9:05:03: \r\n"
                             "9:05:03: Program ID: 4242\r\n"
                             "2006.05.12.-9:05:03: Utolsó állapot beolvasása: teszttv.ini\r\n"));
}

TEST_F(EventLogTest, SecondInstanceTakesTheFallbackFileAndBothKeepEveryLine) {
    EventLog first(clock);
    EventLog second(clock);
    ASSERT_TRUE(first.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 100));
    ASSERT_TRUE(
        second.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 200));
    EXPECT_EQ(second.filePath(),
              QDir(dir.path()).filePath(QStringLiteral("teszttv-20060512-200.log")));
    for (int i = 0; i < 50; ++i) {
        first.logEvent(QStringLiteral("a%1").arg(i));
        second.logEvent(QStringLiteral("b%1").arg(i));
    }
    EXPECT_EQ(readAll(normalPath()).count(QStringLiteral("\r\n")), 50);
    EXPECT_EQ(readAll(second.filePath()).count(QStringLiteral("\r\n")), 50);
    EXPECT_FALSE(readAll(normalPath()).contains(u'b'));
}

TEST_F(EventLogTest, ReopeningInTheSameRunReplacesTheStreamInsteadOfFallingBack) {
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    EXPECT_EQ(log.filePath(), normalPath());
}

TEST_F(EventLogTest, ExistingFileIsAppendedTo) {
    {
        QFile f(normalPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old line\r\n");
    }
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    log.logEvent(QStringLiteral("new"));
    EXPECT_TRUE(
        readAll(normalPath()).startsWith(QStringLiteral("old line\r\n2006.05.12.-9:05:03: new")));
}

TEST_F(EventLogTest, RunPastMidnightKeepsTheStartDaysFileButShowsTheRealDate) {
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    clock.set(QDateTime(QDate(2006, 5, 13), QTime(0, 0, 1)));
    log.logEvent(QStringLiteral("after midnight"));
    EXPECT_EQ(readAll(normalPath()), QStringLiteral("2006.05.13.-0:00:01: after midnight\r\n"));
}

TEST_F(EventLogTest, UnopenableFolderLeavesLinesInTheBoxAndReportsTheFailure) {
    EventLog log(clock);
    EXPECT_FALSE(log.open(QDir(dir.path()).filePath(QStringLiteral("no/such")),
                          QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    EXPECT_FALSE(log.logEvent(QStringLiteral("x")));
    EXPECT_TRUE(log.boxText().endsWith(QStringLiteral("x\r\n")));
}

TEST_F(EventLogTest, BoxOverTheLimitIsClearedToTheOneSizeLimitLine) {
    EventLog log(clock);
    ASSERT_TRUE(log.open(dir.path(), QStringLiteral("teszttv"), QStringLiteral("20060512"), 1));
    log.appendToBox(QString(32000, u'x'));
    EXPECT_FALSE(log.enforceBoxLimit());
    log.appendToBox(QStringLiteral("y"));
    EXPECT_TRUE(log.enforceBoxLimit());
    EXPECT_EQ(log.boxText(), QStringLiteral("9:05:03: Eseménynapló, 32k méret korlát miatt "
                                            "törlődött. A tartlama mentve lett a(z)  ") +
                                 normalPath() + QStringLiteral(" fájlba. 32001 byte.\r\n"));
}

TEST_F(EventLogTest, RecentlyLoggedSeesOnlyTheLastFewMessages) {
    EventLog log(clock);
    log.logEvent(QStringLiteral("Rögzítési hiba: a lemez megtelt"));
    EXPECT_TRUE(log.recentlyLogged(QStringLiteral("Rögzítési hiba: a lemez megtelt")));
    EXPECT_FALSE(log.recentlyLogged(QStringLiteral("Rögzítési hiba: a lemez")))
        << "the whole message, not a part";
    for (int i = 0; i < 8; ++i) log.logEvent(QStringLiteral("más %1").arg(i));
    EXPECT_FALSE(log.recentlyLogged(QStringLiteral("Rögzítési hiba: a lemez megtelt")))
        << "a failure that comes again later is a new line";
}

TEST_F(EventLogTest, EndsWithSeesOnlyTheBoxsLastLineAndAnythingElseInBetweenResetsIt) {
    EventLog log(clock);
    const QString waiting = QStringLiteral("Várakozás indításra.... ");
    EXPECT_FALSE(log.endsWith(waiting));
    EXPECT_FALSE(log.endsWith(QString()));  // an empty box ends with no message
    log.logEvent(waiting);
    EXPECT_TRUE(log.endsWith(waiting));
    EXPECT_FALSE(log.endsWith(QStringLiteral("Várakozás")));  // the whole message, not a part
    log.logJobEvent(QStringLiteral("Másolás..."));
    EXPECT_FALSE(log.endsWith(waiting));
    log.logEvent(waiting);
    log.appendToBox(QStringLiteral("A kézi sor\r\n"));
    EXPECT_FALSE(log.endsWith(waiting));
    log.logEvent(waiting);
    log.writeStartupHeader(1, QStringLiteral("teszttv"));
    EXPECT_FALSE(log.endsWith(waiting));
}
