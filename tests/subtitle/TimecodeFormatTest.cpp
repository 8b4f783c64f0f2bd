#include "SubtitleReader.h"
#include "subtitle/Timecode.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

using kelm::generateTimecode;
using kelm::secondsToTimecode;
using kelm::subtitlePathFor;
using kelm::TimecodeOutcome;
using kelm::timeToSeconds;

class SubtitleFormat : public ::testing::Test {
protected:
    QString recording(const QString& name, const QByteArray& content = "wmv") {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    static QByteArray contentsOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

// --- the two conversions -------------------------------------------------

struct StampRow {
    qint64 seconds;
    const char* stamp;
};

void PrintTo(const StampRow& row, std::ostream* os) {
    *os << row.seconds << " s";
}

class SubtitleStamp : public ::testing::TestWithParam<StampRow> {};

TEST_P(SubtitleStamp, FormatsHoursMinutesSecondsWrappingOnceAtTwentyFour) {
    EXPECT_EQ(secondsToTimecode(GetParam().seconds), QString::fromLatin1(GetParam().stamp));
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleStamp,
                         ::testing::Values(StampRow{0, "00:00:00.000"},
                                           StampRow{3725, "01:02:05.000"},
                                           StampRow{59, "00:00:59.000"},
                                           StampRow{36000, "10:00:00.000"},
                                           StampRow{86399, "23:59:59.000"},
                                           StampRow{86400, "00:00:00.000"},
                                           StampRow{90061, "01:01:01.000"},
                                           StampRow{172799, "23:59:59.000"},
                                           // only one wrap: 100 h shows as 76 h
                                           StampRow{360000, "76:00:00.000"},
                                           StampRow{-5, "00:00:00.000"}));

struct TimeTextRow {
    const char* text;
    qint32 seconds;
};

void PrintTo(const TimeTextRow& row, std::ostream* os) {
    *os << '"' << row.text << '"';
}

class SubtitleTimeToSeconds : public ::testing::TestWithParam<TimeTextRow> {};

TEST_P(SubtitleTimeToSeconds, ReadsTwoDigitFields) {
    EXPECT_EQ(timeToSeconds(QString::fromLatin1(GetParam().text)), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleTimeToSeconds,
                         ::testing::Values(TimeTextRow{"12:34:56", 45296},
                                           TimeTextRow{"00:00:00", 0},
                                           TimeTextRow{"23:59:59", 86399},
                                           TimeTextRow{"01:30:00", 5400},
                                           TimeTextRow{"00:00:01", 1},
                                           TimeTextRow{"123456", 45296},
                                           TimeTextRow{"ab:cd:ef", 0},
                                           TimeTextRow{"", 0}));

TEST(SubtitlePath, ReplacesTheExtensionBesideTheRecording) {
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/media/teszttv-20061231-203000-013000-TV512.wmv")),
              QStringLiteral("/media/teszttv-20061231-203000-013000-TV512.sub"));
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/media/a b/CLIP.WMV")),
              QStringLiteral("/media/a b/CLIP.sub"));
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/media/x.FIGYELEM.wmv")),
              QStringLiteral("/media/x.FIGYELEM.sub"));
}

TEST(SubtitlePath, AppendsWhenTheNameHasNoThreeLetterExtension) {
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/media/recording")),
              QStringLiteral("/media/recording.sub"));
    // the dot of a folder is not an extension
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/med.a/rec")), QStringLiteral("/med.a/rec.sub"));
    EXPECT_EQ(subtitlePathFor(QStringLiteral("/media/.wmv")), QStringLiteral("/media/.wmv.sub"));
}

// --- the file ---------------------------------------------------------------

TEST_F(SubtitleFormat, TheDescribedExampleIsWrittenByteForByte) {
    const QString path = recording(QStringLiteral("M1-example.wmv"));
    const TimecodeOutcome outcome =
        generateTimecode(path, 86399, 1, QDate(2006, 12, 31), QStringLiteral("M1"));
    ASSERT_TRUE(outcome.succeeded()) << outcome.errorDescription.toStdString();
    EXPECT_EQ(outcome.subtitlePath, m_dir.filePath(QStringLiteral("M1-example.sub")));
    EXPECT_EQ(outcome.entriesWritten, 2);
    EXPECT_EQ(contentsOf(outcome.subtitlePath), describedExample());
}

