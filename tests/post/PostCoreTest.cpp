#include "post/PreviewFiles.h"
#include "post/ProcProcessTable.h"
#include "post/ShellScript.h"
#include "post/TimecodeJob.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace kelm;

namespace {

// Texts that break a script when a path is pasted in unquoted or quoted
// carelessly.
const QStringList kHostileTexts = {
    QStringLiteral("plain"),
    QStringLiteral("with blanks  and\ttab"),
    QStringLiteral("it's"),
    QStringLiteral("''"),
    QStringLiteral("$HOME and ${PATH}"),
    QStringLiteral("$(touch injected)"),
    QStringLiteral("`touch injected`"),
    QStringLiteral("a\"b\\c"),
    QStringLiteral("line\nbreak; touch injected"),
    QStringLiteral("-rf"),
    QString::fromUtf8("ékezetes Ünnep *?[a]"),
    QString(),
};

QByteArray runShell(const QString& script, const QString& workingDir) {
    QProcess sh;
    sh.setWorkingDirectory(workingDir);
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
    if (!sh.waitForFinished(10000)) return "timeout";
    return sh.readAllStandardOutput();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST(PostShellScript, QuotedTextReachesTheCommandAsItIsAndRunsNothing) {
    QTemporaryDir dir;
    for (const QString& text : kHostileTexts) {
        const QByteArray out =
            runShell(QStringLiteral("printf '%s' ") + ShellScript::singleQuoted(text), dir.path());
        EXPECT_EQ(QString::fromUtf8(out), text);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("injected"))));
}

TEST(PostShellScript, CopyScriptCopiesBetweenHostileFoldersAndRemovesItsMarker) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("média 'x' $HOME `id` $(touch injected)"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString source = folder + QStringLiteral("/-felvétel 'a'.wmv");
    const QString marker = folder + QStringLiteral("/-felvét.tmp");
    const QString copy = folder + QStringLiteral("/preview--felvétel 'a'.wmv");
    const QString failure = folder + QStringLiteral("/-felvét.err");
    writeFile(source, "ASF data");
    const QByteArray script = ShellScript::copyScript(marker, source, copy, failure);
    EXPECT_FALSE(script.contains('\r')) << "LF line ends only";
    EXPECT_EQ(script.count('\n'), 3);
    writeFile(dir.filePath(QStringLiteral("copy.sh")), script);

    QProcess sh;
    sh.setWorkingDirectory(dir.path());
    sh.start(QStringLiteral("/bin/sh"), {dir.filePath(QStringLiteral("copy.sh"))});
    ASSERT_TRUE(sh.waitForFinished(10000));
    EXPECT_EQ(sh.exitCode(), 0) << sh.readAllStandardError().constData();
    EXPECT_EQ(readFile(copy), QByteArray("ASF data"));
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_FALSE(QFile::exists(failure)) << "a good copy leaves no failure behind";
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("injected"))));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/injected")));
}

namespace {

// Runs the copy script of `source` to `copy` as the chain does; the marker
// and failure file lie in `folder`.
struct CopyRun {
    QString marker;
    QString failure;
    void run(const QString& folder, const QString& source, const QString& copy) {
        marker = folder + QStringLiteral("/m 'x'.tmp");
        failure = folder + QStringLiteral("/m 'x'.err");
        writeFile(marker, QByteArray());
        const QString script = folder + QStringLiteral("/copy.sh");
        writeFile(script, ShellScript::copyScript(marker, source, copy, failure));
        QProcess::execute(QStringLiteral("/bin/sh"), {script});
    }
};

}  // namespace

TEST(PostShellScriptCopyFailure, AFullDiskLeavesCpsWordsInTheFailureFileAndTheMarkerGone) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("rec.wmv"));
    writeFile(source, QByteArray(64 * 1024, 'a'));
    // /dev/full takes the open and refuses every write with ENOSPC, as a full disk does.
    CopyRun copy;
    copy.run(dir.path(), source, QStringLiteral("/dev/full"));
    EXPECT_FALSE(QFile::exists(copy.marker)) << "the copy is over, well or not";
    const QByteArray words = readFile(copy.failure);
    EXPECT_TRUE(words.contains("/dev/full")) << words.constData();
}

TEST(PostShellScriptCopyFailure, AVanishedSourceLeavesAFailureAndNoCopy) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a $b 'c'"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString copyPath = folder + QStringLiteral("/preview-gone.wmv");
    CopyRun copy;
    copy.run(folder, folder + QStringLiteral("/gone.wmv"), copyPath);
    EXPECT_FALSE(QFile::exists(copy.marker));
    EXPECT_TRUE(readFile(copy.failure).contains("gone.wmv"));
    EXPECT_FALSE(QFile::exists(copyPath));
}

