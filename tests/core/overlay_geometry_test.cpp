#include "measure/overlay_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

// Every character 7 pixels wide, every line 16 high; an empty line keeps its height.
TextSize FixedWidth(std::u16string_view text) {
    return {static_cast<int32_t>(text.size()) * 7, 16};
}

constexpr PictureSize k640x480 = {640, 480};
const std::u16string kMm = u"mm";
const std::u16string kUm = u"\u03BCm";

ActiveCalibration Calibrated(float scale, int32_t unit) {
    ActiveCalibration calibration;
    ApplyCalibration(calibration, scale, unit);
    return calibration;
}

MeasureShape Shape(int32_t kind, int32_t p1x, int32_t p1y, int32_t p2x, int32_t p2y,
                   int32_t p3x = -1, int32_t p3y = 0) {
    MeasureShape shape;
    shape.kind = kind;
    shape.p1x = p1x, shape.p1y = p1y, shape.p2x = p2x, shape.p2y = p2y, shape.p3x = p3x,
    shape.p3y = p3y;
    shape.thirdPlaced = p3x != -1;
    return shape;
}

class OverlayShapes : public ::testing::Test {
protected:
    ActiveCalibration calibration;  // none
    ShapeDrawContext context;

    OverlayShapes() {
        context.picture = k640x480;
        context.calibration = &calibration;
        context.textPlaceholder = u" Input text, drag to move. ";
        context.measureLabel = FixedWidth;
    }
    ShapeDrawing Draw(const MeasureShape& shape, ShapeMark mark = ShapeMark::None) {
        return DrawingOfShape(shape, mark, context);
    }
    static std::vector<std::u16string> Texts(const ShapeDrawing& d) {
        std::vector<std::u16string> texts;
        for (const TextBox& t : d.texts) texts.push_back(t.text);
        return texts;
    }
};

OverlayRect Box(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height};
}

TEST(OverlayStyle, ColourRefsBecomeOpaqueGdiplusColours) {
    EXPECT_EQ(OpaqueArgb(0x00336699), 0xFF996633u);  // COLORREF is BGR, GDI+ wants RGB
    EXPECT_EQ(OpaqueArgb(0x00000000), 0xFF000000u);
}

TEST(Labels, SingleLabelFlipsAtTheRightAndBottomEdges) {
    // "123456" is 42 x 16.
    EXPECT_EQ(SingleLabel(u"123456", 100, 100, k640x480, FixedWidth).box, Box(102, 102, 42, 16));
    EXPECT_EQ(SingleLabel(u"123456", 596, 100, k640x480, FixedWidth).box,
              Box(102 + 496, 102, 42, 16));
    EXPECT_EQ(SingleLabel(u"123456", 597, 100, k640x480, FixedWidth).box,
              Box(597 - 44, 102, 42, 16));
    EXPECT_EQ(SingleLabel(u"123456", 100, 463, k640x480, FixedWidth).box,
              Box(102, 463 - 18, 42, 16));
    EXPECT_EQ(SingleLabel(u"123456", 620, 470, k640x480, FixedWidth).box,
              Box(620 - 44, 470 - 18, 42, 16));
}

TEST(Labels, MultiLabelFlipsAsOneBlockAndStacksUpwardFromThePoint) {
    const std::vector<std::u16string> lines = {u"R:1", u"C:22222", u"S:3"};
    // Block 49 x 50 (three lines of 16 and two gaps of 1).
    std::vector<TextBox> boxes = MultiLabel(lines, 100, 100, k640x480, FixedWidth);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].box, Box(102, 102, 21, 16));
    EXPECT_EQ(boxes[1].box, Box(102, 118, 49, 16));
    EXPECT_EQ(boxes[2].box, Box(102, 134, 21, 16));

    // Near the bottom right: R stays nearest to the point, C and S climb above it.
    boxes = MultiLabel(lines, 600, 440, k640x480, FixedWidth);
    EXPECT_EQ(boxes[0].box, Box(600 - 21 - 2, 440 - 16 - 2, 21, 16));
    EXPECT_EQ(boxes[1].box, Box(600 - 49 - 2, 440 - 32 - 2, 49, 16));
    EXPECT_EQ(boxes[2].box, Box(600 - 21 - 2, 440 - 48 - 2, 21, 16));
    // Only the lines' own widths move them left; a short line does not flip for a long one
    // unless the block as a whole passes the edge.
    boxes = MultiLabel(lines, 589, 100, k640x480, FixedWidth);
    EXPECT_EQ(boxes[0].box.left, 591);
    boxes = MultiLabel(lines, 590, 100, k640x480, FixedWidth);
    EXPECT_EQ(boxes[0].box.left, 590 - 21 - 2);
}

