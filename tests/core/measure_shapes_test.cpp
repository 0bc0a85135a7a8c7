#include "measure/shapes.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char16_t kPlaceholder[] = u" Input text, drag to move. ";

// A camera view that records what the model asks of it. Text is 7 pixels per character.
class FakeView final : public MeasureHost {
public:
    ViewGeometry geometry;
    bool captured = false;
    int invalidates = 0;
    int composes = 0;
    int noToolRequests = 0;
    std::vector<std::pair<int32_t, int32_t>> pans;

    FakeView() { SetPicture(640, 480, 640, 480); }
    void SetPicture(int32_t width, int32_t height, int32_t clientWidth, int32_t clientHeight) {
        geometry.pictureWidth = geometry.displayWidth = width;
        geometry.pictureHeight = geometry.displayHeight = height;
        geometry.clientWidth = clientWidth;
        geometry.clientHeight = clientHeight;
    }

    ViewGeometry Geometry() const override { return geometry; }
    TextSize MeasureLabelText(std::u16string_view text) override {
        return {static_cast<int32_t>(text.size()) * 7, 16};
    }
    std::u16string_view TextPlaceholder() const override { return kPlaceholder; }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    void Invalidate() override { ++invalidates; }
    void ComposeNow() override { ++composes; }
    void PanView(int32_t dx, int32_t dy) override { pans.emplace_back(dx, dy); }
    void RequestNoTool() override { ++noToolRequests; }
};

enum class Act { Press, Drag, Hover, Release };
struct Step {
    Act act;
    uint16_t x = 0, y = 0;
};
Step Press(uint16_t x, uint16_t y) { return {Act::Press, x, y}; }
Step Drag(uint16_t x, uint16_t y) { return {Act::Drag, x, y}; }
Step Hover(uint16_t x, uint16_t y) { return {Act::Hover, x, y}; }
Step Release() { return {Act::Release}; }

void Run(MeasureModel& model, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        switch (s.act) {
        case Act::Press: model.OnPress(s.x, s.y); break;
        case Act::Drag: model.OnMove(kMouseLeftButton, s.x, s.y); break;
        case Act::Hover: model.OnMove(0, s.x, s.y); break;
        case Act::Release: model.OnRelease(); break;
        }
    }
}

class ShapesTest : public ::testing::Test {
protected:
    FakeView view;
    MeasureModel model{view};

    void Run(const std::vector<Step>& steps) { ::Run(model, steps); }
    // Lines standing 50 pixels apart, each with its ends at (x, 10) and (x, 40).
    void AddLines(int count) {
        model.SetTool(kToolLine);
        for (int i = 0; i < count; ++i) {
            const uint16_t x = static_cast<uint16_t>(10 + 50 * i);
            Run({Press(x, 10), Drag(x, 40), Release()});
        }
        model.SetTool(kToolNone);
    }
};

using Points = std::vector<int32_t>;
Points Corners(const MeasureShape& s) { return {s.p1x, s.p1y, s.p2x, s.p2y, s.p3x}; }

TEST_F(ShapesTest, EveryToolBuildsItsShapeFromAMouseScript) {
    const struct {
        const char* name;
        int32_t tool;
        std::vector<Step> script;
        Points corners;  // p1x, p1y, p2x, p2y, p3x
    } cases[] = {
        {"line", kToolLine, {Press(10, 20), Drag(30, 40), Drag(50, 60), Release()}, {10, 20, 50, 60, -1}},
        {"zero-length line", kToolLine, {Press(10, 20), Release()}, {10, 20, 10, 20, -1}},
        {"rectangle", kToolRectangle, {Press(100, 100), Drag(40, 20), Release()}, {100, 100, 40, 20, -1}},
        {"circle of radius 0", kToolCircle, {Press(7, 8), Release()}, {7, 8, 7, 8, -1}},
        {"parallel", kToolParallel,
         {Press(10, 10), Drag(100, 10), Release(), Hover(50, 60), Hover(55, 70), Press(0, 0)},
         {10, 10, 100, 10, 55}},
        {"concentric", kToolConcentric,
         {Press(200, 200), Drag(210, 200), Release(), Hover(250, 200), Press(1, 1)},
         {200, 200, 210, 200, 250}},
        {"angle", kToolAngle, {Press(5, 5), Drag(50, 5), Release(), Hover(5, 50), Press(9, 9)},
         {5, 5, 50, 5, 5}},
        {"parallel committed before a move", kToolParallel,
         {Press(10, 10), Drag(100, 10), Release(), Press(50, 50)}, {10, 10, 100, 10, -1}},
        {"concentric committed before a move", kToolConcentric,
         {Press(10, 10), Drag(20, 10), Release(), Press(50, 50)}, {10, 10, 20, 10, -1}},
        {"angle committed before a move", kToolAngle,
         {Press(10, 10), Drag(20, 10), Release(), Press(50, 50)}, {10, 10, 20, 10, -1}},
    };
    for (const auto& c : cases) {
        FakeView v;
        MeasureModel m(v);
        m.SetTool(c.tool);
        ::Run(m, c.script);
        ASSERT_EQ(m.Shapes().size(), 1u) << c.name;
        EXPECT_EQ(m.Shapes()[0].kind, c.tool) << c.name;
        EXPECT_EQ(Corners(m.Shapes()[0]), c.corners) << c.name;
        EXPECT_FALSE(m.Dragging()) << c.name;
        EXPECT_FALSE(v.captured) << c.name;
        EXPECT_FALSE(m.InProgressShown()) << c.name;
    }
}

