// The seals: what a seal file says, the chain from day to day, and what a
// check of the media folder finds when a byte, a file or a day is gone.

#include "encoder/OutputFileName.h"
#include "seal/DaySeal.h"
#include "seal/FileDigest.h"
#include "seal/SealCheck.h"
#include "seal/SealFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kelm;

namespace {

const QString kRecording = QStringLiteral("teszttv-20261207-203000-000020-R64.wmv");
const QString kSubtitle = QStringLiteral("teszttv-20261207-203000-000020-R64.sub");
const QDate kDay(2026, 12, 7);
const QDateTime kFirstSample(kDay, QTime(19, 30, 0, 123), QTimeZone::utc());

QByteArray sha256Hex(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

class Folder {
public:
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Flips one byte of a file in place, as a bit rot or a hand edit would.
    void changeByte(const QString& name, qint64 at) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(at);
        char c = 0;
        ASSERT_TRUE(f.getChar(&c));
        f.seek(at);
        f.putChar(char(c ^ 0x01));
    }
    // Seals a recording and its subtitle file on `day`, as KELM does when it closes.
    DaySeal::Outcome seal(const QDate& day, const QString& recording) const {
        write(recording, "ASF recording of " + recording.toUtf8());
        const QString subtitle = OutputFileName::subtitleName(recording);
        write(subtitle, "1\n00:00:00,000 --> 00:00:01,000\n");
        return DaySeal::append(dir.path(), QStringLiteral("teszttv"), day,
                               {DaySeal::Entry::file(path(recording), kFirstSample, 20000),
                                DaySeal::Entry::file(path(subtitle), kFirstSample, 20000)});
    }
    QList<SealCheck::Finding> findings(std::optional<QDate> day = std::nullopt) const {
        return SealCheck::checkFolder(dir.path(), day).findings;
    }
    QTemporaryDir dir;
};

QString recordingOf(const QDate& day, const QString& start = QStringLiteral("203000")) {
    return QStringLiteral("teszttv-") + day.toString(QStringLiteral("yyyyMMdd")) + u'-' + start +
           QStringLiteral("-000020-R64.wmv");
}

std::vector<SealCheck::Finding::Kind> kinds(const QList<SealCheck::Finding>& findings) {
    std::vector<SealCheck::Finding::Kind> out;
    for (const auto& f : findings) out.push_back(f.kind);
    return out;
}

}  // namespace

// --- The format ---

TEST(SealFormat, SealedFileReadsBackWithEveryFigureAndTheHashOnItsOwnCheckableLine) {
    const SealFile::SealedFile sealed{QStringLiteral("a b=c fájl.wmv"), kFirstSample, 20'480,
                                      123456, sha256Hex("x")};
    const QStringList lines = SealFile::sealLines(sealed);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("# Pecsét: kezdet=2026-12-07T19:30:00.123Z hossz=20.480 "
                                       "méret=123456 fájl=a b=c fájl.wmv"));
    EXPECT_EQ(lines[1], QString::fromLatin1(sha256Hex("x")) + QStringLiteral("  a b=c fájl.wmv"));

    const SealFile::Contents back =
        SealFile::parse((SealFile::noPreviousLine() + u'\n' + lines.join(u'\n') + u'\n').toUtf8());
    EXPECT_TRUE(back.noPrevious);
    EXPECT_FALSE(back.chain);
    ASSERT_EQ(back.files.size(), 1);
    EXPECT_EQ(back.files[0].fileName, sealed.fileName);
    EXPECT_EQ(back.files[0].firstSampleUtc, kFirstSample);
    EXPECT_EQ(back.files[0].lengthMs, 20'480);
    EXPECT_EQ(back.files[0].sizeBytes, 123456);
    EXPECT_EQ(back.files[0].sha256Hex, sha256Hex("x"));
    EXPECT_TRUE(back.badLines.isEmpty());
}

