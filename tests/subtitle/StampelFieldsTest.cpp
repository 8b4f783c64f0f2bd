#include "subtitle/StampelFields.h"

#include <gtest/gtest.h>

namespace {

using kelm::StampelFields;

const QDate kToday(2024, 3, 9);

struct NameRow {
    const char* path;
    const char* channel;  // nullptr: the defaults
    const char* date;
    const char* start;
    const char* duration;
};

void PrintTo(const NameRow& row, std::ostream* os) {
    *os << '"' << row.path << '"';
}

class SubtitleStampelName : public ::testing::TestWithParam<NameRow> {};

TEST_P(SubtitleStampelName, FillsTheFieldsOnlyFromAKelmRecordingName) {
    const NameRow row = GetParam();
    const StampelFields fields =
        StampelFields::fromRecordingPath(QString::fromUtf8(row.path), kToday);
    if (row.channel == nullptr) {
        EXPECT_TRUE(fields.channelName.isEmpty());
        EXPECT_EQ(fields.startTime, QStringLiteral("00:00:00"));
        EXPECT_EQ(fields.duration, QStringLiteral("00:00:00"));
        EXPECT_EQ(fields.startDate, QStringLiteral("2024-03-09"));
        return;
    }
    EXPECT_EQ(fields.channelName, QString::fromUtf8(row.channel));
    EXPECT_EQ(fields.startDate, QString::fromLatin1(row.date));
    EXPECT_EQ(fields.startTime, QString::fromLatin1(row.start));
    EXPECT_EQ(fields.duration, QString::fromLatin1(row.duration));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubtitleStampelName,
    ::testing::Values(
        NameRow{"/media/teszttv-20061231-203000-013000-TV512.wmv", "teszttv", "2006-12-31",
                "20:30:00", "01:30:00"},
        NameRow{"/srv/a-b/c-d/radio-20070101-000000-235959-R64.wmv", "radio", "2007-01-01",
                "00:00:00", "23:59:59"},
        // a short name may hold "-" itself
        NameRow{"/media/duna-tv-20060512-200000-000001-TV512.wmv", "duna-tv", "2006-05-12",
                "20:00:00", "00:00:01"},
        // the name a locked file gets
        NameRow{"/media/m1-20060512-200000-013000-TV512.wmv.FIGYELEM.wmv", "m1", "2006-05-12",
                "20:00:00", "01:30:00"},
        NameRow{"/média/Ünnep-20060512-200000-013000-TV512.wmv", "Ünnep", "2006-05-12",
                "20:00:00", "01:30:00"},
        // fewer than four "-"
        NameRow{"/media/clip-20061231.wmv", nullptr, nullptr, nullptr, nullptr},
        // four "-" in the folders, none in the name
        NameRow{"/a-b/c-d/e-f/clip.wmv", nullptr, nullptr, nullptr, nullptr},
        // enough "-" but not KELM's parts
        NameRow{"/media/a-b-c-d-e.wmv", nullptr, nullptr, nullptr, nullptr},
        NameRow{"/media/teszttv-20061331-203000-013000-TV512.wmv", nullptr, nullptr, nullptr,
                nullptr},
        NameRow{"/media/teszttv-20060230-203000-013000-TV512.wmv", nullptr, nullptr, nullptr,
                nullptr},
        NameRow{"/media/teszttv-20061231-240000-013000-TV512.wmv", nullptr, nullptr, nullptr,
                nullptr},
        NameRow{"/media/teszttv-20061231-203000-016000-TV512.wmv", nullptr, nullptr, nullptr,
                nullptr},
        NameRow{"/media/-20061231-203000-013000-TV512.wmv", nullptr, nullptr, nullptr, nullptr},
        NameRow{"", nullptr, nullptr, nullptr, nullptr}));

TEST(SubtitleStampelName, FileNameIsTheTextBehindTheLastSlash) {
    EXPECT_EQ(StampelFields::fileNameOf(QStringLiteral("/a b/c-d/x.wmv")), QStringLiteral("x.wmv"));
    EXPECT_EQ(StampelFields::fileNameOf(QStringLiteral("x.wmv")), QStringLiteral("x.wmv"));
}

struct TextRow {
    const char* typed;
    const char* result;
};

void PrintTo(const TextRow& row, std::ostream* os) {
    *os << '"' << row.typed << '"';
}

class SubtitleStampelTime : public ::testing::TestWithParam<TextRow> {};

TEST_P(SubtitleStampelTime, LeavingATimeFieldLaysItOutOrResetsIt) {
    EXPECT_EQ(StampelFields::normalizeTime(QString::fromLatin1(GetParam().typed)),
              QString::fromLatin1(GetParam().result));
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleStampelTime,
                         ::testing::Values(TextRow{"1:2:3", "01:02:03"},
                                           TextRow{"12:30", "12:30:00"},
                                           TextRow{"23:59:59", "23:59:59"},
                                           TextRow{" 7:05:00 ", "07:05:00"},
                                           TextRow{"203000", "20:30:00"},
                                           TextRow{"013000", "01:30:00"},
                                           TextRow{"130", "00:01:30"},
                                           TextRow{"5", "00:00:05"},
                                           TextRow{"24:00:00", "00:00:00"},
                                           TextRow{"12:60:00", "00:00:00"},
                                           TextRow{"12:00:60", "00:00:00"},
                                           TextRow{"256000", "00:00:00"},
                                           TextRow{"1234567", "00:00:00"},
                                           TextRow{"1:2:3:4", "00:00:00"},
                                           TextRow{"-1:00:00", "00:00:00"},
                                           TextRow{"12ab", "00:00:00"},
                                           TextRow{"", "00:00:00"}));

class SubtitleStampelDate : public ::testing::TestWithParam<TextRow> {};

TEST_P(SubtitleStampelDate, LeavingTheDateFieldLaysItOutOrFallsBackToToday) {
    EXPECT_EQ(StampelFields::normalizeDate(QString::fromLatin1(GetParam().typed), kToday),
              QString::fromLatin1(GetParam().result));
}

INSTANTIATE_TEST_SUITE_P(Rows, SubtitleStampelDate,
                         ::testing::Values(TextRow{"2006-12-31", "2006-12-31"},
                                           TextRow{"2006.12.31.", "2006-12-31"},
                                           TextRow{"2006.12.31", "2006-12-31"},
                                           TextRow{"2006/1/2", "2006-01-02"},
                                           TextRow{"2008-02-29", "2008-02-29"},
                                           TextRow{"2007-02-29", "2024-03-09"},
                                           TextRow{"2006-13-01", "2024-03-09"},
                                           TextRow{"2006-12.31", "2024-03-09"},
                                           TextRow{"2006-12-31.", "2024-03-09"},
                                           TextRow{"31.12.2006", "2024-03-09"},
                                           TextRow{"20061231", "2024-03-09"},
                                           TextRow{"", "2024-03-09"}));

}  // namespace