TEST(PostShellScript, IndexScriptHandsBothPathsToTheIndexerAsSingleArguments) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a b'c$d"));
    ASSERT_TRUE(QDir().mkpath(folder));
    // A stand-in indexer that writes its arguments, one per line.
    const QString indexer = folder + QStringLiteral("/index er");
    writeFile(indexer,
              "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$4.args\"\n");
    QFile::setPermissions(indexer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString input = folder + QStringLiteral("/in put.wmv");
    const QString output = folder + QStringLiteral("/out'put.wmv");
    const QString marker = folder + QStringLiteral("/m.tmp");
    writeFile(dir.filePath(QStringLiteral("index.sh")),
              ShellScript::indexScript(marker, indexer, input, output));
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("/bin/sh"), {dir.filePath(QStringLiteral("index.sh"))}),
        0);
    EXPECT_EQ(
        readFile(output + QStringLiteral(".args")),
        (QStringLiteral("-i\n") + input + QStringLiteral("\n-o\n") + output + u'\n').toUtf8());
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(PostShellScript, MarkerOnlyScriptCreatesAndRemovesTheMarker) {
    const QByteArray script = ShellScript::markerOnlyScript(QStringLiteral("/m e/x'.tmp"));
    EXPECT_EQ(script, QByteArray(": > '/m e/x'\\''.tmp'\nrm -f -- '/m e/x'\\''.tmp'\n"));
}

TEST(PostPreviewFiles, ShortNameKeepsItsExtensionInTheEightCharacters) {
    const PreviewFiles files(QStringLiteral("/prog"), QStringLiteral("/media"),
                             QStringLiteral("AB.WMV"));
    EXPECT_EQ(files.l8(), QStringLiteral("AB.WMV"));
    EXPECT_EQ(files.copyScriptPath(), QStringLiteral("/prog/AB.WMV.sh"));
    EXPECT_EQ(files.copyMarkerPath(), QStringLiteral("/media/AB.WMV.tmp"));
    EXPECT_EQ(files.previewCopyPath(QStringLiteral("/media")),
              QStringLiteral("/media/preview-AB.WMV"));
    EXPECT_EQ(files.indexScriptPath(), QStringLiteral("/prog/previewAB.WMV.sh"));
    EXPECT_EQ(files.indexMarkerPath(), QStringLiteral("/media/previewAB.WMV.tmp"));
    EXPECT_EQ(files.indexedCopyPath(), QStringLiteral("/media/preview-AB.WMV-idx.wmv"));
}

TEST(PostPreviewFiles, RecordingNameGivesItsFirstEightCharactersWholeCharactersOnly) {
    const PreviewFiles files = PreviewFiles::forRecording(
        QStringLiteral("/prog"), QStringLiteral("/m d/teszttv-20261207-090000-000030-TV512.wmv"));
    EXPECT_EQ(files.sourceFolder(), QStringLiteral("/m d"));
    EXPECT_EQ(files.l8(), QStringLiteral("teszttv-"));
    EXPECT_EQ(files.indexedCopyName(), QStringLiteral("preview-teszttv--idx.wmv"));
    EXPECT_EQ(files.indexedSubtitlePath(), QStringLiteral("/m d/preview-teszttv--idx.sub"));
    // a character outside the basic plane is two UTF-16 units
    const QString wide = QString::fromUtf8("abcdefg\xF0\x9F\x93\xBAxyz.wmv");
    EXPECT_EQ(PreviewFiles(QString(), QStringLiteral("/m"), wide).l8(),
              QString::fromUtf8("abcdefg\xF0\x9F\x93\xBA"));
}

TEST(PostPreviewFiles, LeftoversAreOnlyThePreviewsOwnFiles) {
    EXPECT_TRUE(PreviewFiles().leftovers().isEmpty())
        << "before the first preview nothing is removed";
    // a channel whose short name is "preview": its recordings start with "preview-"
    const PreviewFiles files = PreviewFiles::forRecording(
        QStringLiteral("/p"), QStringLiteral("/m/preview-20261207-090000-000030-TV512.wmv"));
    const QStringList leftovers = files.leftovers();
    EXPECT_EQ(leftovers,
              (QStringList{QStringLiteral("/m/preview-preview-20261207-090000-000030-TV512.wmv"),
                           QStringLiteral("/m/preview-preview--idx.wmv"),
                           QStringLiteral("/m/preview-preview--idx.sub"),
                           QStringLiteral("/m/preview-preview--idx.startsub"),
                           QStringLiteral("/m/preview-preview--idx.stopsub")}));
    EXPECT_FALSE(leftovers.contains(QStringLiteral("/m/preview-20261207-090000-000030-TV512.wmv")));
}