TEST_F(SubtitleFormat, ZeroDurationGivesTheSingleEntryOfTheFirstSecond) {
    const QString path = recording(QStringLiteral("zero.wmv"));
    ASSERT_TRUE(generateTimecode(path, 0, 0, QDate(2006, 5, 12), QStringLiteral("R")).succeeded());
    EXPECT_EQ(contentsOf(subtitlePathFor(path)),
              QByteArrayLiteral("1\n00:00:00.000 --> 00:00:01.000\n"
                                "Ch:R, D: 2006.05.12, T: 00:00:00\n\n"));
}

TEST_F(SubtitleFormat, DateMovesOnTogetherWithTheTimeOfDayAtMidnight) {
    const QString path = recording(QStringLiteral("midnight.wmv"));
    ASSERT_TRUE(generateTimecode(path, 86399, 2, QDate(2006, 12, 31), QStringLiteral("M1"))
                    .succeeded());
    const SubtitleFileContents file = readSubtitleFile(subtitlePathFor(path));
    ASSERT_TRUE(file.formatError.isEmpty()) << file.formatError.toStdString();
    ASSERT_EQ(file.entries.size(), 3);
    EXPECT_EQ(file.entries[0].date, QStringLiteral("2006.12.31"));
    EXPECT_EQ(file.entries[0].timeOfDaySeconds, 86399);
    EXPECT_EQ(file.entries[1].date, QStringLiteral("2007.01.01"));
    EXPECT_EQ(file.entries[1].timeOfDaySeconds, 0);
    EXPECT_EQ(file.entries[2].date, QStringLiteral("2007.01.01"));
    EXPECT_EQ(file.entries[2].timeOfDaySeconds, 1);
}

TEST_F(SubtitleFormat, LeapDayIsPassedThroughNotSkipped) {
    const QString path = recording(QStringLiteral("leap.wmv"));
    ASSERT_TRUE(generateTimecode(path, 86399, 1, QDate(2008, 2, 28), QStringLiteral("M1"))
                    .succeeded());
    const SubtitleFileContents file = readSubtitleFile(subtitlePathFor(path));
    ASSERT_EQ(file.entries.size(), 2);
    EXPECT_EQ(file.entries[1].date, QStringLiteral("2008.02.29"));
}

// Whole runs checked entry by entry against plain arithmetic.
struct RunRow {
    qint32 startSeconds;
    qint32 durationSeconds;
};

void PrintTo(const RunRow& row, std::ostream* os) {
    *os << "start " << row.startSeconds << " s, duration " << row.durationSeconds << " s";
}

class SubtitleRun : public SubtitleFormat, public ::testing::WithParamInterface<RunRow> {};