TEST(SealFormat, NamesWithBackslashOrLineEndAreEscapedAsSha256sumDoes) {
    const QString name = QStringLiteral("a\\b\nc.wmv");
    const QString line = SealFile::checkLine(sha256Hex("x"), name);
    EXPECT_EQ(line,
              u'\\' + QString::fromLatin1(sha256Hex("x")) + QStringLiteral("  a\\\\b\\nc.wmv"));
    const SealFile::Contents back =
        SealFile::parse((SealFile::noPreviousLine() + u'\n' + line + u'\n').toUtf8());
    ASSERT_EQ(back.files.size(), 1);
    EXPECT_EQ(back.files[0].fileName, name);
}

TEST(SealFormat, FirstCheckableLineNamingASealIsTheChainAndDeletionsAndNotesAreKept) {
    const QByteArray text =
        (SealFile::checkLine(sha256Hex("prev"), QStringLiteral("teszttv-20261206.sha256")) + u'\n' +
         SealFile::deletionLine(kFirstSample, kRecording) + u'\n' +
         SealFile::noteLine(QStringLiteral("két\nsor")) + u'\n' + QStringLiteral("nem sor\r\n") +
         QStringLiteral("# Pecsét: kezdet=hibás\n"))
            .toUtf8();
    const SealFile::Contents c = SealFile::parse(text);
    ASSERT_TRUE(c.chain);
    EXPECT_EQ(c.chain->first, sha256Hex("prev"));
    EXPECT_EQ(c.chain->second, QStringLiteral("teszttv-20261206.sha256"));
    ASSERT_EQ(c.deletions.size(), 1);
    EXPECT_EQ(c.deletions[0].first, kFirstSample);
    EXPECT_EQ(c.deletions[0].second, kRecording);
    EXPECT_EQ(c.notes, QStringList{QStringLiteral("két sor")});
    EXPECT_EQ(c.badLines, (QList<int>{4, 5}));
    EXPECT_TRUE(c.files.isEmpty());
}

TEST(SealFormat, SealNamesTellChannelAndDayAndNothingElseIsASeal) {
    const auto name = SealFile::parseFileName(QStringLiteral("tv-2-20261207.sha256"));
    ASSERT_TRUE(name);
    EXPECT_EQ(name->channelShortName, QStringLiteral("tv-2"));
    EXPECT_EQ(name->day, kDay);
    EXPECT_EQ(SealFile::fileName(QStringLiteral("tv-2"), kDay),
              QStringLiteral("tv-2-20261207.sha256"));
    for (const char* other : {"tv-20261399.sha256", "tv-20261207.sha256.bak", "tv-2026127.sha256",
                              "tv-20261207-jelentes.txt"})
        EXPECT_FALSE(SealFile::parseFileName(QString::fromUtf8(other))) << other;
}

TEST(RecordingNames, PreviewCopiesAndOtherFilesAreNoRecordings) {
    const auto name = OutputFileName::parse(kRecording);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->channelShortName, QStringLiteral("teszttv"));
    EXPECT_EQ(name->start, QDateTime(kDay, QTime(20, 30, 0)));
    EXPECT_EQ(name->plannedSeconds, 20);
    EXPECT_TRUE(OutputFileName::parse(kRecording + QStringLiteral(".FIGYELEM.wmv")));
    EXPECT_FALSE(OutputFileName::parse(QStringLiteral("preview-") + kRecording));
    EXPECT_FALSE(OutputFileName::parse(QStringLiteral("preview-teszttv-idx.wmv")));
    EXPECT_FALSE(OutputFileName::parse(QStringLiteral("teszttv-20261207-256000-000020-R64.wmv")));
    EXPECT_EQ(OutputFileName::subtitleName(kRecording + QStringLiteral(".FIGYELEM.wmv")),
              kRecording + QStringLiteral(".FIGYELEM.sub"));
    EXPECT_TRUE(OutputFileName::isRecordingSubtitle(kSubtitle));
    EXPECT_FALSE(OutputFileName::isRecordingSubtitle(QStringLiteral("preview-teszttv-idx.sub")));
}

// --- Writing the day's seal ---

