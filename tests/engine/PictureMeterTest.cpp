// The picture measures the signal alarms judge by, on pictures made here:
// what a live analogue source's noise does to them, and what real motion does.

#include "PictureMeter.h"
#include "capture/PictureWatch.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kelm {
namespace {

constexpr int kWidth = 384;  // the TV profile's picture
constexpr int kHeight = 288;

// A luma plane with a padded stride, as GStreamer lays them out.
struct Plane {
    int stride = kWidth + 32;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(size_t(stride) * kHeight, 255);
    std::uint8_t& at(int x, int y) { return pixels[size_t(y) * stride + x]; }
};

// A studio picture: a soft gradient with some detail, the same every time.
Plane scene() {
    Plane p;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            p.at(x, y) = std::uint8_t(60 + x / 4 + ((x / 8 + y / 8) % 2) * 20);
    return p;
}

// Gaussian noise of `sigma` levels added to every pixel, fresh for each call.
Plane withNoise(Plane p, double sigma, std::mt19937& random) {
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            p.at(x, y) = std::uint8_t(std::clamp(p.at(x, y) + noise(random), 0.0, 255.0));
    return p;
}

// Measures `pictures` pictures made by `make(i)`; the measures of each interval.
template <typename Make>
std::vector<PictureMeasures> measure(PictureMeter& meter, int pictures, Make make) {
    std::vector<PictureMeasures> out;
    for (int i = 0; i < pictures; ++i) {
        Plane p = make(i);
        PictureMeasures m;
        if (meter.add(p.pixels.data(), p.stride, kWidth, kHeight, &m)) out.push_back(m);
    }
    return out;
}

TEST(PictureMeter, NoisyStillPictureOfAnAnalogueSourceCountsAsFrozen) {
    std::mt19937 random(7);
    const Plane still = scene();
    PictureMeter meter(5);
    // Noise of 6 levels (a weak analogue signal): never bit-identical.
    const auto intervals = measure(meter, 250, [&](int) { return withNoise(still, 6.0, random); });
    ASSERT_EQ(intervals.size(), 50u);
    EXPECT_EQ(intervals.front().changedShare, 1.0) << "the first picture has nothing to compare";
    for (size_t i = 1; i < intervals.size(); ++i) {
        EXPECT_TRUE(PictureWatch::frozen(intervals[i]))
            << "interval " << i << " changed share " << intervals[i].changedShare;
    }
}

TEST(PictureMeter, ASmallMovingObjectOnAStillPictureIsMotion) {
    std::mt19937 random(8);
    const Plane background = scene();
    PictureMeter meter(5);
    // A face-sized patch (a tenth of the width) moving 2 pixels a picture,
    // with the noise.
    const auto intervals = measure(meter, 100, [&](int i) {
        Plane p = withNoise(background, 3.0, random);
        const int left = 100 + (i * 2) % 120;
        for (int y = 120; y < 170; ++y)
            for (int x = left; x < left + 40; ++x) p.at(x, y) = 230;
        return p;
    });
    for (size_t i = 1; i < intervals.size(); ++i)
        EXPECT_FALSE(PictureWatch::frozen(intervals[i])) << "interval " << i;
}

TEST(PictureMeter, BlackWithNoiseAndALogoIsBlackAndADarkSceneIsNot) {
    std::mt19937 random(9);
    PictureMeter meter(1);
    Plane black;
    for (auto& px : black.pixels) px = 16;
    for (int y = 10; y < 40; ++y)  // a channel logo, about 1 % of the picture
        for (int x = 330; x < 370; ++x) black.at(x, y) = 200;
    PictureMeasures m;
    Plane noisy = withNoise(black, 4.0, random);
    ASSERT_TRUE(meter.add(noisy.pixels.data(), noisy.stride, kWidth, kHeight, &m));
    EXPECT_TRUE(PictureWatch::black(m)) << m.meanLuma;

    Plane night;
    for (auto& px : night.pixels) px = 28;
    for (int y = 100; y < 200; ++y)
        for (int x = 100; x < 200; ++x) night.at(x, y) = 60;
    ASSERT_TRUE(meter.add(night.pixels.data(), night.stride, kWidth, kHeight, &m));
    EXPECT_FALSE(PictureWatch::black(m)) << m.meanLuma;
}

TEST(PictureMeter, PaddingBeyondThePictureIsNotMeasured) {
    PictureMeter meter(1);
    Plane black;  // padding bytes stay 255
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) black.at(x, y) = 16;
    PictureMeasures m;
    ASSERT_TRUE(meter.add(black.pixels.data(), black.stride, kWidth, kHeight, &m));
    EXPECT_DOUBLE_EQ(m.meanLuma, 16.0);
}

TEST(PictureMeter, AnIntervalReportsItsBrightestPictureAndItsLargestChange) {
    PictureMeter meter(3);
    Plane dark;
    for (auto& px : dark.pixels) px = 16;
    Plane grey;
    for (auto& px : grey.pixels) px = 128;
    PictureMeasures m;
    EXPECT_FALSE(meter.add(dark.pixels.data(), dark.stride, kWidth, kHeight, &m));
    EXPECT_FALSE(meter.add(grey.pixels.data(), grey.stride, kWidth, kHeight, &m));
    ASSERT_TRUE(meter.add(dark.pixels.data(), dark.stride, kWidth, kHeight, &m));
    EXPECT_EQ(m.pictures, 3);
    EXPECT_DOUBLE_EQ(m.meanLuma, 128.0);
    EXPECT_DOUBLE_EQ(m.changedShare, 1.0);
    // The next interval compares with the last picture of this one.
    EXPECT_FALSE(meter.add(dark.pixels.data(), dark.stride, kWidth, kHeight, &m));
    EXPECT_FALSE(meter.add(dark.pixels.data(), dark.stride, kWidth, kHeight, &m));
    ASSERT_TRUE(meter.add(dark.pixels.data(), dark.stride, kWidth, kHeight, &m));
    EXPECT_DOUBLE_EQ(m.changedShare, 0.0);
    EXPECT_DOUBLE_EQ(m.meanLuma, 16.0);
}

TEST(PictureMeter, APictureOfAnotherSizeIsNotComparedWithTheLast) {
    PictureMeter meter(1);
    std::vector<std::uint8_t> small(16 * 12, 100);
    Plane same;
    for (auto& px : same.pixels) px = 100;
    PictureMeasures m;
    ASSERT_TRUE(meter.add(same.pixels.data(), same.stride, kWidth, kHeight, &m));
    ASSERT_TRUE(meter.add(small.data(), 16, 16, 12, &m)) << "smaller than the grid";
    EXPECT_DOUBLE_EQ(m.changedShare, 1.0);
    EXPECT_DOUBLE_EQ(m.meanLuma, 100.0);
    ASSERT_TRUE(meter.add(small.data(), 16, 16, 12, &m));
    EXPECT_DOUBLE_EQ(m.changedShare, 0.0);
}

}  // namespace
}  // namespace kelm
