// Every failure the recorder selects on, from the real engine: the right
// number, the run state left at Stopped, and nothing left running or written.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "encoder/EncoderProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::waitFor;

class EngineFailure : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // GStreamer and Qt's MIME database keep a few process-wide threads and
        // descriptors from their first use on; they are not the engine's to
        // release. One live start and one file-type lookup set them up.
        {
            auto warmUp = makeEncoder();
            test::useTestSources(*warmUp);
            ASSERT_TRUE(warmUp->prepareToEncode().ok());
            QMimeDatabase().mimeTypeForFile(QStringLiteral(KELM_SOURCE_DIR "/CMakeLists.txt"));
        }
        m_threadsBefore = test::threadCount();
        m_fdsBefore = test::openFdCount();
        m_fdsListBefore = test::openFds();
    }

    std::unique_ptr<RecordingEngine> makeEncoder(EngineOptions options = {}) {
        EncoderStatus status;
        auto encoder = createRecordingEngine(std::move(options), &status);
        EXPECT_TRUE(status.ok()) << status.description.toStdString();
        if (encoder) {
            QObject::connect(encoder.get(), &RecordingEngine::runStateChanged,
                             [this](RunState s) { m_states.push_back(s); });
            QObject::connect(encoder.get(), &RecordingEngine::errorOccurred,
                             [this](const EncoderStatus&) { ++m_errors; });
        }
        return encoder;
    }

    // A TV recording set up from the live test sources into `name`.
    std::unique_ptr<RecordingEngine> tvEncoder(const QString& name, EngineOptions options = {}) {
        auto encoder = makeEncoder(std::move(options));
        test::useTestSources(*encoder);
        encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
        encoder->setOutputFileName(m_dir.filePath(name));
        return encoder;
    }

    // After a failed start: stopped, no state change signalled, no thread or
    // descriptor of the attempt left behind.
    void expectNothingLeft(RecordingEngine& encoder) {
        EXPECT_EQ(encoder.runState(), RunState::Stopped);
        test::spin(100);
        EXPECT_TRUE(m_states.empty());
        EXPECT_EQ(m_errors, 0) << "a refused start is reported by its return value only";
        EXPECT_TRUE(waitFor([&] { return test::threadCount() <= m_threadsBefore; }, 3000))
            << test::threadCount() << " threads, " << m_threadsBefore << " before";
        EXPECT_EQ(test::openFdCount(), m_fdsBefore)
            << test::openFds().join(QStringLiteral("\n")).toStdString() << "\nbefore:\n"
            << m_fdsListBefore.join(QStringLiteral("\n")).toStdString();
    }

    QByteArray fileBytes(const QString& name) const {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    int m_threadsBefore = 0;
    int m_fdsBefore = 0;
    QStringList m_fdsListBefore;
    std::vector<RunState> m_states;
    int m_errors = 0;
};

TEST_F(EngineFailure, BrokenProfileXmlIsRefusedAtStartNotWhenSet) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    QString broken = EncoderProfile::builtInText(BuiltInProfile::Tv);
    broken.chop(40);
    EXPECT_TRUE(encoder->setProfile(broken).ok());
    const EncoderStatus status = encoder->start();
    EXPECT_EQ(status.code, EncoderErrorCode::ProfileRefused);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("a.wmv"))));
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, ProfileAskingForAnOddPictureSizeIsRefused) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv)
                            .replace(QStringLiteral("\"384\""), QStringLiteral("\"383\"")));
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::ProfileRefused);
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, MissingVideoEncoderIsReportedAsVideoCodecMissing) {
    EngineOptions withoutWmv2;
    withoutWmv2.encoderAvailable = [](const QString& name) {
        return name != QStringLiteral("wmv2");
    };
    auto encoder = tvEncoder(QStringLiteral("a.wmv"), withoutWmv2);
    const EncoderStatus status = encoder->start();
    EXPECT_EQ(status.code, EncoderErrorCode::VideoCodecMissing);
    EXPECT_TRUE(status.description.contains(QStringLiteral("wmv2")));
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("a.wmv"))));
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, MissingAudioEncoderIsACodecFailure) {
    EngineOptions withoutWma;
    withoutWma.encoderAvailable = [](const QString& name) {
        return name != QStringLiteral("wmav2");
    };
    auto encoder = tvEncoder(QStringLiteral("a.wmv"), withoutWma);
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::Codec);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("a.wmv"))));
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, SoundCardThatDoesNotExistIsASoundCardFailure) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    EXPECT_TRUE(encoder->setAudioInput(QStringLiteral("Device://KELM no such card")).ok())
        << "the card is looked for when the sources start";
    EXPECT_EQ(encoder->prepareToEncode().code, EncoderErrorCode::SoundCard);
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::SoundCard);
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("a.wmv"))));
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, AudioInputWithoutANameIsRefusedWhenSet) {
    auto encoder = makeEncoder();
    EXPECT_EQ(encoder->setAudioInput(QStringLiteral("Device://")).code,
              EncoderErrorCode::SoundCard);
    EXPECT_EQ(encoder->setAudioInput(QString()).code, EncoderErrorCode::SoundCard);
    EXPECT_EQ(encoder->audioInput(), QString());
}