TEST(DaySeal, FirstSealSaysThereIsNoPreviousAndSha256sumAcceptsIt) {
    Folder f;
    const DaySeal::Outcome outcome = f.seal(kDay, kRecording);
    ASSERT_TRUE(outcome.ok()) << outcome.problems.join(u'\n').toStdString();
    EXPECT_EQ(outcome.sealed, (QStringList{kRecording, kSubtitle}));
    const QString text = QString::fromUtf8(f.read(QStringLiteral("teszttv-20261207.sha256")));
    EXPECT_TRUE(text.startsWith(SealFile::noPreviousLine() + u'\n')) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromLatin1(sha256Hex(f.read(kRecording))) +
                              QStringLiteral("  ") + kRecording + u'\n'));

    QProcess check;
    check.setWorkingDirectory(f.dir.path());
    check.start(QStringLiteral("sha256sum"), {QStringLiteral("-c"), QStringLiteral("--strict"),
                                              QStringLiteral("teszttv-20261207.sha256")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
    f.changeByte(kRecording, 3);
    check.start(QStringLiteral("sha256sum"),
                {QStringLiteral("-c"), QStringLiteral("teszttv-20261207.sha256")});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 1);
    EXPECT_TRUE(
        check.readAllStandardOutput().contains((kRecording + QStringLiteral(": FAILED")).toUtf8()));
}

TEST(DaySeal, NewDayChainsToTheNewestEarlierSealOfItsChannelOnly) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay.addDays(-3), recordingOf(kDay.addDays(-3))).ok());
    // Another channel's newer seal is no link in this channel's chain.
    f.write(QStringLiteral("masik-20261206.sha256"), "# Előző napi pecsét: nincs\n");
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    const QByteArray previous = f.read(QStringLiteral("teszttv-20261204.sha256"));
    const QString text = QString::fromUtf8(f.read(QStringLiteral("teszttv-20261207.sha256")));
    EXPECT_TRUE(text.startsWith(QString::fromLatin1(sha256Hex(previous)) +
                                QStringLiteral("  teszttv-20261204.sha256\n")))
        << text.toStdString();
}

TEST(DaySeal, LaterFilesOfTheSameDayAreAppendedWithoutASecondChainLine) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    ASSERT_TRUE(f.seal(kDay, recordingOf(kDay, QStringLiteral("220000"))).ok());
    const SealFile::Contents c = SealFile::parse(f.read(QStringLiteral("teszttv-20261207.sha256")));
    EXPECT_TRUE(c.noPrevious);
    EXPECT_EQ(c.files.size(), 4);
    EXPECT_EQ(QString::fromUtf8(f.read(QStringLiteral("teszttv-20261207.sha256")))
                  .count(SealFile::noPreviousLine()),
              1);
}

TEST(DaySeal, FileThatCannotBeReadIsNotedAndReportedNotSkipped) {
    Folder f;
    const DaySeal::Outcome outcome =
        DaySeal::append(f.dir.path(), QStringLiteral("teszttv"), kDay,
                        {DaySeal::Entry::file(f.path(kRecording), kFirstSample, 1000)});
    ASSERT_EQ(outcome.problems.size(), 1);
    EXPECT_TRUE(outcome.problems[0].contains(kRecording));
    EXPECT_TRUE(outcome.sealed.isEmpty());
    const SealFile::Contents c = SealFile::parse(f.read(QStringLiteral("teszttv-20261207.sha256")));
    EXPECT_TRUE(c.files.isEmpty());
    ASSERT_EQ(c.notes.size(), 1);
    EXPECT_TRUE(c.notes[0].startsWith(QStringLiteral("A(z) ") + kRecording +
                                      QStringLiteral(" nem pecsételhető")));
}

TEST(DaySeal, SealThatCannotBeWrittenIsAFailureNamingIt) {
    Folder f;
    f.write(kRecording, "ASF");
    // A folder in the seal's place: no file of that name can be opened.
    ASSERT_TRUE(QDir(f.dir.path()).mkdir(QStringLiteral("teszttv-20261207.sha256")));
    const DaySeal::Outcome outcome =
        DaySeal::append(f.dir.path(), QStringLiteral("teszttv"), kDay,
                        {DaySeal::Entry::file(f.path(kRecording), kFirstSample, 1000)});
    ASSERT_FALSE(outcome.ok());
    EXPECT_TRUE(outcome.problems[0].startsWith(QStringLiteral("A pecsét nem írható: ") +
                                               f.path(QStringLiteral("teszttv-20261207.sha256"))))
        << outcome.problems[0].toStdString();
    EXPECT_TRUE(outcome.sealed.isEmpty())
        << "nothing counts as sealed when the seal was not written";
}