TEST_P(SubtitleRun, EveryEntryShowsItsSecondOfTheRunAndOfTheDay) {
    const RunRow row = GetParam();
    const QDate startDate(2006, 12, 31);
    const QString path = recording(QStringLiteral("run.wmv"));
    const TimecodeOutcome outcome = generateTimecode(path, row.startSeconds, row.durationSeconds,
                                                     startDate, QStringLiteral("teszttv"));
    ASSERT_TRUE(outcome.succeeded()) << outcome.errorDescription.toStdString();

    const SubtitleFileContents file = readSubtitleFile(outcome.subtitlePath);
    ASSERT_TRUE(file.formatError.isEmpty()) << file.formatError.toStdString();
    ASSERT_EQ(file.entries.size(), row.durationSeconds + 1);
    EXPECT_EQ(outcome.entriesWritten, row.durationSeconds + 1);
    for (qint64 k = 0; k < file.entries.size(); ++k) {
        const SubtitleEntry& entry = file.entries[k];
        const qint64 second = row.startSeconds + k;
        ASSERT_EQ(entry.number, k + 1);
        ASSERT_EQ(entry.fromSeconds, k % 86400) << "entry " << k + 1;
        ASSERT_EQ(entry.toSeconds, (k + 1) % 86400) << "entry " << k + 1;
        ASSERT_EQ(entry.timeOfDaySeconds, second % 86400) << "entry " << k + 1;
        ASSERT_EQ(entry.date, startDate.addDays(second / 86400).toString(u"yyyy.MM.dd"))
            << "entry " << k + 1;
        ASSERT_EQ(entry.channel, QStringLiteral("teszttv"));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleRun,
                         ::testing::Values(RunRow{86399, 86399},  // longest, from 23:59:59
                                           RunRow{0, 86399},      // a whole day from midnight
                                           RunRow{73800, 5400},   // 20:30:00 for 01:30:00
                                           RunRow{43200, 0}, RunRow{3599, 7201}));

TEST_F(SubtitleFormat, LongestRunEndsOnTheWrappedStampAndChangesDateOnce) {
    const QString path = recording(QStringLiteral("day.wmv"));
    ASSERT_TRUE(generateTimecode(path, 86399, 86399, QDate(2006, 12, 31), QStringLiteral("M1"))
                    .succeeded());
    const SubtitleFileContents file = readSubtitleFile(subtitlePathFor(path));
    ASSERT_EQ(file.entries.size(), 86400);
    EXPECT_TRUE(file.bytes.endsWith("86400\n23:59:59.000 --> 00:00:00.000\n"
                                    "Ch:M1, D: 2007.01.01, T: 23:59:58\n\n"));
    qsizetype dateChanges = 0;
    for (qsizetype i = 1; i < file.entries.size(); ++i) {
        if (file.entries[i].date != file.entries[i - 1].date) {
            ++dateChanges;
            EXPECT_EQ(file.entries[i].timeOfDaySeconds, 0);
        }
    }
    EXPECT_EQ(dateChanges, 1);
}

TEST_F(SubtitleFormat, AccentedChannelIsWrittenInUtf8WithoutByteOrderMark) {
    const QString path = recording(QStringLiteral("accents.wmv"));
    ASSERT_TRUE(generateTimecode(path, 0, 0, QDate(2006, 5, 12),
                                 QString::fromUtf8("Őszi Ünnep – műsor"))
                    .succeeded());
    const QByteArray bytes = contentsOf(subtitlePathFor(path));
    EXPECT_TRUE(bytes.startsWith("1\n"));
    EXPECT_TRUE(bytes.contains("Ch:\xc5\x90szi \xc3\x9cnnep \xe2\x80\x93 m\xc5\xb1sor, D: "));
}

TEST_F(SubtitleFormat, LineBreaksInTheChannelCannotSplitAnEntry) {
    const QString path = recording(QStringLiteral("breaks.wmv"));
    ASSERT_TRUE(generateTimecode(path, 0, 3, QDate(2006, 5, 12), QStringLiteral("A\nB\r\nC\tD"))
                    .succeeded());
    const SubtitleFileContents file = readSubtitleFile(subtitlePathFor(path));
    ASSERT_TRUE(file.formatError.isEmpty()) << file.formatError.toStdString();
    ASSERT_EQ(file.entries.size(), 4);
    EXPECT_EQ(file.entries[3].channel, QStringLiteral("A B  C D"));
}

TEST_F(SubtitleFormat, ExistingSubtitleFileIsReplacedNotAppendedTo) {
    const QString path = recording(QStringLiteral("again.wmv"));
    recording(QStringLiteral("again.sub"), QByteArray(100000, 'x'));
    ASSERT_TRUE(generateTimecode(path, 86399, 1, QDate(2006, 12, 31), QStringLiteral("M1"))
                    .succeeded());
    EXPECT_EQ(contentsOf(subtitlePathFor(path)), describedExample());
}

// --- refusals and failures --------------------------------------------------

TEST_F(SubtitleFormat, MissingRecordingIsReportedAndNoFileIsWritten) {
    const QString path = m_dir.filePath(QStringLiteral("gone.wmv"));
    const TimecodeOutcome outcome =
        generateTimecode(path, 0, 10, QDate(2006, 5, 12), QStringLiteral("M1"));
    EXPECT_EQ(outcome.errorNumber, ENOENT);
    EXPECT_FALSE(outcome.errorDescription.isEmpty());
    EXPECT_FALSE(QFile::exists(subtitlePathFor(path)));
}

TEST_F(SubtitleFormat, FolderInPlaceOfTheRecordingIsRefused) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.wmv")));
    const TimecodeOutcome outcome =
        generateTimecode(m_dir.filePath(QStringLiteral("folder.wmv")), 0, 10,
                         QDate(2006, 5, 12), QStringLiteral("M1"));
    EXPECT_EQ(outcome.errorNumber, EISDIR);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("folder.sub"))));
}

