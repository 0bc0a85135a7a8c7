// The measurement shapes drawn over the live picture and the mouse state machine that builds,
// selects, moves and deletes them. The camera view feeds it mouse words and reaches back
// through MeasureHost for everything that needs the window.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Tool codes; a shape's kind is the code of the tool that built it.
constexpr int32_t kToolNone = 0;
constexpr int32_t kToolLine = 1;
constexpr int32_t kToolParallel = 2;
constexpr int32_t kToolRectangle = 3;
constexpr int32_t kToolCircle = 4;
constexpr int32_t kToolConcentric = 5;
constexpr int32_t kToolAngle = 6;
constexpr int32_t kToolPencil = 11;
constexpr int32_t kToolText = 12;
// The left or right end of the calibration ruler being dragged, numbered like tools; the model
// keeps them apart from the chosen tool, which a ruler drag leaves alone.
// Never a shape kind.
constexpr int32_t kToolRulerLeft = 19;
constexpr int32_t kToolRulerRight = 20;

// Text annotations hold at most this many characters, terminator included.
constexpr int kTextAnnotationChars = 256;

// The left-button bit of a mouse message's key-state word.
constexpr uint32_t kMouseLeftButton = 0x0001;

struct PicturePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PicturePoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const PicturePoint& other) const { return !(*this == other); }
};

struct HitRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    // Half-open, so an all-zero rectangle contains nothing.
    bool Contains(PicturePoint p) const {
        return left <= p.x && p.x < right && top <= p.y && p.y < bottom;
    }
};

// The grab area around a shape's point.
HitRect HandleRect(int32_t x, int32_t y);

struct TextSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

// p3x of a third point that has not been placed yet.
constexpr int32_t kThirdPointUnplaced = -1;

struct MeasureShape {
    int32_t kind = kToolNone;
    int32_t p1x = 0, p1y = 0;
    int32_t p2x = 0, p2y = 0;
    int32_t p3x = kThirdPointUnplaced, p3y = 0;
    // Kept apart from the coordinates: a placed point moved onto x = -1 is still placed.
    bool thirdPlaced = false;
    std::vector<PicturePoint> points;  // Pencil stroke in input order
    std::u16string text;               // Text only; at most kTextAnnotationChars - 1
    std::array<HitRect, 4> hitRects{};

    // Keeps at most kTextAnnotationChars - 1 code units, never half a surrogate pair.
    void SetText(std::u16string_view newText);
};

using ShapeList = std::vector<MeasureShape>;

// A Parallel, Concentric or Angle whose third point was placed; it moves with the shape.
inline bool HasThirdPoint(const MeasureShape& shape) { return shape.thirdPlaced; }
// Whether the third part is drawn goes by the point's coordinates alone: Parallel and Angle
// need it inside the picture, Concentric off row 0 and column 0 as well.
inline bool ThirdPartShown(const MeasureShape& shape) { return shape.p3x >= 0 && shape.p3y >= 0; }
inline bool OuterCircleShown(const MeasureShape& shape) { return shape.p3x >= 1 && shape.p3y >= 1; }

// What an empty text annotation shows instead, for drawing and for its grab box.
std::u16string_view ShownText(const MeasureShape& shape, std::u16string_view placeholder);

// Grab areas of a shape. `textBox` is the measured size of the shown text and only matters
// for Text shapes.
void RecomputeHitRects(MeasureShape& shape, TextSize textBox);

// The view's geometry as MapToPicture and the drawing tools need it.
struct ViewGeometry {
    int32_t hScrollPos = 0, vScrollPos = 0;
    int32_t clientWidth = 0, clientHeight = 0;
    int32_t pictureWidth = 0, pictureHeight = 0;
    int32_t displayWidth = 0, displayHeight = 0;  // picture size times the zoom
    int32_t zoomPercent = 100;
    int32_t digitalZoom = 0;
    // Shapes, crossline and ruler are drawn, and shapes can be edited, only in this state.
    bool OverlayShown() const { return zoomPercent == 100 && digitalZoom == 0; }
};

// Mouse words to a point of the composed picture (display pixels, which are picture pixels at
// 100 %), centring margins taken off. False for a point outside the picture, including the
// huge words of a captured mouse left of or above the window.
bool MapToPicture(const ViewGeometry& view, uint16_t mouseX, uint16_t mouseY, PicturePoint* point);

struct CalibrationRuler {
    int32_t length = 0;  // 0 = hidden; above kRulerPlacedLimit = shown but not yet placed
    int32_t leftX = 0;
    int32_t rightX = 0;
    int32_t hoverLeft = 0;
    int32_t hoverRight = 0;
    bool Active() const { return length != 0; }
};
constexpr int32_t kRulerUnplacedLength = 4800;
constexpr int32_t kRulerPlacedLimit = 2000;
constexpr int32_t kRulerMinLength = 200;

// The grab bar at an end of the ruler.
HitRect RulerEndBar(int32_t x, int32_t pictureHeight);
// Centres a ruler that has not been placed yet: a third of the picture width, at least 300.
void PlaceRuler(CalibrationRuler& ruler, int32_t pictureWidth);

