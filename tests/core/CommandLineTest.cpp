#include "recorder/CommandLine.h"

#include <gtest/gtest.h>

using namespace kelm;

namespace {
CommandLine parse(std::initializer_list<const char*> args) {
    QStringList list;
    for (const char* a : args) list << QString::fromUtf8(a);
    return CommandLine::parse(list);
}
}  // namespace

TEST(CommandLine, EmptyMeansInteractiveWithPreview) {
    const auto cl = parse({});
    EXPECT_TRUE(cl.isEmpty());
    EXPECT_TRUE(cl.previewWanted);
}

TEST(CommandLine, SlashPKeepsPreviewAndIsRemovedBeforeTheDuration) {
    const auto cl = parse({"01:30:00", "/p"});
    EXPECT_TRUE(cl.previewWanted);
    EXPECT_EQ(cl.duration(), QStringLiteral("01:30:00"));
}

TEST(CommandLine, DurationWithoutSlashPDisablesPreview) {
    const auto cl = parse({"13000"});
    EXPECT_FALSE(cl.previewWanted);
    EXPECT_EQ(cl.duration(), QStringLiteral("01:30:00"));
}

TEST(CommandLine, SlashHIsIgnoredWherever) {
    EXPECT_EQ(parse({"/h", "00:00:05"}).duration(), QStringLiteral("00:00:05"));
    EXPECT_EQ(parse({"00:00:05/h"}).duration(), QStringLiteral("00:00:05"));
}

TEST(CommandLine, OutOfRangeFieldsRecordNothing) {
    EXPECT_FALSE(parse({"24:00:00"}).duration());
    EXPECT_FALSE(parse({"00:60:00"}).duration());
    EXPECT_FALSE(parse({"00:00:60"}).duration());
}

TEST(CommandLine, TextThatIsNotATimeBecomesZero) {
    EXPECT_EQ(parse({"abc"}).duration(), QStringLiteral("00:00:00"));
    // "/p" alone has no leading blank, so nothing is removed.
    const auto slashP = parse({"/p"});
    EXPECT_TRUE(slashP.previewWanted);
    EXPECT_EQ(slashP.duration(), QStringLiteral("00:00:00"));
}

TEST(CommandLine, ArgumentsAreJoinedBySingleBlanks) {
    EXPECT_EQ(parse({"01:30:00", "/p", "/h"}).text, QStringLiteral("01:30:00 /p /h"));
}