TEST_F(OverlayShapes, LabelsOfEveryKindWithACalibration) {
    calibration = Calibrated(10.0f, kUnitMillimetres);
    ShapeDrawing d = Draw(Shape(kToolRectangle, 100, 100, 40, 20));
    EXPECT_EQ(Texts(d), (std::vector<std::u16string>{u"6.00x8.00mm", u"S:48.00mm^2"}));
    EXPECT_EQ(d.texts[0].box.left, 42);
    EXPECT_EQ(d.texts[0].box.top, 22);
    EXPECT_EQ(d.texts[1].box.top, 38);

    d = Draw(Shape(kToolLine, 10, 300, 410, 300));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"40.00000mm"});
    EXPECT_EQ(d.texts[0].box.left, 12);

    calibration = Calibrated(100.0f, kUnitMicrons);
    d = Draw(Shape(kToolCircle, 200, 200, 300, 200));
    EXPECT_EQ(Texts(d), (std::vector<std::u16string>{u"R:1.00000" + kUm, u"C:6.28318" + kUm,
                                                     u"S:3.14159" + kUm + u"^2"}));
    EXPECT_EQ(d.texts[0].box.left, 202);

    d = Draw(Shape(kToolConcentric, 200, 200, 250, 200));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"R1:0.50000" + kUm});
    d = Draw(Shape(kToolConcentric, 200, 200, 250, 200, 200, 350));
    EXPECT_EQ(Texts(d),
              (std::vector<std::u16string>{u"R1:0.50000" + kUm, u"R2:1.50000" + kUm, u""}));
    EXPECT_EQ(d.texts[0].box.left, 202);  // at the outer point
    EXPECT_EQ(d.texts[0].box.top, 352);
}

TEST_F(OverlayShapes, WithoutCalibrationOnlyAnglesAreLabelled) {
    for (int32_t kind : {kToolLine, kToolParallel, kToolRectangle, kToolCircle, kToolConcentric}) {
        EXPECT_TRUE(Draw(Shape(kind, 100, 100, 200, 150, 300, 300)).texts.empty()) << kind;
    }
    // Arms right and down; arms at 10 and 350 degrees.
    EXPECT_EQ(Texts(Draw(Shape(kToolAngle, 300, 200, 400, 200, 300, 300))),
              std::vector<std::u16string>{u"90.000\u00B0"});
    EXPECT_EQ(Texts(Draw(Shape(kToolAngle, 0, 20000, 98481, 37365, 98481, 2635))),
              std::vector<std::u16string>{u"20.000\u00B0"});
    // An angle whose second arm is not placed yet has one arm and no label.
    const ShapeDrawing open = Draw(Shape(kToolAngle, 300, 200, 400, 200));
    EXPECT_EQ(open.measureLines.size(), 1u);
    EXPECT_TRUE(open.texts.empty());
}

TEST_F(OverlayShapes, LineEndBarsStandAcrossTheLine) {
    ShapeDrawing d = Draw(Shape(kToolLine, 100, 100, 200, 100));
    EXPECT_EQ(d.measureLines, (std::vector<Segment>{Segment{100, 100, 200, 100}}));
    EXPECT_EQ(d.thinLines, (std::vector<Segment>{{100, 88, 100, 112}, {200, 88, 200, 112}}));
    d = Draw(Shape(kToolLine, 100, 100, 100, 200));
    EXPECT_EQ(d.thinLines, (std::vector<Segment>{{88, 100, 112, 100}, {88, 200, 112, 200}}));
    // A 3-4-5 diagonal: sin 0.6, cos 0.8.
    d = Draw(Shape(kToolLine, 100, 100, 140, 130));
    EXPECT_EQ(d.thinLines, (std::vector<Segment>{{93, 109, 107, 91}, {133, 139, 147, 121}}));
    d = DrawingOfShapeInProgress(Shape(kToolLine, 100, 100, 140, 130), kToolLine, context);
    EXPECT_EQ(d.thinLines[0], (Segment{81, 125, 119, 75}));
    // A press without a move: zero length, bars still drawn horizontally through the point.
    d = Draw(Shape(kToolLine, 50, 50, 50, 50));
    EXPECT_EQ(d.thinLines[0], (Segment{38, 50, 62, 50}));
}