TEST_F(ShapesTest, PencilKeepsEveryPointInOrder) {
    model.SetTool(kToolPencil);
    Run({Press(1, 1), Drag(2, 3), Drag(2, 3), Drag(9, 4), Release(), Press(30, 30), Release()});
    ASSERT_EQ(model.Shapes().size(), 2u);
    const std::vector<PicturePoint> stroke = {{1, 1}, {2, 3}, {2, 3}, {9, 4}};
    EXPECT_EQ(model.Shapes()[0].points, stroke);
    EXPECT_EQ(model.Shapes()[1].points.size(), 1u);
    // One point cannot be grabbed.
    EXPECT_EQ(model.Shapes()[1].hitRects[0].right, 0);
}

TEST_F(ShapesTest, ThirdPointPhaseFollowsTheMouseUntilThePress) {
    model.SetTool(kToolAngle);
    Run({Press(10, 10), Drag(60, 10), Release()});
    EXPECT_TRUE(model.Shapes().empty());
    EXPECT_EQ(model.PendingStage(), kToolAngle);
    EXPECT_TRUE(model.InProgressShown());
    Run({Hover(10, 70), Hover(700, 70)});  // the second point lies outside the picture
    EXPECT_EQ(model.InProgress().p3x, 10);
    EXPECT_EQ(model.InProgress().p3y, 70);
    model.SetTool(kToolAngle);  // the same tool again changes nothing
    EXPECT_EQ(model.PendingStage(), kToolAngle);
    // Choosing another tool drops the shape instead of committing it.
    model.SetTool(kToolLine);
    Run({Press(100, 100), Release()});
    ASSERT_EQ(model.Shapes().size(), 1u);
    EXPECT_EQ(model.Shapes()[0].kind, kToolLine);
}

TEST_F(ShapesTest, MouseWordsOutsideThePictureAreIgnoredPointByPoint) {
    view.SetPicture(640, 480, 800, 600);  // margins of 80 and 60 around the picture
    model.SetTool(kToolLine);
    Run({Press(70, 100)});  // in the margin
    EXPECT_FALSE(model.Dragging());
    Run({Press(90, 80), Drag(65535, 100), Drag(100, 65535), Drag(79, 100), Drag(80 + 639, 60 + 479),
         Drag(80 + 640, 100), Drag(100, 60 + 480), Release()});
    ASSERT_EQ(model.Shapes().size(), 1u);
    EXPECT_EQ(Corners(model.Shapes()[0]), (Points{10, 20, 639, 479, -1}));
}

