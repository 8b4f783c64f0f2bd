#include "encoder/OutputFileName.h"

#include <gtest/gtest.h>

using namespace kelm;

TEST(OutputFileName, NameTellsChannelDayStartDurationAndKind) {
    EXPECT_EQ(OutputFileName::build(QStringLiteral("/srv/Media"), QStringLiteral("teszttv"),
                                    QStringLiteral("20060512"), QStringLiteral("200000"),
                                    QStringLiteral("013000"), QStringLiteral("TV512")),
              QStringLiteral("/srv/Media/teszttv-20060512-200000-013000-TV512.wmv"));
}

TEST(OutputFileName, OnlyTheExactFileSourceTextIsARadioRecording) {
    EXPECT_EQ(OutputFileName::kindFor(QStringLiteral("Videó fájl")), QStringLiteral("R64"));
    EXPECT_EQ(OutputFileName::kindFor(QStringLiteral("videó fájl")), QStringLiteral("TV512"));
    EXPECT_EQ(OutputFileName::kindFor(QString()), QStringLiteral("TV512"));
}

TEST(OutputFileName, ExtendedNameAppendsTheWarningSuffix) {
    EXPECT_EQ(OutputFileName::extended(QStringLiteral("/m/a.wmv")),
              QStringLiteral("/m/a.wmv.FIGYELEM.wmv"));
}
