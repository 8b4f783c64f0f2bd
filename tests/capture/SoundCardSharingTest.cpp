#include "capture/SoundCardSharing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// One opener per sound card: which names open the same device, and the
// hand-over between the level meters and the recording engine.

namespace kelm {
namespace {

using Clock = std::chrono::steady_clock;

TEST(SoundCardSharing, NamesOfTheSameDeviceAreToldFromOthers) {
    struct Row {
        const char* a;
        const char* b;
        bool same;
    };
    const Row rows[] = {
        {"hw:CARD=PCH,DEV=0", "hw:CARD=PCH,DEV=0", true},
        {"plughw:CARD=PCH,DEV=0", "hw:CARD=PCH,DEV=0", true},
        {"front:CARD=PCH,DEV=0", "hw:CARD=PCH", true},  // DEV defaults to 0
        {"hw:1,0", "plughw:1", true},
        {"hw:CARD=PCH,DEV=1", "hw:CARD=PCH,DEV=0", false},
        {"hw:CARD=PCH,DEV=0", "hw:CARD=USB,DEV=0", false},
        {"default", "pulse", false},
        {"pulse", "pulse", true},
        {"kelmfake", "kelmfake", true},
        {"", "", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SoundCardSharing::sameDeviceByName(QString::fromLatin1(row.a),
                                                     QString::fromLatin1(row.b)),
                  row.same)
            << row.a << " / " << row.b;
    }
}

TEST(SoundCardSharing, AClaimWaitsUntilTheMetersHaveClosedTheCard) {
    auto sharing = SoundCardSharing::create();
    ASSERT_TRUE(sharing->beginMeterCapture(QStringLiteral("hw:CARD=X,DEV=0")));
    std::thread meters([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        sharing->endMeterCapture(QStringLiteral("hw:CARD=X,DEV=0"));
    });
    const auto began = Clock::now();
    const auto claim = sharing->claim(QStringLiteral("plughw:CARD=X,DEV=0"), 2000);
    const auto waited = Clock::now() - began;
    meters.join();
    EXPECT_TRUE(claim->metersLetGo());
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_LT(waited, std::chrono::milliseconds(1000));
}

TEST(SoundCardSharing, AClaimGivesUpOnMetersThatDoNotLetGo) {
    auto sharing = SoundCardSharing::create();
    ASSERT_TRUE(sharing->beginMeterCapture(QStringLiteral("hw:CARD=X,DEV=0")));
    const auto began = Clock::now();
    const auto claim = sharing->claim(QStringLiteral("hw:CARD=X,DEV=0"), 100);
    EXPECT_FALSE(claim->metersLetGo());
    EXPECT_LT(Clock::now() - began, std::chrono::milliseconds(600));
}

TEST(SoundCardSharing, TheMetersMayNotOpenAClaimedCardUntilTheClaimGoes) {
    auto sharing = SoundCardSharing::create();
    auto claim = sharing->claim(QStringLiteral("hw:CARD=X,DEV=0"), 100);
    EXPECT_TRUE(claim->metersLetGo()) << "nothing to wait for";
    EXPECT_TRUE(sharing->engineHolds(QStringLiteral("front:CARD=X,DEV=0")));
    EXPECT_FALSE(sharing->beginMeterCapture(QStringLiteral("front:CARD=X,DEV=0")));
    EXPECT_TRUE(sharing->beginMeterCapture(QStringLiteral("hw:CARD=Y,DEV=0"))) << "another card";
    sharing->endMeterCapture(QStringLiteral("hw:CARD=Y,DEV=0"));
    claim.reset();
    EXPECT_FALSE(sharing->engineHolds(QStringLiteral("front:CARD=X,DEV=0")));
    EXPECT_TRUE(sharing->beginMeterCapture(QStringLiteral("front:CARD=X,DEV=0")));
}

TEST(SoundCardSharing, TheEnginesSoundReachesTheMetersOnlyForTheCardTheyShow) {
    auto sharing = SoundCardSharing::create();
    int received = 0;
    sharing->setMeterCard(QStringLiteral("hw:CARD=X,DEV=0"),
                          [&](const std::int16_t*, int frames) { received += frames; });
    const std::int16_t frames[8] = {};
    sharing->claim(QStringLiteral("hw:CARD=Y,DEV=0"), 0)->deliver(frames, 4);
    EXPECT_EQ(received, 0);
    auto claim = sharing->claim(QStringLiteral("plughw:CARD=X,DEV=0"), 0);
    claim->deliver(frames, 4);
    EXPECT_EQ(received, 4);
    sharing->setMeterCard({}, {});
    claim->deliver(frames, 4);
    EXPECT_EQ(received, 4) << "the meters stopped";
}

}  // namespace
}  // namespace kelm
