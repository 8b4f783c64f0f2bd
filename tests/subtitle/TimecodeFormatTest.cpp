#include "SubtitleReader.h"
#include "subtitle/RegularFile.h"
#include "subtitle/Timecode.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <cerrno>
#include <csignal>
#include <utility>
#include <vector>

namespace {

using namespace kelm;

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SubtitleFormat : public ::testing::Test {
protected:
    QString recording(const QString& name, const QByteArray& content = "wmv") {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    }
    TimecodeOutcome run(const QString& name, qint32 start, qint32 duration,
                        const QString& channel = QStringLiteral("M1"),
                        const QDate& date = QDate(2006, 12, 31),
                        const TimecodeProgress& progress = {}) {
        return generateTimecode(m_dir.filePath(name), start, duration, date, channel, progress);
    }
    QTemporaryDir m_dir;
};

TEST(SubtitleConversions, StampWrapsTheHoursOnceAtTwentyFour) {
    const std::pair<qint64, const char*> rows[] = {
        {0, "00:00:00.000"},      {3725, "01:02:05.000"},  {86399, "23:59:59.000"},
        {86400, "00:00:00.000"},  {90061, "01:01:01.000"}, {172799, "23:59:59.000"},
        {360000, "76:00:00.000"}, {-5, "00:00:00.000"}};
    for (const auto& [seconds, stamp] : rows)
        EXPECT_EQ(secondsToTimecode(seconds), QLatin1String(stamp)) << seconds;
}

TEST(SubtitleConversions, TimeToSecondsReadsTheTwoDigitFields) {
    const std::pair<const char*, qint32> rows[] = {{"12:34:56", 45296}, {"00:00:00", 0},
                                                   {"23:59:59", 86399}, {"123456", 45296},
                                                   {"ab:cd:ef", 0},     {"", 0}};
    for (const auto& [text, seconds] : rows)
        EXPECT_EQ(timeToSeconds(QString::fromLatin1(text)), seconds) << text;
}

TEST(SubtitleConversions, SubtitleFileTakesThePlaceOfAThreeLetterExtensionOnly) {
    const std::pair<const char*, const char*> rows[] = {
        {"/media/teszttv-20061231-203000-013000-TV512.wmv",
         "/media/teszttv-20061231-203000-013000-TV512.sub"},
        {"/media/a b/CLIP.WMV", "/media/a b/CLIP.sub"},
        {"/media/recording", "/media/recording.sub"},
        {"/med.a/rec", "/med.a/rec.sub"},
        {"/media/.wmv", "/media/.wmv.sub"}};
    for (const auto& [recording, subtitle] : rows)
        EXPECT_EQ(subtitlePathFor(QLatin1String(recording)), QLatin1String(subtitle)) << recording;
}

TEST_F(SubtitleFormat, TheDescribedExampleIsWrittenByteForByte) {
    recording(QStringLiteral("M1.wmv"));
    const TimecodeOutcome outcome = run(QStringLiteral("M1.wmv"), 86399, 1);
    ASSERT_TRUE(outcome.succeeded()) << outcome.errorDescription.toStdString();
    EXPECT_EQ(outcome.subtitlePath, m_dir.filePath(QStringLiteral("M1.sub")));
    EXPECT_EQ(contentsOf(outcome.subtitlePath), describedExample());
}

TEST_F(SubtitleFormat, ZeroDurationGivesTheSingleEntryOfTheFirstSecond) {
    recording(QStringLiteral("zero.wmv"));
    ASSERT_TRUE(
        run(QStringLiteral("zero.wmv"), 0, 0, QStringLiteral("R"), QDate(2006, 5, 12)).succeeded());
    EXPECT_EQ(contentsOf(m_dir.filePath(QStringLiteral("zero.sub"))),
              QByteArrayLiteral("1\n00:00:00.000 --> 00:00:01.000\n"
                                "Ch:R, D: 2006.05.12, T: 00:00:00\n\n"));
}

// Whole runs read back and checked entry by entry against plain arithmetic.
TEST_F(SubtitleFormat, EveryEntryShowsItsSecondOfTheRunAndOfTheDay) {
    const std::pair<qint32, qint32> runs[] = {{86399, 86399},  // the longest, from 23:59:59
                                              {0, 86399},      // a whole day from midnight
                                              {86399, 2},      // across midnight
                                              {73800, 5400},   // 20:30:00 for 01:30:00
                                              {3599, 7201}};
    const QDate startDate(2006, 12, 31);
    recording(QStringLiteral("run.wmv"));
    for (const auto& [start, duration] : runs) {
        SCOPED_TRACE(testing::Message() << "start " << start << ", duration " << duration);
        ASSERT_TRUE(run(QStringLiteral("run.wmv"), start, duration).succeeded());
        const SubtitleFileContents file =
            readSubtitleFile(m_dir.filePath(QStringLiteral("run.sub")));
        ASSERT_TRUE(file.formatError.isEmpty()) << file.formatError.toStdString();
        ASSERT_EQ(file.entries.size(), duration + 1);
        for (qint64 k = 0; k < file.entries.size(); ++k) {
            const SubtitleEntry& entry = file.entries[k];
            const qint64 second = start + k;
            ASSERT_EQ(entry.number, k + 1);
            ASSERT_EQ(entry.fromSeconds, k % 86400) << "entry " << k + 1;
            ASSERT_EQ(entry.toSeconds, (k + 1) % 86400) << "entry " << k + 1;
            ASSERT_EQ(entry.timeOfDaySeconds, second % 86400) << "entry " << k + 1;
            ASSERT_EQ(entry.date, startDate.addDays(second / 86400).toString(u"yyyy.MM.dd"))
                << "entry " << k + 1;
            ASSERT_EQ(entry.channel, QStringLiteral("M1"));
        }
    }
}

TEST_F(SubtitleFormat, LongestRunEndsOnTheWrappedStamp) {
    recording(QStringLiteral("day.wmv"));
    ASSERT_TRUE(run(QStringLiteral("day.wmv"), 86399, 86399).succeeded());
    EXPECT_TRUE(contentsOf(m_dir.filePath(QStringLiteral("day.sub")))
                    .endsWith("\n\n86400\n23:59:59.000 --> 00:00:00.000\n"
                              "Ch:M1, D: 2007.01.01, T: 23:59:58\n\n"));
}

TEST_F(SubtitleFormat, ChannelIsUtf8AndCannotSplitAnEntry) {
    recording(QStringLiteral("channel.wmv"));
    ASSERT_TRUE(
        run(QStringLiteral("channel.wmv"), 0, 3, QString::fromUtf8("Őszi\nÜnnep\r\n–\u2028műsor"))
            .succeeded());
    const SubtitleFileContents file =
        readSubtitleFile(m_dir.filePath(QStringLiteral("channel.sub")));
    ASSERT_TRUE(file.formatError.isEmpty()) << file.formatError.toStdString();
    ASSERT_EQ(file.entries.size(), 4);
    EXPECT_TRUE(file.bytes.startsWith("1\n"));  // no byte-order mark
    EXPECT_TRUE(file.bytes.contains(
        "Ch:\xc5\x90szi \xc3\x9cnnep  \xe2\x80\x93 m\xc5\xb1sor, D: 2006.12.31, T: 00:00:03\n"));
}

TEST_F(SubtitleFormat, ExistingSubtitleFileIsReplacedNotAppendedTo) {
    recording(QStringLiteral("again.wmv"));
    recording(QStringLiteral("again.sub"), QByteArray(100000, 'x'));
    ASSERT_TRUE(run(QStringLiteral("again.wmv"), 86399, 1).succeeded());
    EXPECT_EQ(contentsOf(m_dir.filePath(QStringLiteral("again.sub"))), describedExample());
}

TEST_F(SubtitleFormat, MissingRecordingOrAFolderInItsPlaceWritesNothing) {
    const TimecodeOutcome missing = run(QStringLiteral("gone.wmv"), 0, 10);
    EXPECT_EQ(missing.errorNumber, ENOENT);
    EXPECT_FALSE(missing.errorDescription.isEmpty());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.wmv")));
    EXPECT_EQ(run(QStringLiteral("folder.wmv"), 0, 10).errorNumber, EISDIR);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
}

TEST_F(SubtitleFormat, RecordingIsNeverOverwrittenByItsOwnSubtitleFile) {
    // A ".sub" chosen as the recording maps onto itself, and so does a
    // recording reached through a link named like it.
    recording(QStringLiteral("clip.sub"), "precious");
    ASSERT_TRUE(QFile::link(m_dir.filePath(QStringLiteral("clip.sub")),
                            m_dir.filePath(QStringLiteral("clip.wmv"))));
    EXPECT_EQ(run(QStringLiteral("clip.sub"), 0, 10).errorNumber, EINVAL);
    EXPECT_EQ(run(QStringLiteral("clip.wmv"), 0, 10).errorNumber, EINVAL);
    EXPECT_EQ(contentsOf(m_dir.filePath(QStringLiteral("clip.sub"))),
              QByteArrayLiteral("precious"));
}

TEST_F(SubtitleFormat, FailuresToOpenAndToWriteAreReported) {
    recording(QStringLiteral("blocked.wmv"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("blocked.sub")));
    EXPECT_EQ(run(QStringLiteral("blocked.wmv"), 0, 10).errorNumber, EISDIR);

    // A link in place of the subtitle file is refused, and what it points at
    // (here a full disk) is never written.
    if (!QFile::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    recording(QStringLiteral("full.wmv"));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/full"), m_dir.filePath(QStringLiteral("full.sub"))));
    const TimecodeOutcome linked = run(QStringLiteral("full.wmv"), 0, 0);
    EXPECT_EQ(linked.errorNumber, RegularFile::kSymbolicLink);
    EXPECT_TRUE(linked.errorDescription.contains(QStringLiteral("symbolic link")));

    // A write that fails (the file-size limit standing in for a full disk):
    // it surfaces at the close for a small file, at a flush for a large one.
    recording(QStringLiteral("limited.wmv"));
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = saved;
    limit.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::vector<TimecodeOutcome> outcomes;
    for (const qint32 duration : {30, 86399})
        outcomes.push_back(run(QStringLiteral("limited.wmv"), 0, duration));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    for (const TimecodeOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.errorNumber, EFBIG);
        EXPECT_FALSE(outcome.errorDescription.isEmpty());
    }
}

TEST_F(SubtitleFormat, ValuesOutsideOneDayOrAnInvalidDateWriteNothing) {
    recording(QStringLiteral("refused.wmv"));
    const std::pair<qint32, qint32> rows[] = {{-1, 10}, {86400, 10}, {0, 86400}, {0, -1}};
    for (const auto& [start, duration] : rows)
        EXPECT_EQ(run(QStringLiteral("refused.wmv"), start, duration).errorNumber, EINVAL)
            << start << ", " << duration;
    EXPECT_EQ(run(QStringLiteral("refused.wmv"), 0, 10, QStringLiteral("M1"), QDate()).errorNumber,
              EINVAL);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("refused.sub"))));
}

TEST_F(SubtitleFormat, ProgressComesInCoarseRisingStepsAndEndsAtTheTotal) {
    recording(QStringLiteral("progress.wmv"));
    QList<std::pair<qint32, qint32>> reports;
    const auto record = [&reports](qint32 written, qint32 total) {
        reports.append({written, total});
    };
    ASSERT_TRUE(run(QStringLiteral("progress.wmv"), 0, 86399, QStringLiteral("M1"),
                    QDate(2006, 5, 12), record)
                    .succeeded());
    ASSERT_GE(reports.size(), 10);
    EXPECT_LE(reports.size(), 101);
    for (qsizetype i = 1; i < reports.size(); ++i)
        EXPECT_GT(reports[i].first, reports[i - 1].first);
    EXPECT_EQ(reports.last(), std::make_pair(86400, 86400));

    reports.clear();
    ASSERT_TRUE(
        run(QStringLiteral("progress.wmv"), 0, 0, QStringLiteral("M1"), QDate(2006, 5, 12), record)
            .succeeded());
    EXPECT_EQ(reports, (QList<std::pair<qint32, qint32>>{{1, 1}}));
}

}  // namespace