TEST(HitRects, GrabAreasPerKind) {
    auto shape = [](int32_t kind, int32_t p3x) {
        MeasureShape s;
        s.kind = kind;
        s.p1x = 100, s.p1y = 100, s.p2x = 200, s.p2y = 150, s.p3x = p3x, s.p3y = 300;
        s.thirdPlaced = p3x != -1;
        return s;
    };
    const struct {
        const char* name;
        MeasureShape shape;
        PicturePoint point;
        bool hit;
    } cases[] = {
        {"line P1 handle edge", shape(kToolLine, -1), {95, 95}, true},
        {"line handle is half open", shape(kToolLine, -1), {105, 100}, false},
        {"line middle", shape(kToolLine, -1), {150, 125}, false},
        {"rectangle's other corner", shape(kToolRectangle, -1), {100, 150}, true},
        {"parallel P3 is 8 wide", shape(kToolParallel, 400), {403, 303}, true},
        {"parallel P3 not 10 wide", shape(kToolParallel, 400), {404, 300}, false},
        {"unplaced P3 has no phantom handle", shape(kToolParallel, -1), {0, 300}, false},
        {"concentric P3 replaces P2", shape(kToolConcentric, 400), {400, 300}, true},
        {"concentric P2 not grabbable", shape(kToolConcentric, 400), {200, 150}, false},
        {"concentric without P3 keeps P2", shape(kToolConcentric, -1), {200, 150}, true},
    };
    for (auto c : cases) {
        RecomputeHitRects(c.shape, {});
        bool hit = false;
        for (const HitRect& r : c.shape.hitRects) hit = hit || r.Contains(c.point);
        EXPECT_EQ(hit, c.hit) << c.name;
    }
}

TEST_F(ShapesTest, OverlapPicksAndDragsTheFirstCreated) {
    model.SetTool(kToolLine);
    Run({Press(50, 50), Drag(90, 50), Release(), Press(52, 52), Drag(52, 200), Release()});
    model.SetTool(kToolNone);
    Run({Press(51, 51)});
    EXPECT_EQ(model.SelectedIndex(), 0);
    EXPECT_FALSE(model.Dragging());  // moving a shape is not a drag of the view
    Run({Drag(61, 71), Release()});
    EXPECT_EQ(Corners(model.Shapes()[0]), (Points{60, 70, 100, 70, -1}));
    EXPECT_EQ(Corners(model.Shapes()[1]), (Points{52, 52, 52, 200, -1}));
    EXPECT_EQ(model.SelectedIndex(), 0);  // the selection outlives the release
    // Grab areas moved with the shape.
    Run({Press(99, 69), Release()});
    EXPECT_EQ(model.SelectedIndex(), 0);
}

TEST_F(ShapesTest, MovingAShapeWithoutThirdPointKeepsTheMarker) {
    model.SetTool(kToolParallel);
    Run({Press(100, 100), Drag(200, 100), Release(), Press(0, 0)});
    model.SetTool(kToolNone);
    Run({Press(100, 100), Drag(130, 120), Release()});
    EXPECT_EQ(Corners(model.Shapes()[0]), (Points{130, 120, 230, 120, -1}));
}

// A placed third point dragged onto x = -1 (and past it) is still placed and keeps moving.
TEST_F(ShapesTest, PlacedThirdPointMovedOntoTheMarkerStaysPlaced) {
    model.SetTool(kToolAngle);
    Run({Press(100, 100), Drag(200, 100), Release(), Hover(131, 150), Press(0, 0)});
    ASSERT_TRUE(model.Shapes()[0].thirdPlaced);
    model.SetTool(kToolNone);
    // Move the whole shape 132 pixels left in two drags: P3 lands on x = -1.
    Run({Press(300, 300), Release(), Press(100, 100), Drag(0, 100), Drag(0, 100), Release()});
    Run({Press(100, 100), Drag(68, 100), Release()});
    EXPECT_EQ(Corners(model.Shapes()[0]), (Points{-32, 100, 68, 100, -1}));
    EXPECT_TRUE(model.Shapes()[0].thirdPlaced);
    // ... and back: P3 moves with the rest and its grab area follows it.
    Run({Press(68, 100), Drag(98, 110), Release()});
    EXPECT_EQ(Corners(model.Shapes()[0]), (Points{-2, 110, 98, 110, 29}));
    EXPECT_EQ(model.Shapes()[0].p3y, 160);
    EXPECT_TRUE(model.Shapes()[0].hitRects[2].Contains({29, 160}));
}

