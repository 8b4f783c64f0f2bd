#include "subtitle/StampelFields.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using kelm::StampelFields;

const QDate kToday(2024, 3, 9);

TEST(SubtitleStampelFields, AKelmRecordingNameFillsAllFour) {
    struct Row {
        const char* path;
        const char* channel;
        const char* date;
        const char* start;
        const char* duration;
    };
    const Row rows[] = {{"/media/teszttv-20061231-203000-013000-TV512.wmv", "teszttv", "2006-12-31",
                         "20:30:00", "01:30:00"},
                        {"/srv/a-b/c-d/radio-20070101-000000-235959-R64.wmv", "radio", "2007-01-01",
                         "00:00:00", "23:59:59"},
                        // a short name may hold "-" itself
                        {"/media/duna-tv-20060512-200000-000001-TV512.wmv", "duna-tv", "2006-05-12",
                         "20:00:00", "00:00:01"},
                        // the name a locked file gets
                        {"/media/m1-20060512-200000-013000-TV512.wmv.FIGYELEM.wmv", "m1",
                         "2006-05-12", "20:00:00", "01:30:00"},
                        {"/média/Ünnep-20060512-200000-013000-TV512.wmv", "Ünnep", "2006-05-12",
                         "20:00:00", "01:30:00"}};
    for (const Row& row : rows) {
        const StampelFields fields =
            StampelFields::fromRecordingPath(QString::fromUtf8(row.path), kToday);
        EXPECT_EQ(fields.channelName, QString::fromUtf8(row.channel)) << row.path;
        EXPECT_EQ(fields.startDate, QLatin1String(row.date)) << row.path;
        EXPECT_EQ(fields.startTime, QLatin1String(row.start)) << row.path;
        EXPECT_EQ(fields.duration, QLatin1String(row.duration)) << row.path;
    }
}

TEST(SubtitleStampelFields, AnyOtherNameGivesTheDefaults) {
    const char* paths[] = {"/media/clip-20061231.wmv",  // fewer than four "-"
                           "/a-b/c-d/e-f/clip.wmv",     // four "-" in the folders, none in the name
                           "/media/a-b-c-d-e.wmv",      // enough "-" but not KELM's parts
                           "/media/teszttv-20061331-203000-013000-TV512.wmv",
                           "/media/teszttv-20060230-203000-013000-TV512.wmv",
                           "/media/teszttv-20061231-240000-013000-TV512.wmv",
                           "/media/teszttv-20061231-203000-016000-TV512.wmv",
                           "/media/-20061231-203000-013000-TV512.wmv",
                           ""};
    for (const char* path : paths) {
        const StampelFields fields = StampelFields::fromRecordingPath(QLatin1String(path), kToday);
        EXPECT_TRUE(fields.channelName.isEmpty()) << path;
        EXPECT_EQ(fields.startTime, QStringLiteral("00:00:00")) << path;
        EXPECT_EQ(fields.duration, QStringLiteral("00:00:00")) << path;
        EXPECT_EQ(fields.startDate, QStringLiteral("2024-03-09")) << path;
    }
}

TEST(SubtitleStampelFields, LeavingATimeFieldLaysItOutOrResetsIt) {
    const std::pair<const char*, const char*> rows[] = {
        {"1:2:3", "01:02:03"},    {"12:30", "12:30:00"},    {" 7:05:00 ", "07:05:00"},
        {"203000", "20:30:00"},   {"130", "00:01:30"},      {"5", "00:00:05"},
        {"24:00:00", "00:00:00"}, {"12:60:00", "00:00:00"}, {"12:00:60", "00:00:00"},
        {"256000", "00:00:00"},   {"1234567", "00:00:00"},  {"1:2:3:4", "00:00:00"},
        {"-1:00:00", "00:00:00"}, {"12ab", "00:00:00"},     {"", "00:00:00"}};
    for (const auto& [typed, result] : rows)
        EXPECT_EQ(StampelFields::normalizeTime(QLatin1String(typed)), QLatin1String(result))
            << '"' << typed << '"';
}

TEST(SubtitleStampelFields, LeavingTheDateFieldLaysItOutOrFallsBackToToday) {
    const std::pair<const char*, const char*> rows[] = {
        {"2006-12-31", "2006-12-31"}, {"2006.12.31.", "2006-12-31"}, {"2006.12.31", "2006-12-31"},
        {"2006/1/2", "2006-01-02"},   {"2008-02-29", "2008-02-29"},  {"2007-02-29", "2024-03-09"},
        {"2006-13-01", "2024-03-09"}, {"2006-12.31", "2024-03-09"},  {"2006-12-31.", "2024-03-09"},
        {"31.12.2006", "2024-03-09"}, {"20061231", "2024-03-09"},    {"", "2024-03-09"}};
    for (const auto& [typed, result] : rows)
        EXPECT_EQ(StampelFields::normalizeDate(QLatin1String(typed), kToday), QLatin1String(result))
            << '"' << typed << '"';
}

}  // namespace
