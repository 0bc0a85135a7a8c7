#include "measure/shapes.h"

#include <algorithm>

namespace {

constexpr int32_t kHandleHalf = 5;
constexpr int32_t kThirdPointHalf = 4;  // the third point's grab area is 8 pixels, not 10
constexpr int32_t kTextBoxPadding = 4;
constexpr int32_t kRulerBarHalfWidth = 2;
constexpr int32_t kRulerBarHalfHeight = 60;
constexpr int32_t kRulerShortest = 300;
// Where a new text starts, relative to the top centre of the visible picture.
constexpr int32_t kTextStartLeftOfCentre = 100;
constexpr int32_t kTextStartBelowTop = 138;

bool IsThreePointTool(int32_t code) {
    return code == kToolParallel || code == kToolConcentric || code == kToolAngle;
}

// The tools whose shapes are defined by P1, P2 and possibly P3.
bool IsPointTool(int32_t code) { return code >= kToolLine && code <= kToolAngle; }

bool IsDrawingTool(int32_t code) { return IsPointTool(code) || code == kToolPencil; }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Panning works in window coordinates. The words are read as signed so that a pointer just
// outside the window gives a small step, not a jump of 65535.
PicturePoint WindowPoint(uint16_t mouseX, uint16_t mouseY) {
    return {static_cast<int16_t>(mouseX), static_cast<int16_t>(mouseY)};
}

void MoveBy(int32_t& x, int32_t& y, int32_t dx, int32_t dy) {
    x += dx;
    y += dy;
}

}  // namespace

HitRect HandleRect(int32_t x, int32_t y) {
    return {x - kHandleHalf, y - kHandleHalf, x + kHandleHalf, y + kHandleHalf};
}

void MeasureShape::SetText(std::u16string_view newText) {
    size_t length = std::min<size_t>(newText.size(), kTextAnnotationChars - 1);
    if (length < newText.size() && length > 0 && IsHighSurrogate(newText[length - 1])) --length;
    text.assign(newText.substr(0, length));
}

std::u16string_view ShownText(const MeasureShape& shape, std::u16string_view placeholder) {
    return shape.text.empty() ? placeholder : std::u16string_view(shape.text);
}

void RecomputeHitRects(MeasureShape& shape, TextSize textBox) {
    auto& rects = shape.hitRects;
    rects = {};
    switch (shape.kind) {
    case kToolText:
        rects[0] = {shape.p1x, shape.p1y, shape.p1x + textBox.cx + kTextBoxPadding,
                    shape.p1y + textBox.cy + kTextBoxPadding};
        return;
    case kToolPencil:
        if (shape.points.size() >= 2) {
            rects[0] = HandleRect(shape.points.front().x, shape.points.front().y);
            rects[1] = HandleRect(shape.points.back().x, shape.points.back().y);
        }
        return;
    default:
        break;
    }
    rects[0] = HandleRect(shape.p1x, shape.p1y);
    rects[1] = HandleRect(shape.p2x, shape.p2y);
    // A third point that was never placed has no grab area; its stale coordinates would
    // otherwise make a phantom handle at the left edge.
    switch (shape.kind) {
    case kToolParallel:
    case kToolAngle:
        if (HasThirdPoint(shape)) {
            rects[2] = {shape.p3x - kThirdPointHalf, shape.p3y - kThirdPointHalf,
                        shape.p3x + kThirdPointHalf, shape.p3y + kThirdPointHalf};
        }
        break;
    case kToolConcentric:
        // The inner circle's point cannot be grabbed once the outer one exists.
        if (HasThirdPoint(shape)) rects[1] = HandleRect(shape.p3x, shape.p3y);
        break;
    case kToolRectangle:
        rects[2] = HandleRect(shape.p1x, shape.p2y);
        rects[3] = HandleRect(shape.p2x, shape.p1y);
        break;
    default:
        break;
    }
}