TEST_F(EngineFailure, CaptureDeviceThatDoesNotExistIsAVideoInputFailure) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    encoder->setVideoInput(QStringLiteral("DEVICE://KELM No Such Capture Card"));
    EXPECT_EQ(encoder->prepareToEncode().code, EncoderErrorCode::VideoInput);
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::VideoInput);
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, PictureFileThatDoesNotExistIsAVideoInputFailure) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    encoder->setVideoInput(m_dir.filePath(QStringLiteral("missing.png")));
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::VideoInput);
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, FileThatIsNotAPictureOrVideoIsAVideoInputFailure) {
    QFile junk(m_dir.filePath(QStringLiteral("junk.png")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    encoder->setVideoInput(junk.fileName());
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::VideoInput);
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, NoOutputFileNameIsAnInvalidArgument) {
    auto encoder = tvEncoder(QString());
    encoder->setOutputFileName(QString());
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::Codec);
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, OutputFolderThatDoesNotExistFailsWithoutRunning) {
    auto encoder = tvEncoder(QStringLiteral("no/such/folder/a.wmv"));
    const EncoderStatus status = encoder->start();
    EXPECT_EQ(status.code, EncoderErrorCode::OutputFileCreate) << "not a codec failure";
    EXPECT_TRUE(status.description.contains(QStringLiteral("no/such/folder/a.wmv")))
        << status.description.toStdString();
    EXPECT_TRUE(status.description.contains(QString::fromLocal8Bit(std::strerror(ENOENT))))
        << status.description.toStdString();
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, SecondRecorderOfTheSameFileGetsFileInUse) {
    auto first = tvEncoder(QStringLiteral("same.wmv"));
    ASSERT_TRUE(first->start().ok());
    test::spin(500);
    const qint64 sizeBefore = QFile(m_dir.filePath(QStringLiteral("same.wmv"))).size();
    ASSERT_GT(sizeBefore, 0);

    auto second = tvEncoder(QStringLiteral("same.wmv"));
    const EncoderStatus status = second->start();
    EXPECT_EQ(status.code, EncoderErrorCode::FileInUse);
    EXPECT_EQ(status.signedCode(), -2147024864);
    EXPECT_EQ(second->runState(), RunState::Stopped);
    EXPECT_EQ(first->runState(), RunState::Running);
    test::spin(500);
    EXPECT_GT(QFile(m_dir.filePath(QStringLiteral("same.wmv"))).size(), sizeBefore)
        << "the refused start must not touch the file being recorded";

    // The renamed recording the recorder then makes works beside it.
    second->setOutputFileName(m_dir.filePath(QStringLiteral("same.wmv.FIGYELEM.wmv")));
    const EncoderStatus renamed = second->start();
    ASSERT_TRUE(renamed.ok()) << renamed.description.toStdString();
    test::spin(1000);
    first->stop();
    second->stop();
    EXPECT_GE(test::decodedVideoFrames(m_dir.filePath(QStringLiteral("same.wmv"))), 25);
    EXPECT_GE(test::decodedVideoFrames(m_dir.filePath(QStringLiteral("same.wmv.FIGYELEM.wmv"))),
              20);

    // Once the first has stopped, its finished recording still takes the name.
    const QByteArray finished = fileBytes(QStringLiteral("same.wmv"));
    second->setOutputFileName(m_dir.filePath(QStringLiteral("same.wmv")));
    const EncoderStatus again = second->start();
    EXPECT_EQ(again.code, EncoderErrorCode::FileExists);
    EXPECT_TRUE(again.description.endsWith(QStringLiteral("same.wmv already exists")))
        << again.description.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("same.wmv")), finished);
}