TEST(FileDigest, MatchesSha256OfTheWholeFileAcrossChunks) {
    Folder f;
    QByteArray bytes(3 * (1 << 20) + 17, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 % 251);
    f.write(QStringLiteral("big.bin"), bytes);
    const FileDigest d = FileDigest::of(f.path(QStringLiteral("big.bin")));
    EXPECT_EQ(d.sha256Hex, sha256Hex(bytes));
    EXPECT_EQ(d.sizeBytes, bytes.size());
    std::atomic_bool cancel{true};
    EXPECT_FALSE(FileDigest::of(f.path(QStringLiteral("big.bin")), &cancel).ok());
    EXPECT_FALSE(FileDigest::of(f.path(QStringLiteral("none.bin"))).ok());
}

// --- Checking the folder ---

TEST(SealCheck, UntouchedFolderHasNoFindings) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay.addDays(-1), recordingOf(kDay.addDays(-1))).ok());
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    // Files KELM does not name as recordings are not asked about.
    f.write(QStringLiteral("preview-") + kRecording, "copy");
    f.write(QStringLiteral("preview-teszttv-idx.wmv"), "index");
    f.write(QStringLiteral("teszttv-20261207-jelentes.txt"), "report");
    f.write(QStringLiteral("jegyzet.txt"), "note");
    const SealCheck::Result r = SealCheck::checkFolder(f.dir.path());
    EXPECT_TRUE(r.findings.isEmpty()) << r.findings[0].text.toStdString();
    EXPECT_EQ(r.seals.size(), 2);
    EXPECT_EQ(r.filesChecked, 4);
}

TEST(SealCheck, OneChangedByteIsFoundAndNamesTheFile) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    f.changeByte(kRecording, 0);
    const auto found = f.findings();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].kind, SealCheck::Finding::Kind::Changed);
    EXPECT_EQ(found[0].fileName, kRecording);
    EXPECT_EQ(found[0].text, QStringLiteral("Megváltozott: ") + kRecording +
                                 QStringLiteral(" (pecsét: teszttv-20261207.sha256)"));
}

TEST(SealCheck, MissingFileIsFoundUnlessALaterSealNotesItsDeletion) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    ASSERT_TRUE(QFile::remove(f.path(kRecording)));
    auto found = f.findings();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].kind, SealCheck::Finding::Kind::Missing);
    EXPECT_EQ(found[0].fileName, kRecording);

    // Noted in another channel's seal: not this channel's deletion.
    f.write(QStringLiteral("masik-20261209.sha256"),
            (SealFile::noPreviousLine() + u'\n' + SealFile::deletionLine(kFirstSample, kRecording) +
             u'\n')
                .toUtf8());
    EXPECT_EQ(f.findings().size(), 1);

    ASSERT_TRUE(DaySeal::append(f.dir.path(), QStringLiteral("teszttv"), kDay.addDays(30),
                                {DaySeal::Entry::line(
                                    SealFile::deletionLine(kFirstSample.addDays(30), kRecording))})
                    .ok());
    found = f.findings();
    EXPECT_TRUE(found.isEmpty()) << found[0].text.toStdString();
}

