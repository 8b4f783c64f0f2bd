// The index builder program on copies of recordings that were still being
// written, as the preview chain hands them over.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelm {
namespace {

const QString kIndexer = QStringLiteral(KELM_PROGRAM_DIR "/wmindexer");

// The GUID of ASF's simple index object, as it lies in the file.
const QByteArray kSimpleIndexGuid = QByteArray::fromHex("90080033B1E5CF1189F400A0C90349CB");

bool hasIndex(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.readAll().contains(kSimpleIndexGuid);
}

class WmIndexer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(WmIndexer, CopyOfARunningRecordingGetsAnIndexAndKeepsItsPictures) {
    EncoderStatus status;
    auto encoder = createRecordingEngine({}, &status);
    ASSERT_TRUE(encoder);
    test::useTestSources(*encoder);
    encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    encoder->setOutputFileName(path(QStringLiteral("running.wmv")));
    ASSERT_TRUE(encoder->start().ok());
    test::spin(3000);
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("running.wmv")),
                            path(QStringLiteral("preview-running.wmv"))));
    encoder->stop();
    ASSERT_FALSE(hasIndex(path(QStringLiteral("preview-running.wmv"))))
        << "a running recording has no index yet";

    const auto run = test::runTool(
        kIndexer, {QStringLiteral("-i"), path(QStringLiteral("preview-running.wmv")),
                   QStringLiteral("-o"), path(QStringLiteral("preview-running-idx.wmv"))});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(hasIndex(path(QStringLiteral("preview-running-idx.wmv"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("preview-running-idx.wmv.part"))));
    const QJsonObject video = test::streamOf(
        test::probe(path(QStringLiteral("preview-running-idx.wmv"))), QStringLiteral("video"));
    EXPECT_EQ(video.value(QStringLiteral("codec_name")).toString(), QStringLiteral("wmv2"));
    // The copy holds what was flushed when it was taken: nearly three seconds.
    EXPECT_GE(test::decodedVideoFrames(path(QStringLiteral("preview-running-idx.wmv"))), 60);
}

// A copy taken while the recording grew ends wherever the copy stopped,
// usually inside a data packet; that packet is left out whole.
TEST_F(WmIndexer, TornLastPacketOfAGrowingCopyIsLeftOutAndTheOutputDecodesCleanly) {
    EncoderStatus status;
    auto encoder = createRecordingEngine({}, &status);
    ASSERT_TRUE(encoder);
    test::useTestSources(*encoder);
    encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
    encoder->setOutputFileName(path(QStringLiteral("running.wmv")));
    ASSERT_TRUE(encoder->start().ok());
    test::spin(3000);
    QFile running(path(QStringLiteral("running.wmv")));
    ASSERT_TRUE(running.open(QIODevice::ReadOnly));
    const QByteArray whole = running.readAll();
    encoder->stop();
    // cuts inside the last packet, at several distances from its start
    for (const int cutBytes : {1, 777, 1601, 3199}) {
        const QString torn = path(QStringLiteral("torn-%1.wmv").arg(cutBytes));
        const QString indexed = path(QStringLiteral("torn-%1-idx.wmv").arg(cutBytes));
        QFile out(torn);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(whole.left(whole.size() - cutBytes));
        out.close();
        const auto run =
            test::runTool(kIndexer, {QStringLiteral("-i"), torn, QStringLiteral("-o"), indexed});
        ASSERT_EQ(run.exitCode, 0) << cutBytes << run.err.toStdString();
        const auto decode = test::runTool(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), indexed,
             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
        EXPECT_EQ(decode.exitCode, 0) << cutBytes;
        EXPECT_TRUE(decode.err.trimmed().isEmpty()) << cutBytes << ": " << decode.err.toStdString();
        EXPECT_GE(test::decodedVideoFrames(indexed), 50) << cutBytes;
    }
}

TEST_F(WmIndexer, InputThatCannotBeReadFailsWithoutAnOutput) {
    const auto run =
        test::runTool(kIndexer, {QStringLiteral("-i"), path(QStringLiteral("missing.wmv")),
                                 QStringLiteral("-o"), path(QStringLiteral("out.wmv"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("missing.wmv"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.wmv"))));
}

TEST_F(WmIndexer, CommandLineWithoutBothFilesIsRefused) {
    EXPECT_EQ(
        test::runTool(kIndexer, {QStringLiteral("-i"), path(QStringLiteral("a.wmv"))}).exitCode, 2);
    EXPECT_EQ(
        test::runTool(kIndexer, {QStringLiteral("-o"), path(QStringLiteral("a.wmv"))}).exitCode, 2);
    EXPECT_EQ(test::runTool(kIndexer, {}).exitCode, 2);
}

}  // namespace
}  // namespace kelm