TEST_F(OverlayShapes, ParallelFootAndDistanceInEveryOrientation) {
    calibration = Calibrated(10.0f, kUnitMillimetres);
    // Horizontal base: perpendicular straight down to the base's line, parallel of equal length.
    ShapeDrawing d = Draw(Shape(kToolParallel, 100, 100, 201, 100, 300, 160));
    EXPECT_EQ(
        d.measureLines,
        (std::vector<Segment>{{100, 100, 201, 100}, {300, 160, 300, 100}, {250, 160, 350, 160}}));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"D:6.00000mm"});
    // Vertical base, point left of it: the distance is unsigned.
    d = Draw(Shape(kToolParallel, 100, 100, 100, 180, 40, 300));
    EXPECT_EQ(d.measureLines, (std::vector<Segment>{
                                  {100, 100, 100, 180}, {40, 300, 100, 300}, {40, 260, 40, 340}}));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"D:6.00000mm"});
    // Slanted base: thin perpendicular to the foot (175.7, 125.4), parallel centred on P3.
    d = Draw(Shape(kToolParallel, 100, 100, 401, 201, 201, 50));
    EXPECT_EQ(d.thinLines, (std::vector<Segment>{Segment{201, 50, 175, 125}}));
    EXPECT_EQ(d.measureLines, (std::vector<Segment>{{100, 100, 401, 201}, {51, 0, 351, 100}}));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"D:7.95324mm"});
    EXPECT_EQ(d.texts[0].box.left, 203);
    // The point on the other side of the base reads the same distance.
    d = Draw(Shape(kToolParallel, 100, 100, 401, 201, 300, 300));
    EXPECT_EQ(d.thinLines, (std::vector<Segment>{Segment{300, 300, 340, 180}}));
    EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"D:12.59869mm"});
}

TEST_F(OverlayShapes, HandlesFollowTheMarkAndStayInsideThePicture) {
    const MeasureShape rect = Shape(kToolRectangle, 3, 100, 637, 476);
    EXPECT_TRUE(Draw(rect).handles.empty());
    const ShapeDrawing hovered = Draw(rect, ShapeMark::Hovered);
    ASSERT_EQ(hovered.handles.size(), 4u);
    EXPECT_EQ(hovered.handles[0].rect, (OverlayRect{0, 95, 8, 105}));
    EXPECT_EQ(hovered.handles[1].rect, (OverlayRect{632, 471, 640, 480}));
    EXPECT_FALSE(hovered.handles[0].filled);
    const ShapeDrawing selected = Draw(rect, ShapeMark::Selected);
    EXPECT_TRUE(std::all_of(selected.handles.begin(), selected.handles.end(),
                            [](const HandleBox& h) { return h.filled; }));

    // A circle's centre always has a handle; a point moved far outside has none at all.
    EXPECT_EQ(Draw(Shape(kToolCircle, 100, 100, 120, 100)).handles.size(), 1u);
    EXPECT_EQ(Draw(Shape(kToolCircle, -20, 100, 0, 100)).handles.size(), 0u);
    // An unplaced third point gets no handle even on a selected shape.
    EXPECT_EQ(Draw(Shape(kToolParallel, 100, 100, 200, 100), ShapeMark::Selected).handles.size(),
              2u);
    EXPECT_EQ(Draw(Shape(kToolParallel, 100, 100, 200, 100, 150, 150), ShapeMark::Selected)
                  .handles.size(),
              3u);
}