// Releases that never reach the view: a pan or a shape drag captures the mouse, and a lost
// capture, a tool change or the next press ends the drag without committing anything.
TEST_F(ShapesTest, LostReleasesNeverCommitAPhantomShape) {
    AddLines(1);
    const size_t lines = model.Shapes().size();
    // Tool 0 pan whose release is lost outside the view, then a tool change.
    Run({Press(300, 300)});
    EXPECT_TRUE(view.captured);
    EXPECT_TRUE(model.Dragging());
    for (int32_t tool : {kToolLine, kToolConcentric, kToolText, kToolPencil}) {
        model.SetTool(kToolNone);
        Run({Press(300, 300)});
        model.SetTool(tool);
        EXPECT_FALSE(model.Dragging()) << tool;
        EXPECT_FALSE(view.captured) << tool;
        // A press in the margin (nothing starts) and its release commit nothing.
        view.SetPicture(640, 480, 800, 600);
        Run({Press(5, 5), Release()});
        view.SetPicture(640, 480, 640, 480);
        EXPECT_EQ(model.Shapes().size(), lines) << tool;
        EXPECT_EQ(model.PendingStage(), 0) << tool;
    }

    // A line drag whose capture is taken away by another window.
    model.SetTool(kToolLine);
    Run({Press(20, 200), Drag(90, 200)});
    model.OnCaptureLost();
    EXPECT_FALSE(model.Dragging());
    EXPECT_FALSE(model.InProgressShown());
    Run({Release()});
    EXPECT_EQ(model.Shapes().size(), lines);

    // A press after a lost release starts afresh; only the shape really drawn is committed.
    model.SetTool(kToolCircle);
    Run({Press(300, 300), Drag(310, 300), Press(400, 400), Drag(420, 400), Release()});
    ASSERT_EQ(model.Shapes().size(), lines + 1);
    EXPECT_EQ(Corners(model.Shapes().back()), (Points{400, 400, 420, 400, -1}));

    // Moving a shape in tool 0 whose release is lost: the next hover no longer drags it.
    model.SetTool(kToolNone);
    const MeasureShape before = model.Shapes()[0];
    Run({Press(10, 10), Drag(20, 20)});
    model.OnCaptureLost();
    Run({Hover(60, 60), Drag(70, 70)});
    EXPECT_EQ(model.Shapes()[0].p1x, before.p1x + 10);
    EXPECT_EQ(model.Shapes()[0].p1y, before.p1y + 10);
    // "Delete last" takes the user's circle, not a phantom.
    ASSERT_TRUE(model.DeleteLast());
    EXPECT_EQ(model.Shapes().back().kind, kToolLine);
}

TEST_F(ShapesTest, PressOnEmptyPicturePansInWindowCoordinates) {
    AddLines(1);
    view.geometry.hScrollPos = 300;
    Run({Press(5, 5), Drag(15, 25), Drag(15, 25), Drag(65535, 25), Release()});
    EXPECT_EQ(model.SelectedIndex(), -1);
    // The last word is one pixel left of the window, not 65535 pixels right of it.
    const std::vector<std::pair<int32_t, int32_t>> pans = {{10, 20}, {-16, 0}};
    EXPECT_EQ(view.pans, pans);
    EXPECT_FALSE(model.Dragging());
}

TEST_F(ShapesTest, DeleteRulesForSelectedAndHoveredIndices) {
    AddLines(7);
    Run({Press(110, 10), Release(), Hover(260, 40)});  // select 2, hover 5
    ASSERT_EQ(model.SelectedIndex(), 2);
    ASSERT_EQ(model.HoveredIndex(), 5);
    model.DeleteSelected();
    EXPECT_EQ(model.Shapes().size(), 6u);
    EXPECT_EQ(model.Shapes()[2].p1x, 160);
    EXPECT_EQ(model.SelectedIndex(), -1);
    EXPECT_EQ(model.HoveredIndex(), 5);  // left for the next mouse move to correct

    Run({Press(160, 10), Release(), Hover(160, 10)});  // selected and hovered alike
    model.DeleteSelected();
    EXPECT_EQ(model.HoveredIndex(), -1);
    EXPECT_EQ(model.Shapes().size(), 5u);
    model.DeleteSelected();  // nothing selected
    EXPECT_EQ(model.Shapes().size(), 5u);

    Run({Press(310, 10), Release(), Hover(310, 40)});  // the last one, index 4
    ASSERT_EQ(model.SelectedIndex(), 4);
    EXPECT_TRUE(model.DeleteLast());
    EXPECT_EQ(model.SelectedIndex(), -1);
    EXPECT_EQ(model.HoveredIndex(), -1);
    EXPECT_TRUE(model.DeleteAll());
    EXPECT_TRUE(model.Shapes().empty());
    EXPECT_FALSE(model.DeleteLast());
    EXPECT_FALSE(model.DeleteAll());
}