bool MapToPicture(const ViewGeometry& view, uint16_t mouseX, uint16_t mouseY, PicturePoint* point) {
    int64_t x = static_cast<int64_t>(mouseX) + view.hScrollPos;
    int64_t y = static_cast<int64_t>(mouseY) + view.vScrollPos;
    if (view.clientWidth > view.displayWidth) x -= (view.clientWidth - view.displayWidth) / 2;
    if (view.clientHeight > view.displayHeight) y -= (view.clientHeight - view.displayHeight) / 2;
    if (x < 0 || x >= view.displayWidth || y < 0 || y >= view.displayHeight) return false;
    *point = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

HitRect RulerEndBar(int32_t x, int32_t pictureHeight) {
    return {x - kRulerBarHalfWidth, pictureHeight / 2 - kRulerBarHalfHeight, x + kRulerBarHalfWidth,
            pictureHeight / 2 + kRulerBarHalfHeight};
}

void PlaceRuler(CalibrationRuler& ruler, int32_t pictureWidth) {
    if (ruler.length <= kRulerPlacedLimit) return;
    ruler.length = std::max(std::min(ruler.length, pictureWidth / 3), kRulerShortest);
    ruler.leftX = (pictureWidth - ruler.length) / 2;
    ruler.rightX = ruler.leftX + ruler.length;
}

// ---- MeasureModel ----

bool MeasureModel::InProgressShown() const {
    return Dragging() || IsThreePointTool(pendingStage_) || pendingStage_ == kToolText;
}

bool MeasureModel::Map(uint16_t mouseX, uint16_t mouseY, PicturePoint* point) const {
    return MapToPicture(host_.Geometry(), mouseX, mouseY, point);
}

int32_t MeasureModel::HitTest(PicturePoint point) const {
    for (size_t i = 0; i < shapes_.size(); ++i) {
        for (const HitRect& rect : shapes_[i].hitRects) {
            if (rect.Contains(point)) return static_cast<int32_t>(i);
        }
    }
    return -1;
}

MeasureShape* MeasureModel::DragTarget() {
    if (dragTarget_ == kDragInProgress) return &inProgress_;
    if (dragTarget_ >= 0 && static_cast<size_t>(dragTarget_) < shapes_.size()) {
        return &shapes_[dragTarget_];
    }
    return nullptr;
}

void MeasureModel::RecomputeHitRects(MeasureShape& shape) {
    TextSize textBox;
    if (shape.kind == kToolText) textBox = host_.MeasureLabelText(ShownText(shape, host_.TextPlaceholder()));
    ::RecomputeHitRects(shape, textBox);
}

void MeasureModel::ResetInProgress() {
    inProgress_.kind = kToolNone;  // nothing drawn with the new tool yet
    inProgress_.points.clear();
    inProgress_.p1x = inProgress_.p1y = inProgress_.p2x = inProgress_.p2y = 0;
    inProgress_.p3x = kThirdPointUnplaced;
    inProgress_.thirdPlaced = false;
    inProgress_.text.clear();
}

// A drag of the previous tool, or one whose release never came, must not be finished by a
// release that belongs to something else.
void MeasureModel::CancelDrag() {
    const bool drawing = drag_ == Drag::Shape;
    drag_ = Drag::None;
    rulerEnd_ = kToolNone;
    dragTarget_ = kNoDragTarget;
    if (drawing) {
        ResetInProgress();
        host_.Invalidate();
    }
    host_.ReleaseMouse();
}

void MeasureModel::EndAnyDrag() {
    if (Dragging() || dragTarget_ != kNoDragTarget) CancelDrag();
}

void MeasureModel::OnCaptureLost() { EndAnyDrag(); }

void MeasureModel::ShowRuler() {
    EndAnyDrag();
    ruler_ = CalibrationRuler();
    ruler_.length = kRulerUnplacedLength;
    host_.Invalidate();
}

void MeasureModel::HideRuler() {
    EndAnyDrag();
    ruler_ = CalibrationRuler();
    host_.Invalidate();
}

void MeasureModel::SetTool(int32_t code) {
    if (code == currentTool_) return;
    CancelDrag();
    currentTool_ = code;
    pendingStage_ = 0;
    ResetInProgress();
    host_.Invalidate();
}

void MeasureModel::OnPress(uint16_t mouseX, uint16_t mouseY) {
    // A press while a drag still runs means its release was lost.
    EndAnyDrag();
    if (IsThreePointTool(currentTool_) && pendingStage_ == currentTool_) {
        pendingStage_ = 0;
        RecomputeHitRects(inProgress_);
        CommitShapeInProgress();
        host_.Invalidate();
        return;
    }
    if (ruler_.Active()) {
        RulerPress(mouseX, mouseY);
        return;
    }
    if (currentTool_ == kToolNone) {
        PressTool0(mouseX, mouseY);
        return;
    }
    if (!host_.Geometry().OverlayShown()) return;
    if (currentTool_ == kToolText) {
        PressText(mouseX, mouseY);
        return;
    }
    if (!IsDrawingTool(currentTool_)) return;
    PicturePoint point;
    if (!Map(mouseX, mouseY, &point)) return;
    host_.CaptureMouse();
    drag_ = Drag::Shape;
    StartShape(point);
    host_.Invalidate();
}

void MeasureModel::PressTool0(uint16_t mouseX, uint16_t mouseY) {
    const ViewGeometry view = host_.Geometry();
    PicturePoint point;
    if (!MapToPicture(view, mouseX, mouseY, &point)) return;
    lastPoint_ = point;
    // Shapes are not drawn at other zooms, so there is nothing to pick: the press pans.
    const int32_t hit = view.OverlayShown() ? HitTest(point) : -1;
    if (hit != selectedIndex_) {
        selectedIndex_ = hit;
        host_.Invalidate();
    }
    if (hit >= 0) {
        dragTarget_ = hit;
        host_.CaptureMouse();
        return;
    }
    // Captured, so that a release outside the view still ends the pan.
    host_.CaptureMouse();
    drag_ = Drag::Pan;
    lastPoint_ = WindowPoint(mouseX, mouseY);
}

void MeasureModel::PressText(uint16_t mouseX, uint16_t mouseY) {
    PicturePoint point;
    if (!Map(mouseX, mouseY, &point)) return;
    lastPoint_ = point;
    RecomputeHitRects(inProgress_);
    if (inProgress_.hitRects[0].Contains(point)) {
        dragTarget_ = kDragInProgress;
        host_.CaptureMouse();
    }
}

void MeasureModel::StartShape(PicturePoint point) {
    inProgress_.kind = currentTool_;
    inProgress_.p1x = inProgress_.p2x = point.x;
    inProgress_.p1y = inProgress_.p2y = point.y;
    inProgress_.points.clear();
    if (currentTool_ == kToolPencil) inProgress_.points.push_back(point);
    inProgress_.p3x = kThirdPointUnplaced;
    inProgress_.thirdPlaced = false;
    inProgress_.text.clear();
    pendingStage_ = 0;
}

void MeasureModel::OnMove(uint32_t keyFlags, uint16_t mouseX, uint16_t mouseY) {
    if (ruler_.Active()) {
        RulerMove(mouseX, mouseY);
        return;
    }
    if (MeasureShape* target = DragTarget()) {
        PicturePoint point;
        if (Map(mouseX, mouseY, &point)) MoveShape(*target, point);
        return;
    }
    const bool buttonDown = (keyFlags & kMouseLeftButton) != 0;
    if (!Dragging() && !buttonDown && currentTool_ == kToolNone) {
        Hover(mouseX, mouseY);
        return;
    }
    if (!Dragging() && buttonDown) return;
    if (buttonDown && drag_ == Drag::Pan) {
        const PicturePoint window = WindowPoint(mouseX, mouseY);
        const int32_t dx = window.x - lastPoint_.x;
        const int32_t dy = window.y - lastPoint_.y;
        if (dx != 0 || dy != 0) host_.PanView(dx, dy);
        lastPoint_ = window;
        return;
    }
    PicturePoint point;
    if (buttonDown) {
        if (drag_ != Drag::Shape || !Map(mouseX, mouseY, &point)) return;
        ExtendShape(point);
        host_.ComposeNow();
        return;
    }
    // Button up: a tool between drags, or a drag whose release never arrived.
    if (!IsThreePointTool(pendingStage_) || !Map(mouseX, mouseY, &point)) return;
    inProgress_.p3x = point.x;
    inProgress_.p3y = point.y;
    inProgress_.thirdPlaced = true;
    host_.ComposeNow();
}

void MeasureModel::ExtendShape(PicturePoint point) {
    if (currentTool_ == kToolPencil) {
        inProgress_.points.push_back(point);
    } else if (IsPointTool(currentTool_) || currentTool_ == kToolText) {
        inProgress_.p2x = point.x;
        inProgress_.p2y = point.y;
    }
}

void MeasureModel::Hover(uint16_t mouseX, uint16_t mouseY) {
    const ViewGeometry view = host_.Geometry();
    PicturePoint point;
    if (!MapToPicture(view, mouseX, mouseY, &point)) return;
    const int32_t hit = view.OverlayShown() ? HitTest(point) : -1;
    if (hit == hoveredIndex_) return;
    hoveredIndex_ = hit;
    host_.ComposeNow();
}

void MeasureModel::OnRelease() {
    const Drag ended = drag_;
    drag_ = Drag::None;
    rulerEnd_ = kToolNone;
    dragTarget_ = kNoDragTarget;
    // After the state is settled: giving the capture back reports a capture change at once.
    host_.ReleaseMouse();
    if (ended == Drag::Shape) {
        FinishDrag();
    } else if (ended == Drag::Ruler && currentTool_ != kToolNone) {
        host_.RequestNoTool();  // last: the main window's answer comes back through SetTool
    }
}

void MeasureModel::FinishDrag() {
    // Only a shape this tool started is finished; anything else was never drawn.
    if (inProgress_.kind != currentTool_) return;
    switch (currentTool_) {
    case kToolLine:
    case kToolRectangle:
    case kToolCircle:
    case kToolPencil:
        RecomputeHitRects(inProgress_);
        CommitShapeInProgress();
        // The committed shape is drawn differently from the one in progress (end bars).
        host_.Invalidate();
        break;
    case kToolParallel:
    case kToolConcentric:
    case kToolAngle:
        pendingStage_ = currentTool_;
        break;
    default:
        break;
    }
}

void MeasureModel::MoveShape(MeasureShape& shape, PicturePoint point) {
    if (point == lastPoint_) return;
    const int32_t dx = point.x - lastPoint_.x;
    const int32_t dy = point.y - lastPoint_.y;
    switch (shape.kind) {
    case kToolParallel:
    case kToolConcentric:
    case kToolAngle:
        // An unplaced third point keeps its marker instead of becoming a real point.
        if (HasThirdPoint(shape)) MoveBy(shape.p3x, shape.p3y, dx, dy);
        [[fallthrough]];
    case kToolLine:
    case kToolRectangle:
    case kToolCircle:
        MoveBy(shape.p1x, shape.p1y, dx, dy);
        MoveBy(shape.p2x, shape.p2y, dx, dy);
        break;
    case kToolPencil:
        for (PicturePoint& p : shape.points) MoveBy(p.x, p.y, dx, dy);
        break;
    case kToolText:
        MoveBy(shape.p1x, shape.p1y, dx, dy);
        break;
    default:
        break;
    }
    RecomputeHitRects(shape);
    lastPoint_ = point;
    host_.ComposeNow();
}

void MeasureModel::CommitShapeInProgress() { shapes_.push_back(inProgress_); }

// Keeps a drag target index pointing at the same shape after `index` was removed.
void MeasureModel::ShapeRemoved(int32_t index) {
    if (dragTarget_ == index) {
        dragTarget_ = kNoDragTarget;
    } else if (dragTarget_ > index) {
        --dragTarget_;
    }
}

void MeasureModel::DeleteSelected() {
    if (selectedIndex_ < 0 || static_cast<size_t>(selectedIndex_) >= shapes_.size()) return;
    shapes_.erase(shapes_.begin() + selectedIndex_);
    ShapeRemoved(selectedIndex_);
    if (hoveredIndex_ == selectedIndex_) hoveredIndex_ = -1;
    selectedIndex_ = -1;
    host_.Invalidate();
}

bool MeasureModel::DeleteLast() {
    if (shapes_.empty()) return false;
    shapes_.pop_back();
    const int32_t count = static_cast<int32_t>(shapes_.size());
    ShapeRemoved(count);
    if (hoveredIndex_ == count) hoveredIndex_ = -1;
    if (selectedIndex_ == count) selectedIndex_ = -1;
    host_.Invalidate();
    return true;
}

bool MeasureModel::DeleteAll() {
    if (shapes_.empty()) return false;
    ClearAll();
    host_.Invalidate();
    return true;
}

void MeasureModel::ClearAll() {
    shapes_.clear();
    dragTarget_ = kNoDragTarget;
    selectedIndex_ = hoveredIndex_ = -1;
}

void MeasureModel::BeginTextPlacement() { pendingStage_ = kToolText; }

void MeasureModel::OnTextInit() {
    const ViewGeometry view = host_.Geometry();
    inProgress_.kind = kToolText;
    inProgress_.p1x = view.pictureWidth / 2 - kTextStartLeftOfCentre;
    inProgress_.p1y = view.vScrollPos + kTextStartBelowTop;
    inProgress_.p2x = inProgress_.p2y = 0;
    host_.Invalidate();
}

void MeasureModel::SetPlacedText(std::u16string_view text) {
    inProgress_.SetText(text);
    host_.Invalidate();
}

bool MeasureModel::OnTextOk() {
    // Only a placement that "Init" started holds a text shape; anything else would commit a
    // shape of no kind.
    if (inProgress_.kind != kToolText || inProgress_.text.empty()) return false;
    RecomputeHitRects(inProgress_);
    CommitShapeInProgress();
    host_.Invalidate();
    return true;
}

void MeasureModel::RulerPress(uint16_t mouseX, uint16_t mouseY) {
    const ViewGeometry view = host_.Geometry();
    PicturePoint point;
    if (!MapToPicture(view, mouseX, mouseY, &point)) return;
    lastPoint_ = point;
    drag_ = Drag::Ruler;
    if (RulerEndBar(ruler_.leftX, view.pictureHeight).Contains(point)) rulerEnd_ = kToolRulerLeft;
    // Where the bars overlap the right end wins.
    if (RulerEndBar(ruler_.rightX, view.pictureHeight).Contains(point)) rulerEnd_ = kToolRulerRight;
}

void MeasureModel::RulerMove(uint16_t mouseX, uint16_t mouseY) {
    const ViewGeometry view = host_.Geometry();
    PicturePoint point;
    if (!MapToPicture(view, mouseX, mouseY, &point)) return;
    const int32_t dx = point.x - lastPoint_.x;
    if (rulerEnd_ == kToolRulerLeft) {
        if (dx == 0 || ruler_.leftX + dx <= 0 || ruler_.length - dx < kRulerMinLength) return;
        lastPoint_.x = point.x;
        ruler_.leftX += dx;
        ruler_.length -= dx;
        host_.ComposeNow();
        return;
    }
    if (rulerEnd_ == kToolRulerRight) {
        if (dx == 0 || ruler_.rightX + dx >= view.pictureWidth || ruler_.length + dx < kRulerMinLength) {
            return;
        }
        lastPoint_.x = point.x;
        ruler_.rightX += dx;
        ruler_.length += dx;
        host_.ComposeNow();
        return;
    }
    const int32_t overLeft = RulerEndBar(ruler_.leftX, view.pictureHeight).Contains(point);
    const int32_t overRight = RulerEndBar(ruler_.rightX, view.pictureHeight).Contains(point);
    if (overLeft == ruler_.hoverLeft && overRight == ruler_.hoverRight) return;
    ruler_.hoverLeft = overLeft;
    ruler_.hoverRight = overRight;
    host_.ComposeNow();
}
