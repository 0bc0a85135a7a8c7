#include "panel/quick_adjust.h"

#include <gtest/gtest.h>

#include <climits>

#include "resources/resource_ids.h"

namespace {

TEST(QuickAdjust, EachCommandHasItsTargetAndItsPlace) {
    const QuickTarget* brightness = QuickTargetOf(kCmdQuickBrightness);
    ASSERT_NE(brightness, nullptr);
    EXPECT_FALSE(brightness->ratio);
    EXPECT_EQ(brightness->property, kPropBrightness);
    EXPECT_EQ(brightness->screenY, 260);
    const QuickTarget* ratio = QuickTargetOf(kCmdQuickRatio);
    ASSERT_NE(ratio, nullptr);
    EXPECT_TRUE(ratio->ratio);
    EXPECT_STREQ(ratio->titleKey, "tip ratio");
    EXPECT_EQ(QuickTargetOf(kCmdQuickGain)->property, kPropGain);
    EXPECT_EQ(QuickTargetOf(kCmdQuickSaturation)->screenY, 480);
    EXPECT_EQ(QuickTargetOf(3098), nullptr);  // between the targets, none of them
    EXPECT_EQ(QuickTargetOf(kCmdPhoto), nullptr);
}

TEST(QuickAdjust, RatioStartsAtTheZoomsStepOrWhereItWasLeft) {
    const QuickSlider at125 = RatioSlider(125, 0);
    EXPECT_EQ(at125.base, 0);
    EXPECT_EQ(at125.maximum, 5);
    EXPECT_EQ(at125.remembered, 3);
    EXPECT_EQ(RatioSlider(200, 1).remembered, 5);
    EXPECT_EQ(RatioSlider(52, 4).remembered, 4);  // a fitted zoom has no step of its own
    EXPECT_EQ(RatioStepOf(50), 0);
    EXPECT_EQ(RatioStepOf(100), 2);
    EXPECT_EQ(RatioStepOf(99), -1);
}

TEST(QuickAdjust, PropertySliderSpansTheRecordsRangeFromItsValue) {
    CameraProperty p = {};
    p.min = -64;
    p.max = 64;
    p.value = 10;
    const QuickSlider s = PropertySlider(p);
    EXPECT_EQ(s.base, -64);
    EXPECT_EQ(s.maximum, 64);
    EXPECT_EQ(s.remembered, 10);
    EXPECT_EQ(QuickSliderRange(s).span, 128);
    EXPECT_EQ(QuickSliderRange(s).position, 74);
    EXPECT_EQ(QuickValueAt(s, 74), 10);

    // Extreme camera ranges: the span, the position and the value do not wrap.
    p = {INT_MIN, INT_MAX, 1, 0, 2, INT_MAX, 0, 0};
    const QuickSlider full = PropertySlider(p);
    EXPECT_EQ(QuickSliderRange(full).span, INT_MAX);
    EXPECT_EQ(QuickSliderRange(full).position, INT_MAX);
    EXPECT_EQ(QuickValueAt(full, INT_MAX), -1);
    const QuickSlider high = PropertySlider({INT_MAX - 10, INT_MAX, 1, 0, 2, INT_MAX, 0, 0});
    EXPECT_EQ(QuickValueAt(high, 20), INT_MAX);
}

TEST(QuickAdjust, ValuesReadAsNumbersOrRatioPercentages) {
    const QuickTarget& ratio = *QuickTargetOf(kCmdQuickRatio);
    const QuickTarget& gain = *QuickTargetOf(kCmdQuickGain);
    EXPECT_EQ(QuickValueText(ratio, 0), u"50%");
    EXPECT_EQ(QuickValueText(ratio, 3), u"125%");
    EXPECT_EQ(QuickValueText(ratio, 5), u"200%");
    EXPECT_EQ(QuickValueText(gain, -12), u"-12");
    EXPECT_EQ(QuickValueText(gain, 255), u"255");
}

}  // namespace