// Delete arrives from the keyboard while the button still holds a shape.
TEST_F(ShapesTest, DeletingDuringADragNeverMovesAnotherShape) {
    AddLines(5);
    Run({Press(110, 10)});  // hold shape 2
    model.DeleteLast();
    Run({Drag(115, 10)});
    EXPECT_EQ(model.Shapes()[2].p1x, 115);  // still the same shape
    model.DeleteSelected();
    Run({Drag(125, 10), Release()});
    std::vector<int32_t> lefts;
    for (const MeasureShape& s : model.Shapes()) lefts.push_back(s.p1x);
    EXPECT_EQ(lefts, (std::vector<int32_t>{10, 60, 160}));
}

TEST_F(ShapesTest, HoverRepaintsOnlyWhenTheShapeUnderTheMouseChanges) {
    AddLines(2);
    const int before = view.composes;
    Run({Hover(10, 10), Hover(11, 11), Hover(300, 300), Hover(60, 40)});
    EXPECT_EQ(model.HoveredIndex(), 1);
    EXPECT_EQ(view.composes - before, 3);
}

TEST_F(ShapesTest, OtherZoomsDrawNothingAndPanInsteadOfPicking) {
    AddLines(1);
    view.geometry.zoomPercent = 150;
    view.geometry.displayWidth = 960;
    Run({Press(10, 10), Drag(20, 20), Release()});  // on the hidden line's handle
    EXPECT_EQ(model.SelectedIndex(), -1);
    EXPECT_EQ(view.pans.size(), 1u);
    for (int32_t digitalZoom : {0, 2}) {
        view.geometry.zoomPercent = digitalZoom == 0 ? 150 : 100;
        view.geometry.digitalZoom = digitalZoom;
        for (int32_t tool : {kToolLine, kToolPencil, kToolText}) {
            model.SetTool(tool);
            Run({Press(300, 300), Drag(310, 310), Release()});
        }
    }
    EXPECT_EQ(model.Shapes().size(), 1u);
    EXPECT_EQ(model.Shapes()[0].p1x, 10);
}

TEST_F(ShapesTest, TextIsPlacedAndDraggedThroughTheShapeInProgress) {
    view.SetPicture(1280, 960, 640, 480);
    view.geometry.hScrollPos = 300;
    view.geometry.vScrollPos = 200;  // window point = picture point - (300, 200)
    model.SetTool(kToolText);
    model.BeginTextPlacement();
    model.OnTextInit();
    EXPECT_TRUE(model.InProgressShown());
    EXPECT_EQ(Corners(model.InProgress()), (Points{540, 338, 0, 0, -1}));
    EXPECT_FALSE(model.OnTextOk());  // an empty text commits nothing
    model.SetPlacedText(u"abc");
    // Its box is 3 * 7 + 4 wide and 16 + 4 high: (540, 338) to (565, 358).
    Run({Press(265, 140), Drag(300, 150), Release()});  // x 565 is just outside
    Run({Press(264, 157), Drag(274, 147), Release()});
    EXPECT_TRUE(model.OnTextOk());
    ASSERT_EQ(model.Shapes().size(), 1u);
    EXPECT_EQ(model.Shapes()[0].text, u"abc");
    EXPECT_EQ(model.Shapes()[0].hitRects[0].left, 550);
    EXPECT_EQ(model.Shapes()[0].hitRects[0].top, 328);
    EXPECT_EQ(model.Shapes()[0].hitRects[0].right, 575);

    // An "OK" that was not preceded by "Init" (another tool dropped the placement, or the
    // events came out of order) has no text shape to commit, whatever text arrived.
    model.SetTool(kToolNone);
    model.SetPlacedText(u"stray");
    EXPECT_FALSE(model.OnTextOk());
    EXPECT_EQ(model.Shapes().size(), 1u);
}

