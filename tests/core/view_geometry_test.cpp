#include "measure/view_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(ViewZoom, FitTakesTheSmallerQuotientAndStaysInRange) {
    const int ratio = FitZoomPercent(1000, 700, 1920, 1080);
    EXPECT_EQ(ratio, 52);
    EXPECT_EQ(DisplayExtent(1920, ratio), 998);
    EXPECT_EQ(DisplayExtent(1080, ratio), 561);
    EXPECT_EQ(FitZoomPercent(100, 100, 1920, 1080), 50);
    EXPECT_EQ(FitZoomPercent(4000, 4000, 640, 480), 200);
    EXPECT_EQ(FitZoomPercent(640, 480, 640, 480), 100);
    EXPECT_EQ(FitZoomPercent(640, 480, 0, 0), 100);  // no picture: no division by zero
    EXPECT_TRUE(IsFixedZoom(50));
    EXPECT_TRUE(IsFixedZoom(200));
    EXPECT_FALSE(IsFixedZoom(49));
    EXPECT_FALSE(IsFixedZoom(0));
}

TEST(ViewScrollBars, FittingPictureNeedsNoBars) {
    const ScrollLayout l = LayoutScrollBars(1000, 700, 998, 561, 30, 30, 17, 17);
    EXPECT_FALSE(l.horizontal.shown);
    EXPECT_FALSE(l.vertical.shown);
    EXPECT_EQ(l.horizontal.position, 0);
    EXPECT_EQ(l.clientWidth, 1000);
}

TEST(ViewScrollBars, DoubleSizePictureShowsBothBarsWithPage50) {
    const ScrollLayout l = LayoutScrollBars(900, 700, 1280, 960, 0, 0, 17, 17);
    ASSERT_TRUE(l.horizontal.shown);
    ASSERT_TRUE(l.vertical.shown);
    EXPECT_EQ(l.clientWidth, 883);
    EXPECT_EQ(l.clientHeight, 683);
    EXPECT_EQ(l.horizontal.page, 50);
    EXPECT_EQ(l.vertical.page, 50);
    // The largest position the bar allows is display - client.
    EXPECT_EQ(l.horizontal.maximum - l.horizontal.page + 1, 1280 - 883);
    EXPECT_EQ(ScrollPosition(7, 0, 0, 1280 - 883), 397);
}

TEST(ViewScrollBars, VerticalBarCanForceTheHorizontalOne) {
    // Fits in width until the vertical bar takes its 17 pixels.
    const ScrollLayout l = LayoutScrollBars(650, 400, 640, 480, 0, 0, 17, 17);
    EXPECT_TRUE(l.vertical.shown);
    EXPECT_TRUE(l.horizontal.shown);
    EXPECT_EQ(l.clientWidth, 633);
    EXPECT_EQ(l.clientHeight, 383);
    // A position beyond the new extent is pulled back.
    const ScrollLayout shrunk = LayoutScrollBars(900, 700, 1000, 800, 500, 500, 17, 17);
    EXPECT_EQ(shrunk.horizontal.position, 1000 - 883);
    EXPECT_EQ(shrunk.vertical.position, 800 - 683);
}

TEST(ViewScrollBars, ScrollCodes) {
    const int extent = 400;
    EXPECT_EQ(ScrollPosition(0, 0, 100, extent), 95);
    EXPECT_EQ(ScrollPosition(1, 0, 100, extent), 105);
    EXPECT_EQ(ScrollPosition(2, 0, 100, extent), 50);
    EXPECT_EQ(ScrollPosition(3, 0, 100, extent), 150);
    EXPECT_EQ(ScrollPosition(4, 321, 100, extent), 321);
    EXPECT_EQ(ScrollPosition(5, 999, 100, extent), 400);
    EXPECT_EQ(ScrollPosition(6, 0, 100, extent), 0);
    EXPECT_EQ(ScrollPosition(7, 0, 100, extent), 400);
    EXPECT_EQ(ScrollPosition(8, 0, 100, extent), 100);  // SB_ENDSCROLL and above: unchanged
    EXPECT_EQ(ScrollPosition(0, 0, 2, extent), 0);
    EXPECT_EQ(ScrollPosition(7, 0, 0, -10), 0);  // no extent at all
}

TEST(ViewPan, DragMovesAgainstTheMouseWithinTheExtent) {
    EXPECT_EQ(PanPosition(100, 30, 1280, 880), 70);
    EXPECT_EQ(PanPosition(10, 30, 1280, 880), 0);
    EXPECT_EQ(PanPosition(390, -30, 1280, 880), 400);
    EXPECT_EQ(PanPosition(0, 30, 640, 880), 0);  // fits: no panning
}

TEST(ViewDigitalZoom, CentredRegionPerLevel) {
    const SourceRect three = DigitalZoomSource(640, 480, 3);
    EXPECT_EQ(three.x, 96);
    EXPECT_EQ(three.y, 72);
    EXPECT_EQ(three.width, 448);
    EXPECT_EQ(three.height, 336);
    const SourceRect none = DigitalZoomSource(640, 480, 0);
    EXPECT_EQ(none.width, 640);
    EXPECT_EQ(none.x, 0);
    const SourceRect five = DigitalZoomSource(1920, 1080, 5);
    EXPECT_EQ(five.width, 960);
    EXPECT_EQ(five.height, 540);
    EXPECT_EQ(DigitalZoomSource(640, 480, 9).width, 320);  // beyond the last level: the last
}

TEST(ViewPresent, CentredWithoutBarsScrolledWithThem) {
    PresentSpan s = PresentAxis(false, 1000, 998, 77);
    EXPECT_EQ(s.destination, 1);
    EXPECT_EQ(s.extent, 998);
    EXPECT_EQ(s.source, 0);
    s = PresentAxis(true, 883, 1280, 77);
    EXPECT_EQ(s.destination, 0);
    EXPECT_EQ(s.extent, 883);
    EXPECT_EQ(s.source, 77);
    Band band;
    ASSERT_TRUE(LeadingBand(1000, 640, &band));
    EXPECT_EQ(band.to, 180);
    ASSERT_TRUE(TrailingBand(1000, 640, &band));
    EXPECT_EQ(band.from, 820);
    EXPECT_EQ(band.to, 1000);
    EXPECT_FALSE(LeadingBand(640, 640, &band));
}

}  // namespace
