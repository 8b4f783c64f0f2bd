#include "subtitle/BufferedFile.h"
#include "subtitle/CivilDate.h"
#include "subtitle/TimecodeFile.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <string>

namespace {

using kelm::BufferedFile;
using kelm::CivilDate;
namespace TimecodeFile = kelm::TimecodeFile;

TEST(SubtitleCivilDate, NextAndPreviousDayAgreeWithQDateOverTwoCenturies) {
    for (QDate day(1899, 12, 25); day < QDate(2101, 1, 5); day = day.addDays(1)) {
        const CivilDate civil{day.year(), day.month(), day.day()};
        const QDate next = day.addDays(1);
        const QDate previous = day.addDays(-1);
        ASSERT_TRUE(civil.isValid()) << day.toString(Qt::ISODate).toStdString();
        ASSERT_EQ(civil.addDays(1), (CivilDate{next.year(), next.month(), next.day()}))
            << day.toString(Qt::ISODate).toStdString();
        ASSERT_EQ(civil.addDays(-1), (CivilDate{previous.year(), previous.month(), previous.day()}))
            << day.toString(Qt::ISODate).toStdString();
    }
}

TEST(SubtitleCivilDate, RefusesDaysThatDoNotExist) {
    const CivilDate invalid[] = {{1900, 2, 29}, {2007, 2, 29}, {2006, 4, 31}, {2006, 0, 1},
                                 {2006, 13, 1}, {2006, 1, 0},  {0, 1, 1}};
    for (const CivilDate& date : invalid)
        EXPECT_FALSE(date.isValid()) << date.year << "-" << date.month << "-" << date.day;
}

// Markers and subtitle names drop characters, not bytes: a multi-byte letter
// cut in half would name a file nobody looks for.
TEST(SubtitleNames, CountCharactersOfTheFileNameOnly) {
    const std::pair<const char*, const char*> markerBases[] = {
        {"/media/a b/x y.wmv", "/media/a b/x y"},
        {"ab.wmv", "ab"},
        {"/média/é.wmv", "/média/é"},
        {"/m/abcdő", "/m/a"},
        {"/m/a–––.", "/m/a"},
        {"/media/.wmv", ""},
        {"/media/ab", ""},
        {"őőőő", ""},
        {"", ""}};
    for (const auto& [path, base] : markerBases)
        EXPECT_EQ(TimecodeFile::withoutLastCharacters(path, 4), base) << path;
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/fé.wmv"), "/m/fé.sub");
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/a.édé"), "/m/a.sub");
    EXPECT_EQ(TimecodeFile::subtitlePathFor("/m/abc.dé"), "/m/abc.dé.sub");
}

TEST(SubtitleBufferedFile, KeepsEveryByteAcrossBufferBoundariesAndLargeAppends) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("out"));
    std::string expected;
    {
        BufferedFile file(4096);
        ASSERT_EQ(file.create(QFile::encodeName(name).toStdString()), 0);
        // partly filled, exactly full, larger than the whole buffer, empty
        for (const std::size_t size : {1u, 4094u, 1u, 4096u, 10000u, 3u, 8192u, 0u, 4095u}) {
            std::string chunk(size, '\0');
            for (std::size_t i = 0; i < size; ++i)
                chunk[i] = static_cast<char>('a' + (expected.size() + i) % 26);
            file.append(chunk);
            expected += chunk;
        }
    }  // closed by its destructor
    QFile written(name);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), expected);
}

TEST(SubtitleBufferedFile, FailureToOpenIsStickyAndReportedByClose) {
    QTemporaryDir dir;
    BufferedFile file;
    EXPECT_EQ(file.create(QFile::encodeName(dir.filePath(QStringLiteral("no/out"))).toStdString()),
              ENOENT);
    file.append(std::string(200000, 'x'));
    EXPECT_EQ(file.error(), ENOENT);
    EXPECT_EQ(file.close(), ENOENT);
}

}  // namespace