// Everything the model needs from the camera view window.
class MeasureHost {
public:
    virtual ~MeasureHost() = default;
    virtual ViewGeometry Geometry() const = 0;
    // Size of one line of text in the label font.
    virtual TextSize MeasureLabelText(std::u16string_view text) = 0;
    virtual std::u16string_view TextPlaceholder() const = 0;
    virtual void CaptureMouse() = 0;
    // Only if the view holds the capture.
    virtual void ReleaseMouse() = 0;
    // Repaint with the next paint message, without erasing the background.
    virtual void Invalidate() = 0;
    // Compose and present at once, so drags and hover follow the mouse.
    virtual void ComposeNow() = 0;
    // Scroll the view against a mouse movement of (dx, dy) window pixels.
    virtual void PanView(int32_t dx, int32_t dy) = 0;
    // A press and release on the calibration ruler ends the measuring tool. The model never
    // changes its tool by itself: the main window chooses tool 0 on the path every tool change
    // takes, so that toolbar and input-text dialog follow, and sends it back through SetTool.
    virtual void RequestNoTool() = 0;
};

class MeasureModel {
public:
    explicit MeasureModel(MeasureHost& host) : host_(host) {}
    MeasureModel(const MeasureModel&) = delete;
    MeasureModel& operator=(const MeasureModel&) = delete;

    void SetTool(int32_t code);
    // Left button down; the view has taken the focus already.
    void OnPress(uint16_t mouseX, uint16_t mouseY);
    // keyFlags is the message's key-state word; only kMouseLeftButton is read.
    void OnMove(uint32_t keyFlags, uint16_t mouseX, uint16_t mouseY);
    void OnRelease();
    // The view lost the mouse capture (another window took it, or the system cancelled the
    // mode): any drag ends without committing anything.
    void OnCaptureLost();

    void DeleteSelected();
    // The caller checks that a preview runs and the calibration dialog is closed. Both return
    // false when the list was already empty.
    bool DeleteLast();
    bool DeleteAll();
    // View reset: no repaint, the view erases itself.
    void ClearAll();
    void CommitShapeInProgress();
    void RecomputeHitRects(MeasureShape& shape);

    // Text placement through the input-text dialog.
    void BeginTextPlacement();  // the main window, when it opens the dialog
    void OnTextInit();          // the dialog has started: a fresh text near the top centre
    void SetPlacedText(std::u16string_view text);
    bool OnTextOk();            // true when a non-empty text was committed

    // The calibration dialog opened or went away. Either ends any drag, so a release never
    // finishes a press that the ruler took, nor the ruler one that a tool took.
    void ShowRuler();
    void HideRuler();
    // For placing and drawing; the ruler is shown and hidden only through the two above.
    CalibrationRuler& Ruler() { return ruler_; }
    const CalibrationRuler& Ruler() const { return ruler_; }

    const ShapeList& Shapes() const { return shapes_; }
    const MeasureShape& InProgress() const { return inProgress_; }
    int32_t CurrentTool() const { return currentTool_; }
    int32_t PendingStage() const { return pendingStage_; }
    bool Dragging() const { return drag_ != Drag::None; }
    int32_t SelectedIndex() const { return selectedIndex_; }
    int32_t HoveredIndex() const { return hoveredIndex_; }
    // The shape in progress is drawn while a drag runs or a third point or a text is placed.
    bool InProgressShown() const;

private:
    // What a press that started a drag took: the view (pan), a new shape, or the ruler.
    enum class Drag { None, Pan, Shape, Ruler };
    // A list index, or one of these.
    static constexpr int32_t kNoDragTarget = -1;
    static constexpr int32_t kDragInProgress = -2;

    bool Map(uint16_t mouseX, uint16_t mouseY, PicturePoint* point) const;
    int32_t HitTest(PicturePoint point) const;
    MeasureShape* DragTarget();
    void MoveShape(MeasureShape& shape, PicturePoint point);
    void StartShape(PicturePoint point);
    void ExtendShape(PicturePoint point);
    void FinishDrag();
    void CancelDrag();
    void EndAnyDrag();
    void ResetInProgress();
    void ShapeRemoved(int32_t index);
    void PressTool0(uint16_t mouseX, uint16_t mouseY);
    void PressText(uint16_t mouseX, uint16_t mouseY);
    void Hover(uint16_t mouseX, uint16_t mouseY);
    void RulerPress(uint16_t mouseX, uint16_t mouseY);
    void RulerMove(uint16_t mouseX, uint16_t mouseY);

    MeasureHost& host_;
    ShapeList shapes_;
    MeasureShape inProgress_;
    CalibrationRuler ruler_;
    int32_t currentTool_ = kToolNone;
    int32_t pendingStage_ = 0;
    Drag drag_ = Drag::None;
    int32_t rulerEnd_ = kToolNone;  // kToolRulerLeft or kToolRulerRight while one is dragged
    PicturePoint lastPoint_;
    int32_t dragTarget_ = kNoDragTarget;
    int32_t selectedIndex_ = -1;
    int32_t hoveredIndex_ = -1;
};
