#include "SubtitleReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// Runs the built `tiplon` as KELM does: a separate process, watched only
// through the files it leaves behind.
namespace {

struct TiplonRun {
    int exitCode = -1;
    QByteArray standardError;
    QByteArray standardOutput;
};

class SubtitleTiplon : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // blanks and accents in the folder and in the recording's name
        m_folder = m_dir.filePath(QString::fromUtf8("felvételek 2006"));
        ASSERT_TRUE(QDir().mkpath(m_folder));
        m_recording = m_folder + QStringLiteral("/M1-20061231-235959-000001-TV512 a.wmv");
        QFile file(m_recording);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("wmv");
    }

    TiplonRun tiplon(const QStringList& arguments, const QString& workingDir = QString()) {
        QProcess process;
        process.setWorkingDirectory(workingDir.isEmpty() ? m_dir.path() : workingDir);
        process.start(QStringLiteral(KELM_PROGRAM_DIR "/tiplon"), arguments);
        TiplonRun run;
        if (!process.waitForFinished(30000)) {
            ADD_FAILURE() << "tiplon did not finish: " << process.errorString().toStdString();
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.standardError = process.readAllStandardError();
        run.standardOutput = process.readAllStandardOutput();
        return run;
    }

    QString beside(const QString& extension) const { return m_recording.chopped(4) + extension; }

    QTemporaryDir m_dir;
    QString m_folder;
    QString m_recording;
};

TEST_F(SubtitleTiplon, WritesTheSubtitleFileBetweenItsStartAndStopMarkers) {
    const TiplonRun run = tiplon({m_recording, QStringLiteral("86399"), QStringLiteral("1"),
                            QStringLiteral("2006.12.31."), QStringLiteral("M1")});
    EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
    EXPECT_TRUE(run.standardError.isEmpty());
    QFile subtitle(beside(QStringLiteral(".sub")));
    ASSERT_TRUE(subtitle.open(QIODevice::ReadOnly));
    EXPECT_EQ(subtitle.readAll(), describedExample());
    EXPECT_TRUE(QFile::exists(beside(QStringLiteral(".startsub"))));
    EXPECT_TRUE(QFile::exists(beside(QStringLiteral(".stopsub"))));
    EXPECT_EQ(QFileInfo(beside(QStringLiteral(".stopsub"))).size(), 0);
}

TEST_F(SubtitleTiplon, BothDateFormsOfKelmGiveTheSameFile) {
    QByteArray first;
    for (const QString& date : {QStringLiteral("2006.12.31."), QStringLiteral("2006.12.31")}) {
        const TiplonRun run = tiplon({m_recording, QStringLiteral("86399"), QStringLiteral("1"), date,
                                QStringLiteral("M1")});
        ASSERT_EQ(run.exitCode, 0) << run.standardError.constData();
        QFile subtitle(beside(QStringLiteral(".sub")));
        ASSERT_TRUE(subtitle.open(QIODevice::ReadOnly));
        const QByteArray bytes = subtitle.readAll();
        if (first.isNull())
            first = bytes;
        EXPECT_EQ(bytes, first) << date.toStdString();
    }
    EXPECT_EQ(first, describedExample());
}

