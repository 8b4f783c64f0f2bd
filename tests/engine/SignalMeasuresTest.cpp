// The engine's measures of what it records, from the real GStreamer graph:
// the levels of the recorded sound and the measures of the recorded
// pictures, only while a recording runs.

#include "EngineFactory.h"
#include "EngineTestSupport.h"
#include "capture/PictureWatch.h"
#include "capture/SilenceWatch.h"
#include "encoder/EncoderProfile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace kelm {
namespace {

using test::spin;
using test::waitFor;

class SignalMeasures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        EncoderStatus status;
        m_encoder = createRecordingEngine({}, &status);
        ASSERT_TRUE(m_encoder) << status.description.toStdString();
        QObject::connect(m_encoder.get(), &RecordingEngine::soundMeasured,
                         [this](const SoundLevels& l) { sound.push_back(l); });
        QObject::connect(m_encoder.get(), &RecordingEngine::pictureMeasured,
                         [this](const PictureMeasures& m) { pictures.push_back(m); });
    }

    // Records `ms` of these sources with the TV profile, then stops.
    void record(const QString& video, const QString& audio, int ms) {
        m_encoder->setVideoInput(video);
        m_encoder->setAudioInput(audio);
        m_encoder->setProfile(EncoderProfile::builtInText(BuiltInProfile::Tv));
        m_encoder->setOutputFileName(m_dir.filePath(QStringLiteral("measured.wmv")));
        const EncoderStatus prepared = m_encoder->prepareToEncode();
        ASSERT_TRUE(prepared.ok()) << prepared.description.toStdString();
        spin(500);
        EXPECT_TRUE(sound.empty() && pictures.empty()) << "the live sources are not measured";
        const EncoderStatus started = m_encoder->start();
        ASSERT_TRUE(started.ok()) << started.description.toStdString();
        spin(ms);
        m_encoder->stop();
        ASSERT_EQ(m_encoder->runState(), RunState::Stopped);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<RecordingEngine> m_encoder;
    std::vector<SoundLevels> sound;
    std::vector<PictureMeasures> pictures;
};

TEST_F(SignalMeasures, RecordedToneIsMeasuredAtItsLevelTenTimesASecond) {
    record(QStringLiteral("TEST://ball"), QStringLiteral("TEST://"), 3000);
    // A sine at 0.3 of full scale: RMS 0.3 / sqrt(2), -13.5 dBFS.
    EXPECT_GE(sound.size(), 25u);
    EXPECT_LE(sound.size(), 35u);
    for (const SoundLevels& l : sound) {
        ASSERT_EQ(l.rmsDb.size(), 2) << "the TV profile records two channels";
        for (double db : l.rmsDb) {
            EXPECT_GT(db, -15.0);
            EXPECT_LT(db, -12.0);
        }
        EXPECT_FALSE(SilenceWatch::silent(l));
    }
}

TEST_F(SignalMeasures, RecordedSilenceLiesFarBelowTheLimit) {
    record(QStringLiteral("TEST://ball"), QStringLiteral("TEST://silence"), 2000);
    ASSERT_GE(sound.size(), 15u);
    for (const SoundLevels& l : sound) EXPECT_TRUE(SilenceWatch::silent(l));
    EXPECT_LT(*std::max_element(sound.back().rmsDb.cbegin(), sound.back().rmsDb.cend()), -90.0);
}

TEST_F(SignalMeasures, MovingPictureIsNeitherBlackNorFrozen) {
    record(QStringLiteral("TEST://snow"), QStringLiteral("TEST://"), 3000);
    // 25 pictures a second in fives.
    EXPECT_GE(pictures.size(), 12u);
    EXPECT_LE(pictures.size(), 17u);
    for (const PictureMeasures& m : pictures) {
        EXPECT_EQ(m.pictures, 5);
        EXPECT_FALSE(PictureWatch::black(m)) << m.meanLuma;
        EXPECT_FALSE(PictureWatch::frozen(m)) << m.changedShare;
    }
}

TEST_F(SignalMeasures, StillTestCardIsFrozenAfterItsFirstPicture) {
    record(QStringLiteral("TEST://colors"), QStringLiteral("TEST://"), 2000);
    ASSERT_GE(pictures.size(), 8u);
    EXPECT_EQ(pictures.front().changedShare, 1.0);
    for (size_t i = 1; i < pictures.size(); ++i) {
        EXPECT_TRUE(PictureWatch::frozen(pictures[i])) << pictures[i].changedShare;
        EXPECT_GT(pictures[i].meanLuma, 60.0);
    }
}

TEST_F(SignalMeasures, BlackPictureIsBlackEvenWithASmallObjectMovingOnIt) {
    record(QStringLiteral("TEST://ball"), QStringLiteral("TEST://"), 2000);
    ASSERT_GE(pictures.size(), 8u);
    for (const PictureMeasures& m : pictures) EXPECT_TRUE(PictureWatch::black(m)) << m.meanLuma;
}

TEST_F(SignalMeasures, NothingIsMeasuredAfterTheRecordingEnds) {
    record(QStringLiteral("TEST://ball"), QStringLiteral("TEST://"), 1500);
    spin(200);  // measures posted before the stop are dropped with it
    const size_t soundAtEnd = sound.size();
    const size_t picturesAtEnd = pictures.size();
    spin(1000);
    EXPECT_EQ(sound.size(), soundAtEnd);
    EXPECT_EQ(pictures.size(), picturesAtEnd);
    // The next recording is measured again from its own first picture.
    m_encoder->setOutputFileName(m_dir.filePath(QStringLiteral("again.wmv")));
    ASSERT_TRUE(m_encoder->start().ok());
    ASSERT_TRUE(waitFor([&] { return pictures.size() > picturesAtEnd; }, 3000));
    EXPECT_EQ(pictures[picturesAtEnd].changedShare, 1.0);
    EXPECT_TRUE(waitFor([&] { return sound.size() > soundAtEnd; }, 3000));
    m_encoder->stop();
}

}  // namespace
}  // namespace kelm