// A second recording of the same day, start and length gets the same name:
// the first one is evidence and stays as it was, byte for byte.
TEST_F(EngineFailure, ExistingRecordingIsNeitherTruncatedNorWrittenInto) {
    {
        auto first = tvEncoder(QStringLiteral("1X.wmv"));
        ASSERT_TRUE(first->start().ok());
        test::spin(700);
        first->stop();
    }
    const QByteArray before = fileBytes(QStringLiteral("1X.wmv"));
    ASSERT_GT(before.size(), 10000);
    m_threadsBefore = test::threadCount();
    m_fdsBefore = test::openFdCount();
    m_fdsListBefore = test::openFds();
    m_states.clear();
    m_errors = 0;

    auto second = tvEncoder(QStringLiteral("1X.wmv"));
    const EncoderStatus status = second->start();
    EXPECT_EQ(status.code, EncoderErrorCode::FileExists);
    const QString path = m_dir.filePath(QStringLiteral("1X.wmv"));
    EXPECT_EQ(status.description, path + QStringLiteral(" already exists"));
    EXPECT_EQ(second->lastFailure().description, status.description);
    EXPECT_EQ(fileBytes(QStringLiteral("1X.wmv")), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("1X.wmv")})
        << "a refused start leaves nothing beside it";
    expectNothingLeft(*second);
}

TEST_F(EngineFailure, EmptyFileOfTheSameNameTakesTheNameAsWell) {
    QFile empty(m_dir.filePath(QStringLiteral("e.wmv")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    auto encoder = tvEncoder(QStringLiteral("e.wmv"));
    EXPECT_EQ(encoder->start().code, EncoderErrorCode::FileExists);
    EXPECT_TRUE(QFileInfo::exists(empty.fileName()));
    EXPECT_EQ(QFileInfo(empty.fileName()).size(), 0);
    expectNothingLeft(*encoder);
}

// The cause the recorder logs: the failure's own words with the device or file
// it concerns, on one line, the same as the failure's description; a later
// successful start clears it.
TEST_F(EngineFailure, CauseOfAFailureNamesTheDeviceAndGoesWithTheNextSuccessfulStart) {
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    EXPECT_EQ(encoder->lastFailure().description, QString()) << "no failure yet";
    encoder->setAudioInput(QStringLiteral("Device://KELM no such card"));
    const EncoderStatus prepared = encoder->prepareToEncode();
    ASSERT_FALSE(prepared.ok());
    EXPECT_EQ(encoder->lastFailure().description, prepared.description);
    EXPECT_TRUE(encoder->lastFailure().description.contains(QStringLiteral("KELM no such card")))
        << encoder->lastFailure().description.toStdString();
    EXPECT_FALSE(encoder->lastFailure().description.contains(QLatin1Char('\n')));

    encoder->setAudioInput(QStringLiteral("TEST://"));
    ASSERT_TRUE(encoder->start().ok());
    EXPECT_EQ(encoder->lastFailure().description, QString())
        << "a recording that runs has no cause";
    encoder->stop();
    EXPECT_EQ(encoder->lastFailure().description, QString()) << "a stop asked for is no failure";
}

TEST_F(EngineFailure, CauseOfAnUnwritableOutputNamesThePathAndTheSystemsReason) {
    auto encoder = tvEncoder(QStringLiteral("no/such/folder/a.wmv"));
    const EncoderStatus status = encoder->start();
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(encoder->lastFailure().description.contains(
        m_dir.filePath(QStringLiteral("no/such/folder/a.wmv"))))
        << encoder->lastFailure().description.toStdString();
    EXPECT_TRUE(
        encoder->lastFailure().description.contains(QStringLiteral("No such file or directory")))
        << encoder->lastFailure().description.toStdString();
    expectNothingLeft(*encoder);
}

TEST_F(EngineFailure, CauseOfAnUnplayableVideoFileCarriesGStreamersWordsAndThePath) {
    QFile junk(m_dir.filePath(QStringLiteral("junk.avi")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("RIFF");
    junk.write(QByteArray(4096, '\x01'));
    junk.close();
    auto encoder = tvEncoder(QStringLiteral("a.wmv"));
    encoder->setVideoInput(junk.fileName());
    const EncoderStatus status = encoder->start();
    EXPECT_EQ(status.code, EncoderErrorCode::VideoInput);
    const QString cause = encoder->lastFailure().description;
    EXPECT_TRUE(cause.startsWith(QStringLiteral("video file ") + junk.fileName() + u':'))
        << cause.toStdString();
    EXPECT_GT(cause.size(), junk.fileName().size() + 20) << "GStreamer's reason follows the path";
    expectNothingLeft(*encoder);
}

}  // namespace
}  // namespace kelm