TEST(SealCheck, RecordingsAndSubtitlesNoSealNamesAreFound) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    const QString unsealed = recordingOf(kDay, QStringLiteral("220000"));
    f.write(unsealed, "ASF");
    f.write(OutputFileName::subtitleName(unsealed), "sub");
    f.write(QStringLiteral("masik-20261207-100000-000010-TV512.wmv"), "other channel");
    const auto found = f.findings();
    ASSERT_EQ(found.size(), 3);
    for (const auto& finding : found) EXPECT_EQ(finding.kind, SealCheck::Finding::Kind::Unsealed);
    EXPECT_EQ(found[0].text,
              QStringLiteral("Nincs lepecsételve: masik-20261207-100000-000010-TV512.wmv"));
    // The day's check asks only about that day's recordings.
    f.write(recordingOf(kDay.addDays(1)), "ASF");
    EXPECT_EQ(f.findings(kDay).size(), 3);
    EXPECT_EQ(f.findings().size(), 4);
}

TEST(SealCheck, ChangedPreviousSealBreaksTheChain) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay.addDays(-1), recordingOf(kDay.addDays(-1))).ok());
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    // A line added to yesterday's seal afterwards: it now seals a file it did not.
    QFile yesterday(f.path(QStringLiteral("teszttv-20261206.sha256")));
    ASSERT_TRUE(yesterday.open(QIODevice::Append));
    yesterday.write(SealFile::noteLine(QStringLiteral("utólag")).toUtf8() + '\n');
    yesterday.close();
    const auto found = f.findings();
    ASSERT_EQ(kinds(found), std::vector{SealCheck::Finding::Kind::BrokenChain});
    EXPECT_EQ(found[0].fileName, QStringLiteral("teszttv-20261207.sha256"));
    EXPECT_TRUE(found[0].text.contains(
        QStringLiteral("az előző napi pecsét megváltozott: teszttv-20261206.sha256")))
        << found[0].text.toStdString();
}

TEST(SealCheck, DeletedDayInTheMiddleOfTheChainIsFound) {
    Folder f;
    for (int back : {2, 1, 0})
        ASSERT_TRUE(f.seal(kDay.addDays(-back), recordingOf(kDay.addDays(-back))).ok());
    ASSERT_TRUE(QFile::remove(f.path(QStringLiteral("teszttv-20261206.sha256"))));
    const auto found = f.findings();
    // The day's link is gone, and the day's files are sealed nowhere now.
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].kind, SealCheck::Finding::Kind::BrokenChain);
    EXPECT_TRUE(found[0].text.contains(
        QStringLiteral("hiányzik az előző napi pecsét: teszttv-20261206.sha256")));
    EXPECT_EQ(found[1].kind, SealCheck::Finding::Kind::Unsealed);
    EXPECT_EQ(found[2].kind, SealCheck::Finding::Kind::Unsealed);
}

TEST(SealCheck, SealThatClaimsNoPreviousWhileOneExistsBreaksTheChain) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay.addDays(-1), recordingOf(kDay.addDays(-1))).ok());
    // Written as if it were the first: its chain line was replaced.
    f.write(QStringLiteral("teszttv-20261207.sha256"),
            (SealFile::noPreviousLine() + u'\n').toUtf8());
    const auto found = f.findings();
    ASSERT_EQ(kinds(found), std::vector{SealCheck::Finding::Kind::BrokenChain});
    EXPECT_TRUE(found[0].text.contains(QStringLiteral("de van: teszttv-20261206.sha256")));
    // The first seal of all may say so.
    EXPECT_TRUE(f.findings(kDay.addDays(-1)).isEmpty());
}

TEST(SealCheck, LineThatIsNeitherCommentNorCheckableIsFound) {
    Folder f;
    ASSERT_TRUE(f.seal(kDay, kRecording).ok());
    QFile seal(f.path(QStringLiteral("teszttv-20261207.sha256")));
    ASSERT_TRUE(seal.open(QIODevice::Append));
    seal.write("0123  rövid kivonat\n");
    seal.close();
    const auto found = f.findings();
    ASSERT_EQ(kinds(found), std::vector{SealCheck::Finding::Kind::BadLine});
    EXPECT_TRUE(found[0].text.endsWith(QStringLiteral("6. sor"))) << found[0].text.toStdString();
}

TEST(SealCheck, FolderThatCannotBeReadIsSaidSo) {
    EXPECT_FALSE(SealCheck::checkFolder(QStringLiteral("/nincs/ilyen/mappa")).folderReadable);
}