TEST_F(OverlayShapes, CirclesAreRoundedRadiiAroundTheCentre) {
    // sqrt(20) = 4.47 stays 4, sqrt(13) = 3.61 goes up to 4.
    ShapeDrawing d = Draw(Shape(kToolCircle, 100, 100, 104, 102));
    ASSERT_EQ(d.circles.size(), 1u);
    EXPECT_EQ(d.circles[0].left, 96);
    EXPECT_EQ(d.circles[0].top, 96);
    EXPECT_EQ(d.circles[0].size, 8);
    EXPECT_EQ(Draw(Shape(kToolCircle, 100, 100, 103, 102)).circles[0].size, 8);
    // Radius 0 from a click without a move: the centre handle and no circle.
    d = Draw(Shape(kToolCircle, 100, 100, 100, 100));
    EXPECT_TRUE(d.circles.empty());
    EXPECT_EQ(d.handles.size(), 1u);

    // Concentric with the outer point: segment to the outer point, both circles.
    d = Draw(Shape(kToolConcentric, 100, 100, 110, 100, 1, 100));
    EXPECT_EQ(d.measureLines, (std::vector<Segment>{Segment{100, 100, 1, 100}}));
    ASSERT_EQ(d.circles.size(), 2u);
    EXPECT_EQ(d.circles[1].size, 198);
}

// Where the third part stops being drawn: Concentric needs its outer point off row 0 and
// column 0, Parallel and Angle need it inside the picture, whether it was placed or not.
TEST_F(OverlayShapes, ThirdPartsAreDrawnOnlyFromTheirFirstRowAndColumn) {
    calibration = Calibrated(10.0f, kUnitMillimetres);
    for (const auto& p3 : {std::pair<int32_t, int32_t>{0, 100}, {100, 0}, {-5, 100}, {100, -5}}) {
        const ShapeDrawing d = Draw(Shape(kToolConcentric, 100, 100, 110, 100, p3.first, p3.second));
        EXPECT_EQ(d.circles.size(), 1u) << p3.first << "," << p3.second;
        EXPECT_EQ(d.measureLines, (std::vector<Segment>{Segment{100, 100, 110, 100}}));
        EXPECT_EQ(Texts(d), std::vector<std::u16string>{u"R1:1.00000mm"});
    }
    EXPECT_EQ(Draw(Shape(kToolConcentric, 100, 100, 110, 100, 1, 1)).circles.size(), 2u);

    for (const auto& p3 : {std::pair<int32_t, int32_t>{-2, 150}, {150, -2}}) {
        const ShapeDrawing parallel = Draw(Shape(kToolParallel, 100, 100, 200, 100, p3.first, p3.second));
        EXPECT_EQ(parallel.measureLines.size(), 1u) << p3.first << "," << p3.second;
        EXPECT_TRUE(parallel.texts.empty());
        const ShapeDrawing angle = Draw(Shape(kToolAngle, 100, 100, 200, 100, p3.first, p3.second));
        EXPECT_EQ(angle.measureLines.size(), 1u);
        EXPECT_TRUE(angle.texts.empty());
    }
    // Row 0 and column 0 are inside the picture for them.
    EXPECT_EQ(Draw(Shape(kToolParallel, 100, 100, 200, 100, 0, 0)).measureLines.size(), 3u);
    EXPECT_EQ(Draw(Shape(kToolAngle, 100, 100, 200, 100, 0, 100)).measureLines.size(), 2u);
}

TEST_F(OverlayShapes, TextBoxIsFramedWhenMarkedOrBeingPlaced) {
    MeasureShape text = Shape(kToolText, 50, 60, 0, 0);
    text.SetText(u"abc");
    ShapeDrawing d = Draw(text);
    EXPECT_TRUE(d.frames.empty());
    ASSERT_EQ(d.texts.size(), 1u);
    EXPECT_EQ(d.texts[0].box, (OverlayRect{52, 62, 50 + 21 + 4, 60 + 16 + 4}));
    EXPECT_EQ(Draw(text, ShapeMark::Hovered).frames, std::vector<OverlayRect>{d.texts[0].box});

    text.text.clear();
    d = DrawingOfShapeInProgress(text, kToolText, context);
    EXPECT_EQ(d.texts[0].text, context.textPlaceholder);
    EXPECT_EQ(d.frames.size(), 1u);
    // The shape in progress is drawn as the current tool, whatever its kind field says.
    EXPECT_TRUE(DrawingOfShapeInProgress(text, kToolNone, context).texts.empty());
}

