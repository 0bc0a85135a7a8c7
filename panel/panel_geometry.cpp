#include "panel/panel_geometry.h"

#include <algorithm>

namespace {

ControlRect Rect(int x, int y, int width, int height) {
    return {x, y, std::max(width, 0), std::max(height, 0)};
}

// Half of the room beside the 14 units of margins and gap: the width of one column of
// buttons or switches.
int ColumnWidth(int width, const DialogUnits& du) { return (width - du.X(14)) / 2; }

}  // namespace

int RoundedMulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t magnitude = product < 0 ? -product : product;
    const int64_t divisor = c < 0 ? -static_cast<int64_t>(c) : c;
    const int64_t rounded = (magnitude + divisor / 2) / divisor;  // halves away from zero
    return static_cast<int>((product < 0) != (c < 0) ? -rounded : rounded);
}

int SlotHeight(const SectionSlot& slot) {
    if (slot.suppressed) return 0;
    return slot.expanded ? slot.expandedHeight : slot.collapsedHeight;
}

int ContentHeight(const std::array<SectionSlot, kSectionCount>& slots, int verticalMargin) {
    int total = 2 * verticalMargin;
    for (const SectionSlot& slot : slots) total += SlotHeight(slot);
    return total;
}

PanelScrollBar PanelScrollFor(int contentHeight, int clientHeight, int position) {
    if (clientHeight >= contentHeight) return {false, 0, 0, 0};
    const int maxPosition = contentHeight - clientHeight;
    return {true, std::clamp(position, 0, maxPosition), maxPosition + kPanelScrollPage - 1,
            kPanelScrollPage};
}

int PanelScrollTarget(int code, int thumb, int position, int line, int maxPosition) {
    int target = position;
    switch (code) {
        case kScrollLineUp: target = position - line; break;
        case kScrollLineDown: target = position + line; break;
        case kScrollPageUp: target = position - 4 * line; break;
        case kScrollPageDown: target = position + 4 * line; break;
        case kScrollThumbPosition:
        case kScrollThumbTrack: target = thumb; break;
        case kScrollTop: target = 0; break;
        case kScrollBottom: target = maxPosition; break;
        default: break;
    }
    return std::clamp(target, 0, std::max(maxPosition, 0));
}

int WheelScrollCode(int delta) { return delta > 0 ? kScrollLineUp : kScrollLineDown; }

std::array<ControlRect, kSectionCount> PlaceSections(
    const std::array<SectionSlot, kSectionCount>& slots, int clientWidth, const DialogUnits& du,
    int scrollPosition) {
    std::array<ControlRect, kSectionCount> placed = {};
    const int x = du.X(kPanelMarginUnits);
    int y = du.Y(kPanelMarginUnits) - scrollPosition;
    for (int i = 0; i < kSectionCount; ++i) {
        const int height = SlotHeight(slots[i]);
        placed[i] = Rect(x, y, clientWidth - 2 * x, height);
        y += height;
    }
    return placed;
}

int SectionHeaderHeight(const DialogUnits& du) { return du.Y(14); }
int SectionCollapsedHeight(const DialogUnits& du) { return SectionHeaderHeight(du) + 1; }
int SectionExpandedHeight(const DialogUnits& du, int bodyUnits) {
    return SectionCollapsedHeight(du) + du.Y(bodyUnits);
}
int FilesExpandedHeight(const DialogUnits& du, int width) {
    return SectionExpandedHeight(du, kFilesBodyUnits) + width * 3 / 4;
}
int FilesInitialWidth(int panelWidth) { return panelWidth - 16; }

std::array<ControlRect, kDeviceControlCount> DeviceSectionLayout(int width, const DialogUnits& du,
                                                                 int captionTextWidth) {
    const int t = SectionCollapsedHeight(du);
    const int column = ColumnWidth(width, du);
    // A caption wider than its column in the font actually used (Wine may substitute a
    // wider one) widens the column; the lists give up that much width and keep their gap.
    const int captionWidth = std::max(du.X(32), captionTextWidth);
    const int comboShift = captionWidth - du.X(32);
    std::array<ControlRect, kDeviceControlCount> r = {};
    r[0] = Rect(0, 0, width, SectionHeaderHeight(du));
    for (int row = 0; row < 3; ++row) {
        const int rowTop = 15 * row;
        r[1 + 2 * row] = Rect(du.X(2), t + du.Y(5 + rowTop), captionWidth, du.Y(8));
        r[2 + 2 * row] = Rect(du.X(36) + comboShift, t + du.Y(3 + rowTop),
                              width - du.X(39) - comboShift, du.Y(80));
    }
    r[7] = Rect(du.X(4), t + du.Y(51), column, du.Y(16));
    r[8] = Rect(column + du.X(6) + du.X(4), t + du.Y(51), column, du.Y(16));
    return r;
}

std::array<ControlRect, kPreviewControlCount> PreviewSectionLayout(int width,
                                                                   const DialogUnits& du) {
    const int t = SectionCollapsedHeight(du);
    const int column = ColumnWidth(width, du);
    std::array<ControlRect, kPreviewControlCount> r = {};
    r[0] = Rect(0, 0, width, SectionHeaderHeight(du));
    r[1] = Rect(du.X(4), t + du.Y(4), du.X(48), du.Y(8));
    r[2] = Rect(du.X(4), t + du.Y(14), width - du.X(8), du.Y(8));
    r[3] = Rect(width - du.X(50), t + du.Y(4), du.X(46), du.Y(10));
    for (int row = 0; row < 3; ++row) {
        const int y = t + du.Y(27 + 16 * row);
        r[4 + 2 * row] = Rect(du.X(7), y, column, du.Y(12));
        r[5 + 2 * row] = Rect(column + du.X(2) + du.X(7), y, column, du.Y(12));
    }
    return r;
}

std::array<ControlRect, kColorControlCount> ColorSectionLayout(int width,
                                                               const DialogUnits& du) {
    const int t = SectionCollapsedHeight(du);
    std::array<ControlRect, kColorControlCount> r = {};
    r[0] = Rect(0, 0, width, SectionHeaderHeight(du));
    // Each step is converted on its own, so rounding adds up as the rows go down.
    int step = 0;
    for (int row = 0; row < 9; ++row) {
        if (row > 0) step += du.Y(row == 2 ? 21 : 19);
        r[1 + row] = Rect(du.X(4), t + du.Y(4) + step, du.X(48), du.Y(8));
        r[10 + row] = Rect(du.X(4), t + du.Y(14) + step, width - du.X(8), du.Y(8));
    }
    r[19] = Rect(width - du.X(50), t + du.Y(4), du.X(46), du.Y(10));
    r[20] = Rect(width - du.X(50), t + du.Y(23), du.X(46), du.Y(10));
    r[21] = Rect(du.X(4), t + du.Y(181), du.X(48), du.Y(8));
    r[22] = Rect(du.X(54), t + du.Y(180), width - du.X(58), du.Y(60));
    r[23] = Rect(du.X(4), t + du.Y(198), width - du.X(8), du.Y(16));
    return r;
}

std::array<ControlRect, kFilesControlCount> FilesSectionLayout(int width, const DialogUnits& du) {
    const int t = SectionCollapsedHeight(du);
    return {Rect(0, 0, width, SectionHeaderHeight(du)), Rect(0, t + du.Y(2), width, du.Y(128)),
            Rect(0, t + du.Y(133), width, width * 3 / 4)};
}
