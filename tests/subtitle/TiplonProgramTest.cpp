#include "SubtitleReader.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <cstring>

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
        // blanks and accents in the folder and in the recording's name
        const QString folder = m_dir.filePath(QString::fromUtf8("felvételek 2006"));
        ASSERT_TRUE(QDir().mkpath(folder));
        m_recording = folder + QStringLiteral("/M1-20061231-235959-000001-TV512 a.wmv");
        QFile file(m_recording);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
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

    QString beside(const char* extension) const {
        return m_recording.chopped(4) + QLatin1String(extension);
    }
    QByteArray subtitle() const {
        QFile file(beside(".sub"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    QString m_recording;
};

TEST_F(SubtitleTiplon, WritesTheFileBetweenItsMarkersAndTakesBothDateForms) {
    for (const char* date : {"2006.12.31.", "2006.12.31"}) {
        const TiplonRun run = tiplon({m_recording, QStringLiteral("86399"), QStringLiteral("1"),
                                      QLatin1String(date), QStringLiteral("M1")});
        EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
        EXPECT_TRUE(run.standardError.isEmpty());
        EXPECT_EQ(subtitle(), describedExample()) << date;
        EXPECT_TRUE(QFile::exists(beside(".startsub")));
        EXPECT_TRUE(QFile::exists(beside(".stopsub")));
        QFile::remove(beside(".stopsub"));  // as KELM does
    }
}

TEST_F(SubtitleTiplon, UnquotedPathWithBlanksIsJoinedAgain) {
    const QStringList arguments =
        m_recording.split(u' ') + QStringList{QStringLiteral("0"), QStringLiteral("59"),
                                              QStringLiteral("2006.12.31"),
                                              QString::fromUtf8("Ünnep")};
    const TiplonRun run = tiplon(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
    EXPECT_EQ(readSubtitleFile(beside(".sub")).entries.size(), 60);
    EXPECT_TRUE(subtitle().contains("Ch:\xc3\x9cnnep, D: 2006.12.31, T: 00:00:59\n"));
    EXPECT_TRUE(QFile::exists(beside(".stopsub")));
}

TEST_F(SubtitleTiplon, MissingRecordingFailsButStillLeavesTheStopMarker) {
    QFile::remove(m_recording);
    const TiplonRun run = tiplon({m_recording, QStringLiteral("0"), QStringLiteral("10"),
                                  QStringLiteral("2006.12.31."), QStringLiteral("M1")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.standardError.startsWith("tiplon: "));
    EXPECT_FALSE(QFile::exists(beside(".sub")));
    EXPECT_TRUE(QFile::exists(beside(".stopsub")));
}

TEST_F(SubtitleTiplon, RefusedArgumentsGiveAMessageAndOnlyTheStopMarker) {
    // arguments after the recording path
    const QStringList rows[] = {
        {},
        {QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2006.12.31.")},
        {QStringLiteral("12:00:00"), QStringLiteral("10"), QStringLiteral("2006.12.31."),
         QStringLiteral("M1")},
        {QStringLiteral("-1"), QStringLiteral("10"), QStringLiteral("2006.12.31."),
         QStringLiteral("M1")},
        {QStringLiteral("86400"), QStringLiteral("10"), QStringLiteral("2006.12.31."),
         QStringLiteral("M1")},
        {QStringLiteral("0"), QStringLiteral("99999999999"), QStringLiteral("2006.12.31."),
         QStringLiteral("M1")},
        {QStringLiteral("0"), QString(), QStringLiteral("2006.12.31."), QStringLiteral("M1")},
        {QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2007.02.29"),
         QStringLiteral("M1")},
        {QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2006-12-31"),
         QStringLiteral("M1")},
        {QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2006.12.31.."),
         QStringLiteral("M1")},
        // a channel split in two
        {QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("2006.12.31."),
         QStringLiteral("M"), QStringLiteral("1")}};
    for (const QStringList& row : rows) {
        const TiplonRun run = tiplon(QStringList{m_recording} + row);
        const std::string context = row.join(u' ').toStdString();
        EXPECT_EQ(run.exitCode, 2) << context;
        EXPECT_TRUE(run.standardError.startsWith("tiplon: ")) << context;
        EXPECT_TRUE(run.standardError.contains("usage: tiplon")) << context;
        EXPECT_TRUE(QFile::remove(beside(".stopsub"))) << context;
        EXPECT_FALSE(QFile::exists(beside(".startsub"))) << context;
        EXPECT_FALSE(QFile::exists(beside(".sub"))) << context;
    }
}

// Whatever stands where one of tiplon's files goes must be a regular file or
// nothing: a FIFO would block it for ever, a device would take the bytes, and
// a link would let it overwrite the file the link points at.
TEST_F(SubtitleTiplon, FifoDeviceOrLinkInPlaceOfItsFilesIsRefusedAndNothingElseIsTouched) {
    const QString target = m_dir.filePath(QStringLiteral("target.txt"));
    for (const char* extension : {".sub", ".startsub", ".stopsub"}) {
        for (const char* kind : {"fifo", "link", "device"}) {
            const std::string context = std::string(extension) + " as " + kind;
            const QString path = beside(extension);
            for (const char* any : {".sub", ".startsub", ".stopsub"}) QFile::remove(beside(any));
            QFile targetFile(target);
            ASSERT_TRUE(targetFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
            targetFile.write("keep me");
            targetFile.close();
            const QByteArray native = QFile::encodeName(path);
            if (std::strcmp(kind, "fifo") == 0) {
                ASSERT_EQ(::mkfifo(native.constData(), 0600), 0) << context;
            } else if (std::strcmp(kind, "link") == 0) {
                ASSERT_TRUE(QFile::link(target, path)) << context;
            } else if (::mknod(native.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
                continue;  // creating a device node needs privileges this run lacks
            }
            const TiplonRun run = tiplon({m_recording, QStringLiteral("0"), QStringLiteral("5"),
                                          QStringLiteral("2006.12.31."), QStringLiteral("M1")});
            EXPECT_EQ(run.exitCode, 1) << context << run.standardError.constData();
            EXPECT_TRUE(run.standardError.contains("refused"))
                << context << run.standardError.constData();
            EXPECT_TRUE(run.standardError.contains(native)) << context;
            QFile check(target);
            ASSERT_TRUE(check.open(QIODevice::ReadOnly));
            EXPECT_EQ(check.readAll(), QByteArray("keep me")) << context;
            const QFileInfo left(path);
            EXPECT_FALSE(left.isFile() && !left.isSymLink()) << context << ": replaced by a file";
            // the other files are still made, so KELM's watcher is not left waiting
            if (std::strcmp(extension, ".sub") == 0)
                EXPECT_TRUE(QFile::exists(beside(".stopsub"))) << context;
            else
                EXPECT_EQ(readSubtitleFile(beside(".sub")).entries.size(), 6) << context;
            QFile::remove(path);
        }
    }
}

TEST_F(SubtitleTiplon, WithoutAPathThatNamesMarkersNothingIsCreated) {
    const QString cwd = m_dir.filePath(QStringLiteral("cwd"));
    ASSERT_TRUE(QDir().mkpath(cwd));
    QFile(cwd + QStringLiteral("/.wmv")).open(QIODevice::WriteOnly);
    const TiplonRun none = tiplon({}, cwd);
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.standardError.contains("usage: tiplon"));
    const TiplonRun tooShort =
        tiplon({QStringLiteral(".wmv"), QStringLiteral("0"), QStringLiteral("1"),
                QStringLiteral("2006.12.31"), QStringLiteral("M1")},
               cwd);
    EXPECT_EQ(tooShort.exitCode, 2);
    EXPECT_FALSE(tooShort.standardError.isEmpty());
    EXPECT_EQ(QDir(cwd).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral(".wmv")});
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
