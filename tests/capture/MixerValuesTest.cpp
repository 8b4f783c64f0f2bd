#include "support/FakeCapture.h"

#include <gtest/gtest.h>

namespace kelm {
namespace {

using test::FakeMixer;
using test::FakeMixerModel;

TEST(MixerValues, ASelectorReadsAsItsFirstMarkedItemOrItsItemCount) {
    FakeMixerModel model;
    const int selector = model.addControl(QStringLiteral("Source"), 0, 3, 2, 4);
    FakeMixer mixer(model);
    const MixerControl c = model.controls[size_t(selector)].info;
    EXPECT_EQ(MixerValues::get(mixer, c), 2);
    model.controls[size_t(selector)].value = -1;
    EXPECT_EQ(MixerValues::get(mixer, c), 4) << "no item marked";
}

TEST(MixerValues, SettingASelectorMarksOneItem) {
    FakeMixerModel model;
    const int selector = model.addControl(QStringLiteral("Source"), 0, 4, 0, 5);
    FakeMixer mixer(model);
    const MixerControl c = model.controls[size_t(selector)].info;
    ASSERT_TRUE(MixerValues::set(mixer, c, 3));
    EXPECT_EQ(mixer.lastWritten, (std::vector<std::uint32_t>{0, 0, 0, 1, 0}));
    EXPECT_FALSE(MixerValues::set(mixer, c, 5)) << "no such item";
    EXPECT_FALSE(MixerValues::set(mixer, c, -1));
    EXPECT_EQ(model.controls[size_t(selector)].value, 3);
}

TEST(MixerValues, ASelectorOfMoreItemsThanTheBufferHoldsIsCut) {
    FakeMixerModel model;
    const int selector = model.addControl(QStringLiteral("Source"), 0, 59, -1, 60);
    FakeMixer mixer(model);
    const MixerControl c = model.controls[size_t(selector)].info;
    EXPECT_EQ(MixerValues::get(mixer, c), MixerValues::kValueSlots);
    EXPECT_TRUE(MixerValues::set(mixer, c, 50));
    EXPECT_EQ(mixer.lastWritten.size(), size_t(MixerValues::kValueSlots));
    EXPECT_FALSE(MixerValues::set(mixer, c, 51));
}

TEST(MixerValues, LevelsAndSwitchesAreOneValue) {
    FakeMixerModel model;
    const int volume = model.addControl(QStringLiteral("Volume"), 0, 65536, 40000);
    FakeMixer mixer(model);
    const MixerControl c = model.controls[size_t(volume)].info;
    EXPECT_EQ(MixerValues::get(mixer, c), 40000);
    ASSERT_TRUE(MixerValues::set(mixer, c, 12345));
    EXPECT_EQ(mixer.lastWritten, (std::vector<std::uint32_t>{12345}));
    EXPECT_FALSE(MixerValues::set(mixer, c, 70000)) << "the mixer refuses values beyond the bounds";
    model.failReads = true;
    EXPECT_EQ(MixerValues::get(mixer, c), 0) << "a failed read gives 0";
    model.refuseWrites = true;
    EXPECT_FALSE(MixerValues::set(mixer, c, 1));
}

}  // namespace
}  // namespace kelm
