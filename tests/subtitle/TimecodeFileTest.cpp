#include "subtitle/BufferedFile.h"
#include "subtitle/CivilDate.h"
#include "subtitle/TimecodeFile.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

using kelm::BufferedFile;
using kelm::CivilDate;
namespace TimecodeFile = kelm::TimecodeFile;

std::string dotted(const CivilDate& date) {
    char text[10];
    date.writeDotted(text);
    return std::string(text, sizeof text);
}

// --- calendar -----------------------------------------------------------------

TEST(SubtitleCivilDate, NextAndPreviousDayAgreeWithQDateOverTwoCenturies) {
    for (QDate day(1899, 12, 25); day < QDate(2101, 1, 5); day = day.addDays(1)) {
        const CivilDate civil{day.year(), day.month(), day.day()};
        ASSERT_TRUE(civil.isValid()) << day.toString(Qt::ISODate).toStdString();
        const QDate next = day.addDays(1);
        const QDate previous = day.addDays(-1);
        ASSERT_EQ(civil.addDays(1), (CivilDate{next.year(), next.month(), next.day()}))
            << day.toString(Qt::ISODate).toStdString();
        ASSERT_EQ(civil.addDays(-1), (CivilDate{previous.year(), previous.month(), previous.day()}))
            << day.toString(Qt::ISODate).toStdString();
    }
}

TEST(SubtitleCivilDate, RefusesDaysThatDoNotExist) {
    EXPECT_TRUE((CivilDate{2004, 2, 29}.isValid()));
    EXPECT_TRUE((CivilDate{2000, 2, 29}.isValid()));
    EXPECT_FALSE((CivilDate{1900, 2, 29}.isValid()));
    EXPECT_FALSE((CivilDate{2007, 2, 29}.isValid()));
    EXPECT_FALSE((CivilDate{2006, 4, 31}.isValid()));
    EXPECT_FALSE((CivilDate{2006, 0, 1}.isValid()));
    EXPECT_FALSE((CivilDate{2006, 13, 1}.isValid()));
    EXPECT_FALSE((CivilDate{2006, 1, 0}.isValid()));
    EXPECT_FALSE((CivilDate{0, 1, 1}.isValid()));
    EXPECT_FALSE(CivilDate{}.isValid());
}

TEST(SubtitleCivilDate, WritesYearMonthDayWithDotsAndLeadingZeros) {
    EXPECT_EQ(dotted({2006, 5, 12}), "2006.05.12");
    EXPECT_EQ(dotted({999, 1, 1}), "0999.01.01");
    EXPECT_EQ(dotted({2007, 12, 31}), "2007.12.31");
}

// --- names --------------------------------------------------------------------

TEST(SubtitleMarkerBase, DropsTheLastFourCharactersOfTheFileName) {
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/media/ab.wmv", 4), "/media/ab");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("ab.wmv", 4), "ab");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/media/a b/x y.wmv", 4), "/media/a b/x y");
    // characters, not bytes: é is two bytes, ő two, – three
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/média/é.wmv", 4), "/média/é");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/m/abcdő", 4), "/m/a");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/m/a–––.", 4), "/m/a");
}

TEST(SubtitleMarkerBase, NothingWhenTheFileNameIsNotLongerThanFourCharacters) {
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/media/.wmv", 4), "");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/media/ab", 4), "");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("/media/", 4), "");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("őőőő", 4), "");
    EXPECT_EQ(TimecodeFile::withoutLastCharacters("", 4), "");
}

TEST(SubtitleMarkerBase, SubtitlePathCountsCharactersToo) {
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/fé.wmv"), "/m/fé.sub");
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/a.édé"), "/m/a.sub");
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/abc.dé"), "/m/abc.dé.sub");
}

TEST(SubtitleChannelText, BlanksEveryLineBreakButKeepsLetters) {
    EXPECT_EQ(TimecodeFile::channelText("A\xe2\x80\xa8" "B\xe2\x80\xa9" "C"), "A B C");
    EXPECT_EQ(TimecodeFile::channelText("x\x7fy\x01z"), "x y z");
    EXPECT_EQ(TimecodeFile::channelText("\xc5\x91sz \xe2\x80\x93 \xc3\x9cnnep"),
              "\xc5\x91sz \xe2\x80\x93 \xc3\x9cnnep");
    // a cut-off separator at the end is kept as it is
    EXPECT_EQ(TimecodeFile::channelText("A\xe2\x80"), "A\xe2\x80");
}

// --- buffered file ----------------------------------------------------------------

TEST(SubtitleBufferedFile, KeepsEveryByteAcrossBufferBoundariesAndLargeAppends) {
    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath(QStringLiteral("out"))).toStdString();
    std::string expected;
    {
        BufferedFile file(4096);
        ASSERT_EQ(file.create(path), 0);
        // sizes below, at and above the buffer, in an order that hits every
        // path: partly filled, exactly full, larger than the whole buffer
        for (const std::size_t size : {1u, 4094u, 1u, 4096u, 10000u, 3u, 8192u, 0u, 4095u}) {
            std::string chunk(size, '\0');
            for (std::size_t i = 0; i < size; ++i)
                chunk[i] = static_cast<char>('a' + (expected.size() + i) % 26);
            file.append(chunk);
            expected += chunk;
        }
        EXPECT_EQ(file.close(), 0);
    }
    QFile written(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), expected);
}

TEST(SubtitleBufferedFile, FailureToOpenIsStickyAndReportedByClose) {
    QTemporaryDir dir;
    BufferedFile file;
    const std::string path =
        QFile::encodeName(dir.filePath(QStringLiteral("missing/out"))).toStdString();
    EXPECT_EQ(file.create(path), ENOENT);
    file.append(std::string(200000, 'x'));
    EXPECT_EQ(file.error(), ENOENT);
    EXPECT_EQ(file.close(), ENOENT);
}

TEST(SubtitleBufferedFile, EmptiesAnExistingFile) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("out"));
    {
        QFile old(name);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'o'));
    }
    {
        BufferedFile file;
        ASSERT_EQ(file.create(QFile::encodeName(name).toStdString()), 0);
        file.append("new", 3);
    }  // closed by its destructor
    QFile written(name);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArrayLiteral("new"));
}

}  // namespace