// Absurd typed lengths: every label of every kind still fits its 64-character buffer.
TEST_F(OverlayShapes, AbsurdScalesNeverOverflowALabel) {
    for (float scale : {1e-30f, 1e30f, 1e-45f}) {
        calibration = Calibrated(scale, kUnitMicrons);
        for (int32_t kind :
             {kToolLine, kToolParallel, kToolRectangle, kToolCircle, kToolConcentric}) {
            const ShapeDrawing d = Draw(Shape(kind, 10, 10, 630, 470, 600, 20));
            ASSERT_FALSE(d.texts.empty()) << kind << " " << scale;
            for (const TextBox& t : d.texts) {
                EXPECT_LT(t.text.size(), static_cast<size_t>(kLabelChars)) << kind << " " << scale;
                EXPECT_EQ(t.box.right - t.box.left, static_cast<int32_t>(t.text.size()) * 7);
            }
        }
    }
    calibration = Calibrated(1e-30f, kUnitMillimetres);
    EXPECT_EQ(Texts(Draw(Shape(kToolRectangle, 100, 100, 40, 20)))[0], u"6.00e+31x8.00e+31mm");
}

// Ticks of the vertical centre line are horizontal segments: collect their y and length.
struct Tick {
    int32_t at, length;
    bool operator<(const Tick& o) const { return at < o.at; }
};

std::vector<Tick> VerticalAxisTicks(const CrosslineDrawing& d, int32_t centreX) {
    std::vector<Tick> ticks;
    for (const Segment& s : d.lines) {
        if (s.y1 == s.y2 && (s.x1 == centreX || s.x2 == centreX) && s.x1 != 0) {
            ticks.push_back({s.y1, s.x2 - s.x1});
        }
    }
    std::sort(ticks.begin(), ticks.end());
    return ticks;
}

std::vector<Tick> HorizontalAxisTicks(const CrosslineDrawing& d, int32_t centreY) {
    std::vector<Tick> ticks;
    for (const Segment& s : d.lines) {
        if (s.x1 == s.x2 && (s.y1 == centreY || s.y2 == centreY) && s.y1 != 0) {
            ticks.push_back({s.x1, s.y2 - s.y1});
        }
    }
    std::sort(ticks.begin(), ticks.end());
    return ticks;
}

TEST(Crossline, PixelTicksEveryTenPixelsWithALongerFifth) {
    const CrosslineDrawing d = DrawingOfCrossline(k640x480, ActiveCalibration{}, FixedWidth);
    EXPECT_FALSE(d.hasValue);
    ASSERT_GE(d.lines.size(), 2u);
    EXPECT_EQ(d.lines[0], (Segment{0, 240, 640, 240}));
    EXPECT_EQ(d.lines[1], (Segment{320, 0, 320, 480}));

    const std::vector<Tick> vertical = VerticalAxisTicks(d, 320);
    ASSERT_EQ(vertical.size(), 46u);  // 23 on each side
    EXPECT_EQ(vertical.front().at, 10);
    EXPECT_EQ(vertical.back().at, 470);
    for (const Tick& t : vertical) {
        EXPECT_EQ(t.at % 10, 0);
        EXPECT_NE(t.at, 240);
        EXPECT_EQ(t.length, (t.at - 240) % 50 == 0 ? 9 : 4) << t.at;  // drawn leftwards to the line
    }
    const std::vector<Tick> horizontal = HorizontalAxisTicks(d, 240);
    ASSERT_EQ(horizontal.size(), 62u);  // 31 on each side
    EXPECT_EQ(horizontal.front().at, 10);
    EXPECT_EQ(horizontal.back().at, 630);
    EXPECT_EQ(horizontal[0].length, 4);  // from above down to the line

    // A picture too small for any tick still gets its centre lines.
    EXPECT_EQ(DrawingOfCrossline({30, 20}, ActiveCalibration{}, FixedWidth).lines.size(), 2u);
}