TEST(PostTimecodeJob, TimeToSecondsTakesTwoDigitFieldsWithOrWithoutColons) {
    const std::pair<const char*, const char*> rows[] = {
        {"12:34:56", "45296"}, {"00:00:00", "0"}, {"23:59:59", "86399"}, {"123456", "45296"},
        {"01:00:00", "3600"},  {"", ""},          {"1:2:3", ""},         {"12:34:5x", ""},
        {"12:34:567", ""},     {" 12:34:56", ""}, {"-1:00:00", ""}};
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(TimecodeJob::timeToSeconds(QLatin1String(text)), QLatin1String(expected)) << text;
}

TEST(PostTimecodeJob, LiveArgumentsAreRecordingStartLengthShortDateAndChannel) {
    EXPECT_EQ(
        TimecodeJob::liveArguments(QStringLiteral("/m d/a b.wmv"), QStringLiteral("09:00:00"),
                                   QStringLiteral("00:00:00"), QDate(2026, 1, 2),
                                   QStringLiteral("M1")),
        (QStringList{QStringLiteral("/m d/a b.wmv"), QStringLiteral("32400"), QStringLiteral("0"),
                     QStringLiteral("2026.01.02."), QStringLiteral("M1")}));
    EXPECT_TRUE(TimecodeJob::liveArguments(QStringLiteral("/a.wmv"), QStringLiteral("9:00"),
                                           QStringLiteral("00:00:01"), QDate(2026, 1, 2),
                                           QStringLiteral("M1"))
                    .isEmpty());
}

TEST(PostTimecodeJob, PreviewLengthIsTheEncodingTimeInWholeSecondsWrappedAfterADay) {
    const auto length = [](qint64 ms) {
        return TimecodeJob::previewArguments(QStringLiteral("/m/p.wmv"), QStringLiteral("10:00:00"),
                                             ms, QStringLiteral("20061231"), QStringLiteral("M1"))
            .value(2);
    };
    EXPECT_EQ(length(61400), QStringLiteral("61"));
    EXPECT_EQ(length(999), QStringLiteral("0"));
    EXPECT_EQ(length(-5), QStringLiteral("0"));
    EXPECT_EQ(length(86400000 + 1500), QStringLiteral("1"));
    const QStringList all =
        TimecodeJob::previewArguments(QStringLiteral("/m/p.wmv"), QStringLiteral("10:00:00"), 0,
                                      QStringLiteral("20061231"), QStringLiteral("M1"));
    EXPECT_EQ(all,
              (QStringList{QStringLiteral("/m/p.wmv"), QStringLiteral("36000"), QStringLiteral("0"),
                           QStringLiteral("2006.12.31"), QStringLiteral("M1")}));
}

TEST(PostTimecodeJob, MarkersAreNamedAfterThePathWithoutItsExtension) {
    EXPECT_EQ(TimecodeJob::startMarker(QStringLiteral("/MEDIA/ab.wmv")),
              QStringLiteral("/MEDIA/ab.startsub"));
    EXPECT_EQ(TimecodeJob::stopMarker(QStringLiteral("/MEDIA/ab.wmv")),
              QStringLiteral("/MEDIA/ab.stopsub"));
}

TEST(PostProcessTable, NumericFoldersWithAMatchingCommandNameCount) {
    QTemporaryDir proc;
    const auto process = [&](const QString& pid, const QByteArray& comm) {
        ASSERT_TRUE(QDir(proc.path()).mkpath(pid));
        if (!comm.isNull()) writeFile(proc.filePath(pid + QStringLiteral("/comm")), comm);
    };
    process(QStringLiteral("1"), "systemd\n");
    process(QStringLiteral("self"), "wmindexer\n");  // not a process folder
    process(QStringLiteral("77"), QByteArray());     // ended while being read: no comm
    process(QStringLiteral("120"), "wmindexer-old\n");
    const ProcProcessTable table(proc.path());
    EXPECT_FALSE(table.isRunning(QStringLiteral("wmindexer")));
    EXPECT_FALSE(table.isRunning(QString()));
    process(QStringLiteral("4242"), "wmindexer\n");
    EXPECT_TRUE(table.isRunning(QStringLiteral("wmindexer")));
    EXPECT_FALSE(table.isRunning(QStringLiteral("wmindex")));
    // the kernel keeps 15 bytes of a longer name
    process(QStringLiteral("5"), "a-very-long-pro\n");
    EXPECT_TRUE(table.isRunning(QStringLiteral("a-very-long-program")));
}

TEST(PostProcessTable, FindsARealRunningProgramOnlyWhileItRuns) {
    const ProcProcessTable table;
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted(5000));
    EXPECT_TRUE(table.isRunning(QStringLiteral("sleep")));
    sleeper.kill();
    sleeper.waitForFinished(5000);
    EXPECT_FALSE(table.isRunning(QStringLiteral("kelm-no-such-program")));
}
