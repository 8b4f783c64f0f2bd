#include "PostHarness.h"

#include <gtest/gtest.h>
#include <QDirIterator>
#include <QProcess>

using namespace kelm;
using namespace kelm::test;

namespace {

QStringList filesIn(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

bool anyFileNamed(const QString& root, const QString& name) {
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (QFileInfo(it.next()).fileName() == name) return true;
    }
    return false;
}

}  // namespace

class PreviewChainTest : public ::testing::Test {
protected:
    void SetUp() override {
        p.installTiplon();
        p.installIndexer();
        media = p.h.file(QStringLiteral("Média 'x' $HOME `touch injected` $(touch injected)"));
        p.writeSettings(media, p.h.file(QStringLiteral("player")));
    }
    // Starts KELM and a recording, and lets it run for `ms`.
    void recordFor(qint64 ms) {
        p.start();
        p.record(QStringLiteral("00:00:30"));
        ASSERT_EQ(p.h.encoder().starts, 1);
        p.h.clock.advanceMs(ms);
    }
    QString l8() const { return QStringLiteral("teszttv-"); }
    QString indexed() const { return media + QStringLiteral("/preview-teszttv--idx.wmv"); }
    QString playerCall() const {
        for (const auto& c : p.launcher.calls) {
            if (c.program == p.h.file(QStringLiteral("player"))) return c.arguments.join(u'|');
        }
        return QString();
    }

    PostHarness p;
    QString media;
};

TEST_F(PreviewChainTest, PlayRunsCopyIndexSubtitlesAndPlayerInOrderInAHostileFolder) {
    recordFor(10400);
    p.form().playPreview->click();
    EXPECT_FALSE(p.form().playPreview->isEnabled()) << "busy until playback";
    EXPECT_EQ(p.form().playPreview->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(p.chain().copyTimer().isActive());
    EXPECT_EQ(p.chain().copyTimer().interval(), 3000);
    p.tickChain();

    const QStringList lines = messages(p.box());
    const QStringList expected = {
        QStringLiteral("Felvétel másolása..."),
        QStringLiteral("Fájl másolása befejeződött: ") + media,
        QStringLiteral("Fájl indexelése..."),
        QStringLiteral("preview-teszttv--idx.wmv fájl indexelése befejeződöt."),
        QStringLiteral("Timecode generálás..."),
        QStringLiteral("Timecode generálása befejeződött."),
        media + QStringLiteral("/preview-teszttv--idx.wmv felvétel lejátszása..."),
    };
    qsizetype at = lines.indexOf(expected.front());
    ASSERT_GE(at, 0) << p.box().toStdString();
    EXPECT_EQ(lines.mid(at, expected.size()), expected) << p.box().toStdString();

    EXPECT_EQ(playerCall(), indexed()) << "the indexed copy's path only";
    EXPECT_TRUE(p.form().playPreview->isEnabled());
    EXPECT_NE(p.form().playPreview->cursor().shape(), Qt::WaitCursor);
    EXPECT_FALSE(p.chain().copyTimer().isActive());
    EXPECT_FALSE(p.jobs().previewWatch().isActive());

    // the preview's own files, and no script or marker left anywhere
    const QString recordingName = QFileInfo(p.recording()).fileName();
    QStringList expectedFiles{QStringLiteral("preview-") + recordingName,
                              QStringLiteral("preview-teszttv--idx.sub"),
                              QStringLiteral("preview-teszttv--idx.wmv"), recordingName};
    expectedFiles.sort();
    EXPECT_EQ(filesIn(media), expectedFiles);
    EXPECT_FALSE(QFile::exists(p.h.file(l8() + QStringLiteral(".sh"))));
    EXPECT_FALSE(QFile::exists(p.h.file(QStringLiteral("preview") + l8() + QStringLiteral(".sh"))));
    EXPECT_FALSE(anyFileNamed(p.h.programDir(), QStringLiteral("injected")))
        << "nothing in a path was executed";

    // tiplon was given the time the encoder has run, in whole seconds
    const auto tiplon =
        std::find_if(p.launcher.calls.begin(), p.launcher.calls.end(), [&](const auto& c) {
            return c.program.endsWith(QStringLiteral("/tiplon")) &&
                   c.arguments.value(0) == indexed();
        });
    ASSERT_NE(tiplon, p.launcher.calls.end());
    EXPECT_EQ(tiplon->arguments.mid(1),
              (QStringList{QStringLiteral("32400"), QStringLiteral("10"),
                           QStringLiteral("2026.12.07"), QStringLiteral("teszttv")}));
}

TEST_F(PreviewChainTest, WhileTheCopyMarkerIsThereTheTickWaits) {
    p.launcher.runScripts = false;  // the copy has not begun yet
    recordFor(5000);
    p.form().playPreview->click();
    for (int i = 0; i < 3; ++i) p.chain().copyTick();
    EXPECT_TRUE(p.chain().copyTimer().isActive());
    EXPECT_FALSE(p.form().playPreview->isEnabled());
    EXPECT_FALSE(
        messages(p.box()).contains(QStringLiteral("Fájl másolása befejeződött: ") + media));
    EXPECT_TRUE(QFile::exists(media + QStringLiteral("/teszttv-.tmp")));
    QFile script(p.h.file(QStringLiteral("teszttv-.sh")));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    EXPECT_FALSE(script.readAll().contains('\r'));
}

namespace {

// The copy script KELM wrote, run to its end now.
void runCopyScript(PostHarness& p) {
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("/bin/sh"), {p.h.file(QStringLiteral("teszttv-.sh"))}), 0);
}

}  // namespace