TEST(Crossline, CalibratedTicksAndTheStepValueUnderTheFirstMajorTick) {
    const ActiveCalibration calibration =
        Calibrated(200.0f, kUnitMillimetres);  // step 100 px = 0.5 mm
    ASSERT_EQ(calibration.stepPixels, 100);
    const CrosslineDrawing d = DrawingOfCrossline(k640x480, calibration, FixedWidth);

    // Right of the vertical line: majors every 100 pixels, minors every 10 between them.
    const std::vector<Tick> vertical = VerticalAxisTicks(d, 320);
    std::set<int32_t> majors, middles;
    for (const Tick& t : vertical) {
        EXPECT_TRUE(t.at % 10 == 0 && t.at > 0 && t.at < 480) << t.at;
        if (t.length == 20) majors.insert(t.at);
        if (t.length == 14) middles.insert(t.at);
        EXPECT_TRUE(t.length == 20 || t.length == 14 || t.length == 8) << t.length;
    }
    EXPECT_EQ(majors, (std::set<int32_t>{40, 140, 340, 440}));
    EXPECT_EQ(middles, (std::set<int32_t>{90, 190, 290, 390}));
    EXPECT_EQ(vertical.size(), 46u);  // every 10 pixels from 10 to 470 except the centre
    // Above the horizontal line, up to the edges but never on x = 0.
    const std::vector<Tick> horizontal = HorizontalAxisTicks(d, 240);
    EXPECT_EQ(horizontal.front().at, 10);
    EXPECT_EQ(horizontal.back().at, 630);
    EXPECT_EQ(horizontal.front().length, 8);  // a minor tick, from H/2 - 8 down to H/2

    ASSERT_TRUE(d.hasValue);
    EXPECT_EQ(d.value.text, u"0.5mm");
    EXPECT_EQ(d.value.box, (OverlayRect{420 - 17, 242, 420 - 17 + 35, 258}));

    // Scale 37: a 74-pixel step shown as 2.0mm; its minor ticks round to whole pixels.
    const CrosslineDrawing odd =
        DrawingOfCrossline(k640x480, Calibrated(37.0f, kUnitMillimetres), FixedWidth);
    EXPECT_EQ(odd.value.text, u"2.0mm");
    std::set<int32_t> below;
    for (const Tick& t : VerticalAxisTicks(odd, 320)) {
        if (t.at > 240 && t.at < 240 + 74) below.insert(t.at - 240);
    }
    EXPECT_EQ(below, (std::set<int32_t>{7, 15, 22, 30, 37, 44, 52, 59, 67}));
}

TEST(Ruler, PlacedLineEndBarsLabelAndHoverArrows) {
    CalibrationRuler ruler;
    ruler.length = kRulerUnplacedLength;
    PlaceRuler(ruler, 640);
    RulerDrawing d = DrawingOfRuler(ruler, k640x480, FixedWidth);
    EXPECT_EQ(d.line, (Segment{170, 240, 470, 240}));
    EXPECT_EQ(d.details, (std::vector<Segment>{{170, 180, 170, 300}, {470, 180, 470, 300}}));
    EXPECT_EQ(d.label.text, u"300 pixels");
    EXPECT_EQ(d.label.box, (OverlayRect{174, 244, 174 + 70, 260}));

    ruler.hoverRight = 1;
    d = DrawingOfRuler(ruler, k640x480, FixedWidth);
    ASSERT_EQ(d.details.size(), 2u + 12u);
    // Every arrow head touches x 466 (pointing right) or 474 (pointing left) with its tip.
    std::set<int32_t> tips;
    for (size_t i = 2; i < d.details.size(); i += 3) tips.insert(d.details[i].x1);
    EXPECT_EQ(tips, (std::set<int32_t>{466, 474}));
    EXPECT_EQ(d.details[2], (Segment{466, 210, 462, 206}));
}

TEST(ScaleBar, BottomRightWithItsLabelCentredAboveAndNothingUncalibrated) {
    EXPECT_FALSE(DrawingOfScaleBar(k640x480, ActiveCalibration(), FixedWidth).shown);
    const struct {
        PictureSize picture;
        float scale;
        OverlayRect bar;
        OverlayRect label;
    } cases[] = {
        // 0.5 mm = 100 px; "0.5mm" is 35 px wide.
        {k640x480, 200.0f, {524, 460, 624, 464}, Box(556, 442, 35, 16)},
        // 2 mm = 20 px: the wider label "2mm" (21 px) ends where the bar ends.
        {{100, 80}, 10.0f, {64, 60, 84, 64}, Box(63, 42, 21, 16)},
    };
    for (const auto& c : cases) {
        const ScaleBarDrawing d = DrawingOfScaleBar(c.picture, Calibrated(c.scale, kUnitMillimetres),
                                                    FixedWidth);
        ASSERT_TRUE(d.shown) << c.scale;
        EXPECT_EQ(d.bar, c.bar) << c.scale;
        EXPECT_EQ(d.label.box, c.label) << c.scale;
    }
}

}  // namespace
