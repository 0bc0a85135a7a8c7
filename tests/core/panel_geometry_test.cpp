#include "panel/panel_geometry.h"

#include <gtest/gtest.h>

namespace {

constexpr DialogUnits kUnits96 = {8, 16};
constexpr DialogUnits kUnitsOdd = {7, 13};  // conversions that do not come out whole

std::array<SectionSlot, kSectionCount> StartSlots() {
    // Device, Preview, Color (suppressed although its numbers say expanded), Files.
    return {{{15, 165, true, false}, {15, 167, true, false}, {15, 451, true, true},
             {15, 500, true, false}}};
}

TEST(PanelUnits, ConvertLikeMulDivRoundingHalvesAwayFromZero) {
    EXPECT_EQ(RoundedMulDiv(126, 8, 4), 252);
    EXPECT_EQ(RoundedMulDiv(5, 7, 8), 4);    // 4.375
    EXPECT_EQ(RoundedMulDiv(3, 12, 8), 5);   // 4.5
    EXPECT_EQ(RoundedMulDiv(-3, 12, 8), -5);
    EXPECT_EQ(RoundedMulDiv(3, 12, -8), -5);
    EXPECT_EQ(RoundedMulDiv(1, 1, 0), -1);
    EXPECT_EQ(kUnitsOdd.X(4), 7);   // 28 / 4
    EXPECT_EQ(kUnitsOdd.Y(4), 7);   // 6.5
    EXPECT_EQ(kUnitsOdd.Y(19), 31);  // 30.875
}

TEST(PanelScroll, NoBarWhileTheContentFitsAndTheRangeEndsAtContentMinusClient) {
    const PanelScrollBar fits = PanelScrollFor(600, 600, 35);
    EXPECT_FALSE(fits.shown);
    EXPECT_EQ(fits.position, 0);

    const PanelScrollBar bar = PanelScrollFor(1000, 600, 500);
    ASSERT_TRUE(bar.shown);
    EXPECT_EQ(bar.page, 20);
    EXPECT_EQ(bar.maximum, 419);
    EXPECT_EQ(bar.position, 400);  // clamped to the new range
    EXPECT_EQ(bar.maximum - bar.page + 1, 400);
    EXPECT_EQ(PanelScrollFor(1000, 600, -7).position, 0);
}

TEST(PanelScroll, CollapsingNearTheBottomKeepsTheLastSectionOnTheBottomEdge) {
    auto slots = StartSlots();
    const int margin = kUnits96.Y(kPanelMarginUnits);
    const int client = 600;
    auto lastBottom = [&](int position) {
        const auto placed = PlaceSections(slots, 236, kUnits96, position);
        return placed[kSectionFiles].y + placed[kSectionFiles].height;
    };
    PanelScrollBar bar = PanelScrollFor(ContentHeight(slots, margin), client, 10000);
    ASSERT_TRUE(bar.shown);
    EXPECT_EQ(lastBottom(bar.position), client - margin);

    slots[kSectionPreview].expanded = false;
    bar = PanelScrollFor(ContentHeight(slots, margin), client, bar.position);
    EXPECT_EQ(lastBottom(bar.position), client - margin);

    slots[kSectionFiles].expanded = false;
    bar = PanelScrollFor(ContentHeight(slots, margin), client, bar.position);
    EXPECT_FALSE(bar.shown);
    EXPECT_EQ(bar.position, 0);
}

TEST(PanelScroll, CodesMoveByLinesAndPagesAndStayInRange) {
    const int line = 19, max = 300;
    struct Case {
        int code, thumb, position, expected;
    };
    const Case cases[] = {
        {kScrollLineUp, 0, 100, 81},        {kScrollLineDown, 0, 100, 119},
        {kScrollPageUp, 0, 100, 24},        {kScrollPageDown, 0, 100, 176},
        {kScrollThumbPosition, 222, 100, 222}, {kScrollThumbTrack, 999, 100, 300},
        {kScrollTop, 0, 100, 0},            {kScrollBottom, 0, 100, 300},
        {kScrollEnd, 0, 100, 100},          {99, 0, 100, 100},
        {kScrollLineUp, 0, 5, 0},           {kScrollPageDown, 0, 290, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PanelScrollTarget(c.code, c.thumb, c.position, line, max), c.expected)
            << "code " << c.code << " from " << c.position;
    }
    EXPECT_EQ(WheelScrollCode(120), kScrollLineUp);
    EXPECT_EQ(WheelScrollCode(0), kScrollLineDown);
    EXPECT_EQ(WheelScrollCode(-120), kScrollLineDown);
}

TEST(PanelSections, StackFromTheMarginAndTheSuppressedColorTakesNoRoom) {
    auto slots = StartSlots();
    const auto placed = PlaceSections(slots, 252, kUnits96, 0);
    EXPECT_EQ(placed[kSectionDevice].x, 8);
    EXPECT_EQ(placed[kSectionDevice].y, 8);
    EXPECT_EQ(placed[kSectionDevice].width, 236);
    EXPECT_EQ(placed[kSectionPreview].y, 8 + 165);
    EXPECT_EQ(placed[kSectionColor].height, 0);
    EXPECT_EQ(placed[kSectionFiles].y, 8 + 165 + 167);
    EXPECT_EQ(ContentHeight(slots, 8), 16 + 165 + 167 + 500);

    slots[kSectionDevice].expanded = false;
    const auto scrolled = PlaceSections(slots, 252, kUnits96, 30);
    EXPECT_EQ(scrolled[kSectionDevice].y, -22);
    EXPECT_EQ(scrolled[kSectionDevice].height, 15);
    EXPECT_EQ(scrolled[kSectionPreview].y, -7);
}

TEST(PanelSections, HeightsFromTheHeaderAndEachBody) {
    EXPECT_EQ(SectionHeaderHeight(kUnits96), 28);
    EXPECT_EQ(SectionCollapsedHeight(kUnits96), 29);
    EXPECT_EQ(SectionExpandedHeight(kUnits96, kDeviceBodyUnits), 29 + 150);
    EXPECT_EQ(SectionExpandedHeight(kUnits96, kColorBodyUnits), 29 + 436);
    EXPECT_EQ(FilesExpandedHeight(kUnits96, 235), 29 + 266 + 176);  // 176.25 truncated
    EXPECT_EQ(FilesInitialWidth(252), 236);
}

TEST(SectionLayout, DeviceCaptionsMeetTheirCombosAndTheButtonsShareTheRow) {
    const auto r = DeviceSectionLayout(236, kUnits96);
    const int t = 29;
    EXPECT_EQ(r[0].width, 236);
    EXPECT_EQ(r[0].height, 28);
    for (int row = 0; row < 3; ++row) {
        const ControlRect& caption = r[1 + 2 * row];
        const ControlRect& combo = r[2 + 2 * row];
        EXPECT_EQ(caption.y, t + 10 + 30 * row);
        EXPECT_EQ(combo.y, t + 6 + 30 * row);
        EXPECT_EQ(caption.x, 4);
        EXPECT_EQ(caption.width, 64);
        EXPECT_EQ(combo.x, 72);
        EXPECT_EQ(combo.x + combo.width, 236 - 6);
        EXPECT_EQ(combo.height, 160);  // the drop-down
    }
    EXPECT_EQ(r[7].x, 8);
    EXPECT_EQ(r[7].width, 104);
    EXPECT_EQ(r[8].x, 104 + 12 + 8);
    EXPECT_EQ(r[8].x + r[8].width, 236 - 8);
    EXPECT_EQ(r[7].y, t + 102);
    EXPECT_EQ(r[8].height, 32);

    // A caption that fits, to the last pixel, changes nothing; a wider one widens the
    // column from where it starts and the combos give up the difference, still ending at
    // the same edge two units after the caption.
    for (int fitting : {60, 64}) {
        const auto fits = DeviceSectionLayout(236, kUnits96, fitting);
        EXPECT_EQ(fits[3].x, 4);
        EXPECT_EQ(fits[3].width, 64);
        EXPECT_EQ(fits[4].x, 72);
    }
    for (int wider : {65, 81}) {
        const auto wide = DeviceSectionLayout(236, kUnits96, wider);
        for (int row = 0; row < 3; ++row) {
            const ControlRect& caption = wide[1 + 2 * row];
            const ControlRect& combo = wide[2 + 2 * row];
            EXPECT_EQ(caption.x, 4);
            EXPECT_EQ(caption.width, wider);
            EXPECT_EQ(caption.x + caption.width + 4, combo.x);
            EXPECT_EQ(combo.x + combo.width, 236 - 6);
        }
    }
}

TEST(SectionLayout, PreviewSliderAndTwoColumnsOfSwitches) {
    const auto r = PreviewSectionLayout(236, kUnits96);
    const int t = 29, column = (236 - 28) / 2;
    EXPECT_EQ(r[1].y, t + 8);
    EXPECT_EQ(r[2].y, t + 28);
    EXPECT_EQ(r[2].width, 236 - 16);
    EXPECT_EQ(r[3].x, 236 - 100);
    const int rows[] = {t + 54, t + 86, t + 118};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(r[4 + 2 * row].x, 14);
        EXPECT_EQ(r[5 + 2 * row].x, column + 4 + 14);
        EXPECT_EQ(r[4 + 2 * row].y, rows[row]);
        EXPECT_EQ(r[5 + 2 * row].y, rows[row]);
        EXPECT_EQ(r[5 + 2 * row].width, column);
        EXPECT_EQ(r[4 + 2 * row].height, 24);
    }
}