class PreviewCopyFailureTest : public PreviewChainTest {
protected:
    // Asks for a preview; the copy script is written but not yet run.
    void clickPlay() {
        p.launcher.runScripts = false;
        recordFor(5000);
        boxesBefore = p.h.messenger.texts.size();
        p.form().playPreview->click();
    }
    QString previewCopy() { return media + QStringLiteral("/preview-") + recordingName(); }
    QString recordingName() { return QFileInfo(p.recording()).fileName(); }
    // The chain stopped on the copy: one box and the same line in the log,
    // nothing indexed, the button usable again and no failure file left.
    void expectStoppedOnCopy(const QByteArray& cpWord) {
        ASSERT_EQ(p.h.messenger.texts.size(), boxesBefore + 1) << p.box().toStdString();
        const QString text = p.h.messenger.texts.back();
        EXPECT_TRUE(text.startsWith(QStringLiteral("A(z) ") + p.recording() +
                                    QStringLiteral(" felvétel másolása a(z) ") + previewCopy() +
                                    QStringLiteral(" fájlba nem sikerült (")))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(cpWord))) << text.toStdString();
        EXPECT_EQ(p.h.messenger.icons.back(), Messenger::Icon::Critical);
        const QStringList lines = messages(p.box());
        EXPECT_TRUE(lines.contains(text)) << p.box().toStdString();
        EXPECT_FALSE(lines.contains(QStringLiteral("Fájl indexelése...")));
        EXPECT_FALSE(lines.contains(QStringLiteral("Fájl másolása befejeződött: ") + media));
        EXPECT_TRUE(p.form().playPreview->isEnabled());
        EXPECT_NE(p.form().playPreview->cursor().shape(), Qt::WaitCursor);
        EXPECT_FALSE(p.chain().copyTimer().isActive());
        EXPECT_FALSE(p.chain().busy());
        EXPECT_FALSE(QFile::exists(media + QStringLiteral("/teszttv-.err")));
        EXPECT_FALSE(QFileInfo(previewCopy()).exists() || QFileInfo(previewCopy()).isSymLink())
            << "a copy cut short is not left to be played";
        EXPECT_TRUE(playerCall().isEmpty());
    }
    qsizetype boxesBefore = 0;
};

TEST_F(PreviewCopyFailureTest, ACopyCutShortByAFullDiskStopsTheChainAndSaysWhy) {
    clickPlay();
    // The preview copy's name leads to /dev/full: cp opens it and every
    // write fails with ENOSPC, as on a full disk.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), previewCopy()));
    runCopyScript(p);
    p.tickChain();
    expectStoppedOnCopy("preview-");
}

TEST_F(PreviewCopyFailureTest, ARecordingThatVanishedBeforeTheCopyStopsTheChainAndSaysWhy) {
    clickPlay();
    ASSERT_TRUE(QFile::remove(p.recording()));
    runCopyScript(p);
    p.tickChain();
    expectStoppedOnCopy(recordingName().toUtf8());
}

TEST_F(PreviewChainTest, CopyThatLeftNoFileStopsTheChainWithAMessageAndFreesTheButton) {
    p.launcher.runScripts = false;
    recordFor(5000);
    const qsizetype boxesBefore = p.h.messenger.texts.size();
    p.form().playPreview->click();
    // the script ran, but the copy failed
    QFile::remove(media + QStringLiteral("/teszttv-.tmp"));
    p.tickChain();
    const QStringList lines = messages(p.box());
    EXPECT_TRUE(lines.contains(QStringLiteral("Fájl másolása befejeződött: ") + media));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.endsWith(QStringLiteral("nincs mit lejátszani."));
    }));
    ASSERT_EQ(p.h.messenger.texts.size(), boxesBefore + 1);
    EXPECT_TRUE(lines.contains(p.h.messenger.texts.back())) << "the box says what the log says";
    EXPECT_FALSE(lines.contains(QStringLiteral("Fájl indexelése...")));
    EXPECT_TRUE(p.form().playPreview->isEnabled());
    EXPECT_FALSE(p.chain().copyTimer().isActive());
    EXPECT_TRUE(playerCall().isEmpty());
}