TEST_F(SubtitleTiplon, UnquotedPathWithBlanksIsJoinedAgain) {
    QStringList arguments = m_recording.split(u' ');
    ASSERT_GT(arguments.size(), 1);
    arguments << QStringLiteral("0") << QStringLiteral("59") << QStringLiteral("2006.12.31")
              << QStringLiteral("M1");
    const TiplonRun run = tiplon(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
    EXPECT_EQ(readSubtitleFile(beside(QStringLiteral(".sub"))).entries.size(), 60);
    EXPECT_TRUE(QFile::exists(beside(QStringLiteral(".stopsub"))));
}

TEST_F(SubtitleTiplon, AccentedChannelArrivesInUtf8) {
    const TiplonRun run = tiplon({m_recording, QStringLiteral("0"), QStringLiteral("0"),
                            QStringLiteral("2006.05.12"), QString::fromUtf8("Ünnep")});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.constData();
    QFile subtitle(beside(QStringLiteral(".sub")));
    ASSERT_TRUE(subtitle.open(QIODevice::ReadOnly));
    EXPECT_TRUE(subtitle.readAll().contains("Ch:\xc3\x9cnnep, D: 2006.05.12, T: 00:00:00\n"));
}

TEST_F(SubtitleTiplon, MissingRecordingFailsButStillLeavesTheStopMarker) {
    QFile::remove(m_recording);
    const TiplonRun run = tiplon({m_recording, QStringLiteral("0"), QStringLiteral("10"),
                            QStringLiteral("2006.12.31."), QStringLiteral("M1")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.startsWith("tiplon: "));
    EXPECT_FALSE(QFile::exists(beside(QStringLiteral(".sub"))));
    EXPECT_TRUE(QFile::exists(beside(QStringLiteral(".stopsub"))));
}

// Arguments after the recording path; the path is always the first.
class SubtitleTiplonRefused : public SubtitleTiplon,
                              public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(SubtitleTiplonRefused, ExitsWithAMessageAndLeavesOnlyTheStopMarker) {
    QStringList arguments{m_recording};
    for (const std::string& argument : GetParam())
        arguments << QString::fromStdString(argument);
    const TiplonRun run = tiplon(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.standardError.startsWith("tiplon: ")) << run.standardError.constData();
    EXPECT_TRUE(run.standardError.contains("usage: tiplon"));
    EXPECT_TRUE(QFile::exists(beside(QStringLiteral(".stopsub"))));
    EXPECT_FALSE(QFile::exists(beside(QStringLiteral(".startsub"))));
    EXPECT_FALSE(QFile::exists(beside(QStringLiteral(".sub"))));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubtitleTiplonRefused,
    ::testing::Values(std::vector<std::string>{},
                      std::vector<std::string>{"0", "10", "2006.12.31."},
                      std::vector<std::string>{"12:00:00", "10", "2006.12.31.", "M1"},
                      std::vector<std::string>{"-1", "10", "2006.12.31.", "M1"},
                      std::vector<std::string>{"86400", "10", "2006.12.31.", "M1"},
                      std::vector<std::string>{"0", "86400", "2006.12.31.", "M1"},
                      std::vector<std::string>{"0", "99999999999", "2006.12.31.", "M1"},
                      std::vector<std::string>{"0", "1.5", "2006.12.31.", "M1"},
                      std::vector<std::string>{"0", "", "2006.12.31.", "M1"},
                      std::vector<std::string>{"0", "10", "2006.13.01.", "M1"},
                      std::vector<std::string>{"0", "10", "2007.02.29", "M1"},
                      std::vector<std::string>{"0", "10", "31.12.2006.", "M1"},
                      std::vector<std::string>{"0", "10", "2006-12-31", "M1"},
                      std::vector<std::string>{"0", "10", "2006.12.31..", "M1"},
                      // a channel split into two arguments
                      std::vector<std::string>{"0", "10", "2006.12.31.", "M", "1"}));

TEST_F(SubtitleTiplon, NoArgumentsGiveTheUsageAndCreateNothing) {
    const QString empty = m_dir.filePath(QStringLiteral("cwd"));
    ASSERT_TRUE(QDir().mkpath(empty));
    const TiplonRun run = tiplon({}, empty);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.standardError.contains("usage: tiplon"));
    EXPECT_TRUE(QDir(empty).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
}

TEST_F(SubtitleTiplon, PathTooShortToNameMarkersIsRefusedWithoutStrayFiles) {
    const QString cwd = m_dir.filePath(QStringLiteral("cwd"));
    ASSERT_TRUE(QDir().mkpath(cwd));
    QFile short_(cwd + QStringLiteral("/.wmv"));
    ASSERT_TRUE(short_.open(QIODevice::WriteOnly));
    short_.close();
    const TiplonRun run = tiplon({QStringLiteral(".wmv"), QStringLiteral("0"), QStringLiteral("1"),
                            QStringLiteral("2006.12.31"), QStringLiteral("M1")},
                           cwd);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.standardError.isEmpty());
    EXPECT_EQ(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral(".wmv")});
}

TEST_F(SubtitleTiplon, HelpGoesToStandardOutputWithoutMarkers) {
    const TiplonRun run = tiplon({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.standardOutput.startsWith("usage: tiplon"));
    EXPECT_TRUE(run.standardError.isEmpty());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