TEST_F(ShapesTest, AnEmptyTextIsGrabbedByThePlaceholdersBox) {
    model.SetTool(kToolText);
    model.OnTextInit();  // (220, 138) on a 640 x 480 picture
    const int32_t right = 220 + 7 * static_cast<int32_t>(std::u16string_view(kPlaceholder).size()) + 4;
    Run({Press(static_cast<uint16_t>(right - 1), 140), Drag(200, 140), Release()});
    EXPECT_EQ(model.InProgress().p1x, 220 + 200 - (right - 1));
}

TEST(MeasureShapeText, KeepsAtMost255UnitsAndNeverHalfASurrogatePair) {
    MeasureShape shape;
    shape.SetText(std::u16string(300, u'a'));
    EXPECT_EQ(shape.text.size(), 255u);
    std::u16string emoji(254, u'a');
    emoji += u"\U0001F600";  // units 254 and 255: the pair straddles the limit
    shape.SetText(emoji);
    EXPECT_EQ(shape.text, std::u16string(254, u'a'));
    shape.SetText(std::u16string(253, u'a') + u"\U0001F600");
    EXPECT_EQ(shape.text.size(), 255u);
}

TEST(Ruler, PlacementCentresAThirdOfTheWidthAtLeast300) {
    CalibrationRuler ruler;
    ruler.length = kRulerUnplacedLength;
    PlaceRuler(ruler, 1920);
    EXPECT_EQ(std::make_pair(ruler.leftX, ruler.rightX), std::make_pair(640, 1280));
    PlaceRuler(ruler, 640);  // placed rulers stay where they are
    EXPECT_EQ(ruler.leftX, 640);
}

TEST_F(ShapesTest, RulerEndsDragWithinTheirLimitsAndReleaseAsksToEndTheTool) {
    model.SetTool(kToolLine);
    model.ShowRuler();
    CalibrationRuler& ruler = model.Ruler();
    PlaceRuler(ruler, 640);  // W / 3 is raised to 300; bars from y 180 to 300
    ASSERT_EQ(std::make_pair(ruler.leftX, ruler.rightX), std::make_pair(170, 470));
    Run({Hover(171, 240)});
    EXPECT_EQ(ruler.hoverLeft, 1);
    Run({Press(171, 240), Drag(200, 240), Drag(200, 400), Drag(300, 240)});
    EXPECT_EQ(ruler.leftX, 199);  // 300 would leave 170 pixels
    EXPECT_EQ(ruler.length, 271);
    Run({Drag(0, 240), Drag(1, 240), Release()});  // the left end may not reach x 0
    EXPECT_EQ(ruler.leftX, 199);
    // The tool ends through the main window, which answers with SetTool(0); not here.
    EXPECT_EQ(view.noToolRequests, 1);
    EXPECT_EQ(model.CurrentTool(), kToolLine);
    EXPECT_TRUE(model.Shapes().empty());

    Run({Press(469, 240), Drag(639, 240)});
    EXPECT_EQ(ruler.rightX, 470);  // 170 pixels from the pressed point would reach x = W
    Run({Drag(638, 240), Release()});
    EXPECT_EQ(ruler.rightX, 639);
    EXPECT_EQ(ruler.length, 639 - 199);
    model.SetTool(kToolNone);
    Run({Press(300, 240), Release()});  // no tool left to end
    EXPECT_EQ(view.noToolRequests, 2);
}

// A press taken by the ruler and a shape being drawn both end when the ruler is hidden or
// shown: the release finishes nothing, however stale the shape in progress.
TEST_F(ShapesTest, ShowingOrHidingTheRulerEndsAnyDrag) {
    model.SetTool(kToolCircle);
    Run({Press(100, 100), Drag(150, 100), Release()});
    ASSERT_EQ(model.Shapes().size(), 1u);
    model.ShowRuler();
    Run({Press(320, 240)});
    model.HideRuler();
    EXPECT_FALSE(model.Dragging());
    Run({Drag(200, 200), Release()});
    EXPECT_EQ(model.Shapes().size(), 1u);

    Run({Press(100, 100), Drag(150, 100)});
    model.ShowRuler();
    EXPECT_FALSE(model.Dragging());
    EXPECT_FALSE(view.captured);
    Run({Release()});
    EXPECT_EQ(model.Shapes().size(), 1u);
    EXPECT_FALSE(model.InProgressShown());
    EXPECT_EQ(view.noToolRequests, 0);
    EXPECT_EQ(model.CurrentTool(), kToolCircle);
}

}  // namespace