TEST_F(PreviewChainTest, RunningIndexerMeansTheCopyIsRenamedAndSeekingIsSaidNotToWork) {
    p.processes.running << QStringLiteral("wmindexer");
    recordFor(5000);
    p.form().playPreview->click();
    p.tickChain();
    const QStringList lines = messages(p.box());
    EXPECT_TRUE(lines.contains(
        QStringLiteral("A fájl indexelése nem lehetséges mert a wmindexer már fut. A "
                       "felvételen belüli pozicionálás ez alkalommal nem működik.")));
    EXPECT_FALSE(lines.contains(QStringLiteral("Fájl indexelése...")));
    EXPECT_FALSE(
        QFile::exists(media + QStringLiteral("/preview-") + QFileInfo(p.recording()).fileName()))
        << "renamed, not copied";
    EXPECT_EQ(playerCall(), indexed());
    for (const auto& c : p.launcher.calls) {
        if (c.program == u"/bin/sh") {
            EXPECT_FALSE(QFile(c.arguments.value(0)).exists());
        }
    }
    EXPECT_TRUE(p.form().playPreview->isEnabled());
}

TEST_F(PreviewChainTest, WithoutTheIndexerProgramNoChainStarts) {
    QFile::remove(p.h.file(QStringLiteral("wmindexer")));
    recordFor(5000);
    p.form().playPreview->click();
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) ") +
                                           p.h.file(QStringLiteral("wmindexer")) +
                                           QStringLiteral(" program nem található!")));
    EXPECT_TRUE(p.launcher.calls.empty());
    EXPECT_TRUE(p.form().playPreview->isEnabled());
}

TEST_F(PreviewChainTest, WithoutARecordingTheOperatorIsToldAndTheButtonStaysUsable) {
    p.start();
    const qsizetype before = p.h.messenger.texts.size();
    p.form().playPreview->click();
    ASSERT_EQ(p.h.messenger.texts.mid(before), QStringList{QStringLiteral("Nincs rögzítés!")});
    EXPECT_EQ(p.h.messenger.icons.back(), Messenger::Icon::Warning);
    EXPECT_TRUE(p.form().playPreview->isEnabled());
    EXPECT_TRUE(p.launcher.calls.empty());
}

TEST_F(PreviewChainTest, MissingTiplonStopsTheChainBeforePlaybackAndFreesTheButton) {
    QFile::remove(p.h.file(QStringLiteral("tiplon")));
    recordFor(5000);
    p.form().playPreview->click();
    p.tickChain();
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) ") +
                                           p.h.file(QStringLiteral("tiplon")) +
                                           QStringLiteral(" program nem található!")));
    EXPECT_TRUE(playerCall().isEmpty());
    EXPECT_FALSE(p.chain().busy());
    EXPECT_TRUE(p.form().playPreview->isEnabled());
    EXPECT_FALSE(p.jobs().previewWatch().isActive());
}

TEST_F(PreviewChainTest, ShellThatCannotStartEndsTheChainWithoutLeavingItsMarker) {
    recordFor(5000);
    p.launcher.failing = true;
    p.form().playPreview->click();
    EXPECT_TRUE(messages(p.box()).contains(QStringLiteral("A(z) /bin/sh program nem indítható!")));
    EXPECT_FALSE(QFile::exists(media + QStringLiteral("/teszttv-.tmp")));
    EXPECT_FALSE(QFile::exists(p.h.file(QStringLiteral("teszttv-.sh"))));
    EXPECT_TRUE(p.form().playPreview->isEnabled());
}

TEST_F(PreviewChainTest, NextPreviewClosesTheOnlyPlayerAndRemovesOnlyThePreviousPreviewsFiles) {
    recordFor(5000);
    EXPECT_TRUE(p.windows->searches.isEmpty());
    p.form().playPreview->click();
    EXPECT_EQ(p.windows->searches, QStringList{QStringLiteral("preview--idx.wmv")})
        << "no previous preview";
    p.tickChain();
    ASSERT_FALSE(playerCall().isEmpty());
    // a recording of another channel named "preview" lies in the same folder
    const QString other = media + QStringLiteral("/preview-20261207-080000-000030-TV512.wmv");
    QFile(other).open(QIODevice::WriteOnly);

    p.windows->titles = {QStringLiteral("preview-teszttv--idx.wmv - mpv"), QStringLiteral("KELM")};
    p.launcher.runScripts = false;  // look at the folder before the new copy
    p.h.clock.advanceMs(2000);
    p.form().playPreview->click();
    EXPECT_EQ(p.windows->searches.back(), QStringLiteral("preview-teszttv--idx.wmv"));
    EXPECT_EQ(p.windows->closed, (QList<PlayerWindows::WindowId>{1}));
    EXPECT_FALSE(QFile::exists(indexed()));
    EXPECT_FALSE(QFile::exists(media + QStringLiteral("/preview-teszttv--idx.sub")));
    EXPECT_FALSE(
        QFile::exists(media + QStringLiteral("/preview-") + QFileInfo(p.recording()).fileName()));
    EXPECT_TRUE(QFile::exists(other));
    EXPECT_TRUE(QFile::exists(p.recording()));
}

TEST_F(PreviewChainTest, TwoWindowsWithThePreviewsNameCloseNeither) {
    recordFor(5000);
    p.windows->titles = {QStringLiteral("preview--idx.wmv - mpv"),
                         QStringLiteral("preview--idx.wmv (2)")};
    p.form().playPreview->click();
    EXPECT_TRUE(p.windows->closed.isEmpty());
}
