#include "recorder/LastState.h"
#include "recorder/Settings.h"
#include "recorder/TextFile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kelm;

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
}  // namespace

class SettingsFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString ini() const { return QDir(dir.path()).filePath(QStringLiteral("kelm.ini")); }
};

TEST_F(SettingsFileTest, FirstRunWritesTheSevenDefaultLinesWithCrLf) {
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.outcome, SettingsLoad::Outcome::CreatedDefaults);
    const QString p = dir.path();
    const QByteArray expected =
        "Teszt TV\r\nteszttv\r\n" + (p + QStringLiteral("/video.wmv")).toUtf8() +
        "\r\n/usr/bin/mpv\r\n1\r\n" + (p + QStringLiteral("/Media")).toUtf8() + "\r\n0\r\n";
    EXPECT_EQ(readAll(ini()), expected);
    EXPECT_EQ(load.settings.channelShortName, QStringLiteral("teszttv"));
    EXPECT_EQ(load.settings.makeTimecode, 1);
    EXPECT_EQ(load.settings.keepDays, 0);
}

// The seventh line: the days recordings are kept. A file of six lines, as
// every earlier KELM wrote it, keeps them all and is not rewritten.
TEST_F(SettingsFileTest, DaysToKeepAreTheSeventhLineAndASixLineFileKeepsEverything) {
    const QByteArray six = "A\r\nb\r\nc\r\nd\r\n1\r\nm\r\n";
    writeBytes(ini(), six);
    auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.outcome, SettingsLoad::Outcome::Read);
    EXPECT_EQ(load.settings.keepDays, 0);
    EXPECT_TRUE(load.warnings.isEmpty());
    EXPECT_EQ(readAll(ini()), six);

    const auto keepOf = [&](const QByteArray& seventh) {
        writeBytes(ini(), six + seventh + "\r\n");
        load = SettingsFile::readOrCreate(dir.path());
        return load.settings.keepDays;
    };
    EXPECT_EQ(keepOf("30"), 30);
    EXPECT_TRUE(load.warnings.isEmpty());
    EXPECT_EQ(keepOf(" 30 "), 30);
    EXPECT_EQ(keepOf(""), 0);
    EXPECT_TRUE(load.warnings.isEmpty());
    EXPECT_EQ(keepOf("0"), 0);
    EXPECT_TRUE(load.warnings.isEmpty());
    // A value nobody meant keeps everything, and the log says so.
    for (const QByteArray bad : {"-5", "harminc", "30 nap", "99999999999"}) {
        EXPECT_EQ(keepOf(bad), 0) << bad.constData();
        ASSERT_EQ(load.warnings.size(), 1) << bad.constData();
        EXPECT_TRUE(load.warnings.first().contains(QStringLiteral("7. sor"))) << bad.constData();
    }

    Settings settings = load.settings;
    settings.keepDays = 45;
    ASSERT_TRUE(SettingsFile::write(dir.path(), settings));
    EXPECT_EQ(SettingsFile::readOrCreate(dir.path()).settings.keepDays, 45);
}

TEST_F(SettingsFileTest, FiveLinesAreReplacedByTheDefaults) {
    writeBytes(ini(), "A\r\nb\r\nc\r\nd\r\n0\r\n");
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.outcome, SettingsLoad::Outcome::ReplacedShortFile);
    EXPECT_EQ(load.settings.channelName, QStringLiteral("Teszt TV"));
    EXPECT_TRUE(readAll(ini()).startsWith("Teszt TV\r\nteszttv\r\n"));
}

TEST_F(SettingsFileTest, SeventhLineIsIgnoredAndKept) {
    const QByteArray content = "Egy TV\r\negytv\r\n/v.wmv\r\n/usr/bin/mpv\r\n0\r\n/m\r\nextra\r\n";
    writeBytes(ini(), content);
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.outcome, SettingsLoad::Outcome::Read);
    EXPECT_EQ(load.settings.channelName, QStringLiteral("Egy TV"));
    EXPECT_EQ(load.settings.makeTimecode, 0);
    EXPECT_EQ(readAll(ini()), content);
}

TEST_F(SettingsFileTest, Windows1250FileKeepsItsAccents) {
    // "Győr TV" in Windows-1250: ő is 0xF5.
    writeBytes(ini(), "Gy\xF5r TV\r\ngyor\r\n/v\r\n/p\r\n1\r\n/m\r\n");
    EXPECT_EQ(SettingsFile::readOrCreate(dir.path()).settings.channelName,
              QStringLiteral("Győr TV"));
}

