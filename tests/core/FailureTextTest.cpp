#include "encoder/FailureText.h"

#include <gtest/gtest.h>

using namespace kelm;

namespace {
const FailureText::Where kWhere{QStringLiteral("Device://default"), QStringLiteral("/m/fifo.wmv"),
                                QStringLiteral("/média/tv-20261207-203000-000020-TV512.wmv")};
}

TEST(FailureText, SaysWhatFailedAndWhereInHungarianWithTheSystemsWordsAfter) {
    struct Row {
        std::uint32_t code;
        const char* description;
        const char* expected;
    };
    const Row rows[] = {
        {EncoderErrorCode::SoundCard, "Disconnected: Connection terminated",
         "a(z) \"default\" hangforrás nem használható (Disconnected: Connection terminated)"},
        {EncoderErrorCode::VideoInput, "video input file \"/m/fifo.wmv\" cannot be read",
         "a(z) \"/m/fifo.wmv\" videóforrás nem használható (video input file \"/m/fifo.wmv\" "
         "cannot be read)"},
        {EncoderErrorCode::DiskFull, "", "elfogyott a hely a media mappa lemezén: /média"},
        {EncoderErrorCode::FileExists, "exists",
         "a felvétel fájlja már létezik: /média/tv-20261207-203000-000020-TV512.wmv (exists)"},
        {0xC00D1234u, "odd", "ismeretlen hiba (hibakód: -1072885196) (odd)"},
    };
    for (const Row& row : rows) {
        const QString text = FailureText::cause(
            EncoderStatus::failure(row.code, QString::fromUtf8(row.description)), kWhere);
        EXPECT_EQ(text, QString::fromUtf8(row.expected)) << row.expected;
    }
}

TEST(FailureText, SystemWordsOverSeveralLinesBecomeOneLine) {
    const QString text =
        FailureText::cause(EncoderStatus::failure(EncoderErrorCode::WriteFault,
                                                  QStringLiteral("write failed:\n  I/O error\r\n")),
                           kWhere);
    EXPECT_FALSE(text.contains(u'\n'));
    EXPECT_TRUE(text.endsWith(QStringLiteral("(write failed: I/O error)"))) << text.toStdString();
}

TEST(FailureText, SourceNameDropsOnlyTheScheme) {
    EXPECT_EQ(FailureText::sourceName(QStringLiteral("DEVICE://Hauppauge WinTV")),
              QStringLiteral("Hauppauge WinTV"));
    EXPECT_EQ(FailureText::sourceName(QStringLiteral("/képek/rádió.png")),
              QStringLiteral("/képek/rádió.png"));
}