TEST(SectionLayout, ColorRowsAddSeparatelyConvertedSteps) {
    const auto r = ColorSectionLayout(236, kUnitsOdd);
    const int t = SectionCollapsedHeight(kUnitsOdd);
    // Y(4) = 7, Y(14) = 23, Y(19) = 31, Y(21) = 34 with a vertical base of 13.
    EXPECT_EQ(r[1].y, t + 7);
    EXPECT_EQ(r[2].y, t + 7 + 31);
    EXPECT_EQ(r[3].y, t + 7 + 31 + 34);
    EXPECT_EQ(r[9].y, t + 7 + 31 + 34 + 6 * 31);  // not t + Y(158) = t + 257
    EXPECT_EQ(r[9].y, t + 258);
    EXPECT_EQ(r[10].y, t + 23);
    EXPECT_EQ(r[18].y - r[9].y, r[10].y - r[1].y);  // each slider sits under its label
    EXPECT_EQ(r[19].y, t + 7);
    EXPECT_EQ(r[20].y, t + kUnitsOdd.Y(23));
    EXPECT_EQ(r[22].x, kUnitsOdd.X(54));
    EXPECT_EQ(r[22].width, 236 - kUnitsOdd.X(58));
    EXPECT_EQ(r[23].y, t + kUnitsOdd.Y(198));
}

TEST(SectionLayout, FilesListAndAPreviewThreeQuartersOfTheWidth) {
    const auto r = FilesSectionLayout(235, kUnits96);
    EXPECT_EQ(r[1].y, 29 + 4);
    EXPECT_EQ(r[1].height, 256);
    EXPECT_EQ(r[2].y, 29 + 266);
    EXPECT_EQ(r[2].width, 235);
    EXPECT_EQ(r[2].height, 176);
    // A section narrower than its margins gets empty controls, not negative sizes.
    const auto narrow = DeviceSectionLayout(10, kUnits96);
    EXPECT_EQ(narrow[2].width, 0);
    EXPECT_EQ(narrow[7].width, 0);
}

}  // namespace