TEST_F(SettingsFileTest, ShortNameThatIsNoFileNameIsReplacedInMemoryOnly) {
    const QByteArray content = "X\r\n../../etc\r\n/v\r\n/p\r\n1\r\n/m\r\n";
    writeBytes(ini(), content);
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.settings.channelShortName, QStringLiteral("teszttv"));
    EXPECT_EQ(load.warnings.size(), 1);
    EXPECT_EQ(readAll(ini()), content);
}

TEST_F(SettingsFileTest, BinaryAndHugeLinesDoNotBreakReading) {
    QByteArray content = QByteArray(200000, 'x') + "\r\n";
    content += QByteArray("\x00\x01\x02\xff\xfe", 5) + "\r\nv\r\np\r\nnot-a-number\r\n\r\n";
    writeBytes(ini(), content);
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.settings.channelName.size(), 200000);
    EXPECT_EQ(load.settings.channelShortName, QStringLiteral("teszttv"));
    EXPECT_EQ(load.settings.makeTimecode, 1);
    EXPECT_FALSE(load.settings.mediaDir.isEmpty());
    EXPECT_EQ(load.warnings.size(), 3);
}

TEST_F(SettingsFileTest, RelativeFoldersAreTakenFromTheProgramFolderNotTheWorkingFolder) {
    const QByteArray content = "X\r\nx\r\nclips/kep.png\r\n/p\r\n1\r\n../archivum/Media/\r\n";
    writeBytes(ini(), content);
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    const auto load = SettingsFile::readOrCreate(dir.path());
    QDir::setCurrent(before);
    const QDir program(dir.path());
    EXPECT_EQ(load.settings.mediaDir,
              QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../archivum/Media"))));
    EXPECT_EQ(load.settings.encVideo, program.absoluteFilePath(QStringLiteral("clips/kep.png")));
    EXPECT_EQ(readAll(ini()), content) << "reading never rewrites the operator's file";
}

TEST_F(SettingsFileTest, UnreadableFileIsLeftAloneAndDefaultsServe) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    writeBytes(ini(), "A\r\nb\r\nc\r\nd\r\n1\r\ne\r\n");
    QFile::setPermissions(ini(), QFileDevice::WriteOwner);
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_EQ(load.outcome, SettingsLoad::Outcome::Unreadable);
    EXPECT_EQ(load.settings.channelName, QStringLiteral("Teszt TV"));
}

TEST_F(SettingsFileTest, UnreadableFileAsADirectoryIsNotDeleted) {
    // A folder where the file should be: cannot be read, must not be removed.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("kelm.ini")));
    const auto load = SettingsFile::readOrCreate(dir.path());
    EXPECT_NE(load.outcome, SettingsLoad::Outcome::Read);
    EXPECT_TRUE(QFileInfo(ini()).isDir());
    EXPECT_EQ(load.settings.channelShortName, QStringLiteral("teszttv"));
}

TEST(LastStateFile, RoundTripsElevenLinesAndToleratesShortFiles) {
    QTemporaryDir dir;
    const QString path = LastState::path(dir.path(), QStringLiteral("teszttv"));
    LastState s;
    for (int i = 1; i <= LastState::LineCount; ++i) s.setLine(i, QStringLiteral("érték %1").arg(i));
    ASSERT_TRUE(s.save(path));
    EXPECT_EQ(TextFile::readLines(path)->size(), 11);
    EXPECT_EQ(LastState::load(path)->lines, s.lines);

    ASSERT_TRUE(LastState::saveLine(path, LastState::TvChannel, QStringLiteral("K21")));
    const auto lines = *TextFile::readLines(path);
    EXPECT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.at(7), QStringLiteral("K21"));
    EXPECT_TRUE(lines.at(11).isEmpty());

    writeBytes(path, "only one line");
    const auto shortState = LastState::load(path);
    ASSERT_TRUE(shortState);
    EXPECT_EQ(shortState->line(1), QStringLiteral("only one line"));
    EXPECT_TRUE(shortState->line(3).isEmpty());
}

TEST(TextFileWrite, FailureLeavesTheOldFileIntact) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("missing-folder/x.ini"));
    EXPECT_FALSE(TextFile::writeLines(path, {QStringLiteral("a")}));
}