TEST_F(SubtitleFormat, RecordingIsNeverOverwrittenByItsOwnSubtitleFile) {
    // A ".sub" chosen as the recording maps onto itself ...
    const QString subAsRecording = recording(QStringLiteral("clip.sub"), "precious");
    EXPECT_EQ(generateTimecode(subAsRecording, 0, 10, QDate(2006, 5, 12), QStringLiteral("M1"))
                  .errorNumber,
              EINVAL);
    EXPECT_EQ(contentsOf(subAsRecording), QByteArrayLiteral("precious"));

    // ... and so does a recording reached through a link to its subtitle name.
    const QString link = m_dir.filePath(QStringLiteral("clip.wmv"));
    ASSERT_TRUE(QFile::link(subAsRecording, link));
    EXPECT_EQ(generateTimecode(link, 0, 10, QDate(2006, 5, 12), QStringLiteral("M1")).errorNumber,
              EINVAL);
    EXPECT_EQ(contentsOf(subAsRecording), QByteArrayLiteral("precious"));
}

TEST_F(SubtitleFormat, SubtitleFileThatCannotBeOpenedIsReported) {
    const QString path = recording(QStringLiteral("blocked.wmv"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("blocked.sub")));
    const TimecodeOutcome outcome =
        generateTimecode(path, 0, 10, QDate(2006, 5, 12), QStringLiteral("M1"));
    EXPECT_EQ(outcome.errorNumber, EISDIR);
    EXPECT_FALSE(outcome.errorDescription.isEmpty());
}

TEST_F(SubtitleFormat, FullDiskIsReportedNotSwallowed) {
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    const QString path = recording(QStringLiteral("full.wmv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), m_dir.filePath(QStringLiteral("full.sub"))));
    // small and large runs: the error may surface at a flush or at the close
    for (const qint32 duration : {0, 86399}) {
        const TimecodeOutcome outcome =
            generateTimecode(path, 0, duration, QDate(2006, 5, 12), QStringLiteral("M1"));
        EXPECT_EQ(outcome.errorNumber, ENOSPC) << "duration " << duration;
    }
}

struct RefusedRow {
    qint32 startSeconds;
    qint32 durationSeconds;
    QDate date;
};

void PrintTo(const RefusedRow& row, std::ostream* os) {
    *os << "start " << row.startSeconds << " s, duration " << row.durationSeconds << " s, "
        << row.date.toString(Qt::ISODate).toStdString();
}

class SubtitleRefusedRun : public SubtitleFormat,
                           public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(SubtitleRefusedRun, ValuesOutsideOneDayOrAnInvalidDateWriteNothing) {
    const QString path = recording(QStringLiteral("refused.wmv"));
    const RefusedRow row = GetParam();
    EXPECT_EQ(generateTimecode(path, row.startSeconds, row.durationSeconds, row.date,
                               QStringLiteral("M1"))
                  .errorNumber,
              EINVAL);
    EXPECT_FALSE(QFile::exists(subtitlePathFor(path)));
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleRefusedRun,
                         ::testing::Values(RefusedRow{-1, 10, QDate(2006, 5, 12)},
                                           RefusedRow{86400, 10, QDate(2006, 5, 12)},
                                           RefusedRow{0, 86400, QDate(2006, 5, 12)},
                                           RefusedRow{0, -1, QDate(2006, 5, 12)},
                                           RefusedRow{0, 10, QDate()}));

// --- progress -----------------------------------------------------------------

TEST_F(SubtitleFormat, ProgressComesInCoarseRisingStepsAndEndsAtTheTotal) {
    const QString path = recording(QStringLiteral("progress.wmv"));
    QList<std::pair<qint32, qint32>> reports;
    const auto record = [&reports](qint32 written, qint32 total) {
        reports.append({written, total});
    };
    ASSERT_TRUE(
        generateTimecode(path, 0, 86399, QDate(2006, 5, 12), QStringLiteral("M1"), record)
            .succeeded());
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_LE(reports.size(), 101);
    EXPECT_GE(reports.size(), 10);
    for (qsizetype i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].second, 86400);
        if (i > 0) {
            EXPECT_GT(reports[i].first, reports[i - 1].first);
        }
    }
    EXPECT_EQ(reports.last().first, 86400);

    reports.clear();
    ASSERT_TRUE(generateTimecode(path, 0, 0, QDate(2006, 5, 12), QStringLiteral("M1"), record)
                    .succeeded());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first(), std::make_pair(1, 1));
}

}  // namespace
