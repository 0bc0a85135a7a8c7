#include "app/tool_buttons.h"

#include <gtest/gtest.h>

#include <set>

#include "measure/shapes.h"
#include "resources/resource_ids.h"

namespace {

struct Toolbar {
    const ToolbarButton* buttons;
    int count;
    bool (*forwards)(int);
};
const Toolbar kMeasure = {kMeasureToolbarButtons, kMeasureToolbarButtonCount,
                          MeasureToolbarForwards};
const Toolbar kCamera = {kCameraToolbarButtons, kCameraToolbarButtonCount, CameraToolbarForwards};

TEST(ToolbarTables, EachToolbarPassesOnItsOwnButtonsAndNoneOfTheOthers) {
    for (const Toolbar* bar : {&kMeasure, &kCamera}) {
        const Toolbar* other = bar == &kMeasure ? &kCamera : &kMeasure;
        for (int i = 0; i < bar->count; ++i) {
            EXPECT_TRUE(bar->forwards(bar->buttons[i].id)) << bar->buttons[i].id;
            EXPECT_FALSE(other->forwards(bar->buttons[i].id)) << bar->buttons[i].id;
        }
    }
    // The panel's folder and settings commands pass through the camera toolbar too.
    EXPECT_TRUE(CameraToolbarForwards(kCmdSettings));
    EXPECT_TRUE(CameraToolbarForwards(kCmdOpenImageFolder));
    EXPECT_FALSE(MeasureToolbarForwards(kCmdReloadTexts));
    EXPECT_FALSE(CameraToolbarForwards(kCmdReloadTexts));
    EXPECT_FALSE(MeasureToolbarForwards(kButtonCmdSetChecked));
}

TEST(ToolbarTables, ButtonsDoNotOverlapAndShowDistinctPicturesOfTheStrip) {
    std::set<int> images;
    for (const Toolbar* bar : {&kMeasure, &kCamera}) {
        for (int i = 0; i < bar->count; ++i) {
            const ToolbarButton& b = bar->buttons[i];
            EXPECT_EQ(b.imageX % kToolImageSize, 0) << b.id;
            EXPECT_GE(b.imageX, 0) << b.id;
            EXPECT_LT(b.imageX, kToolStripImages * kToolImageSize) << b.id;
            EXPECT_TRUE(images.insert(b.imageX).second) << b.id;
            if (i == 0) continue;
            const ToolbarButton& previous = bar->buttons[i - 1];
            // Laid out along one axis, each clear of the one before.
            EXPECT_GE(b.x + b.y, previous.x + previous.y + kToolButtonSize) << b.id;
        }
    }
    // Only the camera toolbar's top picture goes without a hint.
    for (const Toolbar* bar : {&kMeasure, &kCamera})
        for (int i = 0; i < bar->count; ++i)
            EXPECT_EQ(bar->buttons[i].hintKey == nullptr, bar->buttons[i].id == kCmdCameraToolbarTop);
}

TEST(ToolbarTables, EveryToolButtonStandsForItsToolAndBack) {
    for (int32_t tool : {kToolNone, kToolLine, kToolParallel, kToolRectangle, kToolCircle,
                         kToolConcentric, kToolAngle, kToolPencil}) {
        EXPECT_EQ(ToolOfButton(ToolButtonId(tool)), tool) << tool;
    }
    EXPECT_EQ(ToolButtonId(kToolText), kCmdToolText);
    EXPECT_EQ(ToolOfButton(kCmdToolText), -1);  // text has checks of its own
    EXPECT_EQ(ToolButtonId(19), kCmdToolNone);  // a ruler drag is no button's tool
    EXPECT_EQ(ToolOfButton(kCmdCrossline), -1);
}

TEST(ToolButtonFace, PressOutshinesHoverWhichOutshinesChecked) {
    EXPECT_EQ(HighlightAlpha(false, false, false), 0);
    EXPECT_EQ(HighlightAlpha(false, false, true), 96);
    EXPECT_EQ(HighlightAlpha(true, false, false), 144);
    EXPECT_EQ(HighlightAlpha(true, false, true), 144);
    EXPECT_EQ(HighlightAlpha(false, true, false), 180);
    EXPECT_EQ(HighlightAlpha(true, true, true), 180);
}

TEST(ToolButtonFace, OnlyPointsStrictlyWithinTheEdgesAreInside) {
    EXPECT_TRUE(InsideButton(1, 1, 52, 52));
    EXPECT_TRUE(InsideButton(51, 51, 52, 52));
    EXPECT_FALSE(InsideButton(0, 20, 52, 52));
    EXPECT_FALSE(InsideButton(20, 0, 52, 52));
    EXPECT_FALSE(InsideButton(52, 20, 52, 52));
    EXPECT_FALSE(InsideButton(20, 52, 52, 52));
    EXPECT_FALSE(InsideButton(-5, 20, 52, 52));  // a captured mouse reports negative points
}

TEST(ToolButtonHint, BelowAHorizontalButtonAndRightOfAVerticalOne) {
    const HintPoint below = HintPosition(59, 0, 116, 0, 52, 52, false);
    EXPECT_EQ(below.x, 175);
    EXPECT_EQ(below.y, 54);
    const HintPoint right = HintPosition(0, 0, 4, 120, 52, 52, true);
    EXPECT_EQ(right.x, 58);
    EXPECT_EQ(right.y, 120);
    // A toolbar placed elsewhere moves its hints with it.
    const HintPoint moved = HintPosition(10, 30, 4, 60, 52, 52, true);
    EXPECT_EQ(moved.x, 68);
    EXPECT_EQ(moved.y, 90);
}

}  // namespace
