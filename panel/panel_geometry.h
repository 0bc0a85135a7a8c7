// The control panel's arithmetic: dialog units, the stacked sections with their scroll
// range, and where every section puts its controls. Plain numbers in, plain numbers out.
#pragma once
#include <array>
#include <cstdint>

// Rounded a * b / c as the platform's MulDiv computes it; -1 when c is 0.
int RoundedMulDiv(int a, int b, int c);

// The dialog base units of the system; n dialog units convert to pixels through them.
struct DialogUnits {
    int baseX;  // low word of the dialog base units
    int baseY;  // high word
    int X(int n) const { return RoundedMulDiv(n, baseX, 4); }
    int Y(int n) const { return RoundedMulDiv(n, baseY, 8); }
};

struct ControlRect {
    int x, y, width, height;
};

constexpr int kPanelMarginUnits = 4;  // both margins, horizontal and vertical dialog units
constexpr int kSectionCount = 4;
enum SectionOrder { kSectionDevice, kSectionPreview, kSectionColor, kSectionFiles };

struct SectionSlot {
    int collapsedHeight;
    int expandedHeight;
    bool expanded;
    bool suppressed;  // takes no room whatever the other fields say
};

int SlotHeight(const SectionSlot& slot);
// Both vertical margins plus every slot's height.
int ContentHeight(const std::array<SectionSlot, kSectionCount>& slots, int verticalMargin);

// What the panel's vertical scroll bar shows. With a page of 20 and a maximum of
// (content - client) + 19 the reachable positions are 0 to content - client, in pixels.
struct PanelScrollBar {
    bool shown;
    int position;  // clamped into the range; 0 when the content fits
    int maximum;
    int page;
};
constexpr int kPanelScrollPage = 20;
PanelScrollBar PanelScrollFor(int contentHeight, int clientHeight, int position);

// Scroll-bar codes in the platform's numbering.
enum ScrollCode {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
    kScrollEnd = 8,
};
// A page is four lines; codes without a movement keep the position. Clamped to 0..maxPosition.
int PanelScrollTarget(int code, int thumb, int position, int line, int maxPosition);
// A wheel turned away from the user (positive) scrolls up, anything else down.
int WheelScrollCode(int delta);

// Sections one below the other from the vertical margin, moved up by the scroll position.
std::array<ControlRect, kSectionCount> PlaceSections(
    const std::array<SectionSlot, kSectionCount>& slots, int clientWidth, const DialogUnits& du,
    int scrollPosition);

// Heights every section reports: a header of 14 vertical units and one pixel under it.
int SectionHeaderHeight(const DialogUnits& du);
int SectionCollapsedHeight(const DialogUnits& du);
constexpr int kDeviceBodyUnits = 75;
constexpr int kPreviewBodyUnits = 76;
constexpr int kColorBodyUnits = 218;
constexpr int kFilesBodyUnits = 133;
int SectionExpandedHeight(const DialogUnits& du, int bodyUnits);
// The Files section also holds a preview three quarters as high as it is wide.
int FilesExpandedHeight(const DialogUnits& du, int width);
// Until the Files section knows its own width it takes the panel's less 16 pixels.
int FilesInitialWidth(int panelWidth);

// Control rectangles of each section for its client width, indexed from the header (child
// id 100) upward. Combo boxes are given their drop-down height.
constexpr int kDeviceControlCount = 9;
constexpr int kPreviewControlCount = 10;
constexpr int kColorControlCount = 24;
constexpr int kFilesControlCount = 3;
// The Device section's captions keep their column of 32 units while the widest of them
// (measured in pixels, 0 when unknown) fits in it, and widen it only when it does not.
std::array<ControlRect, kDeviceControlCount> DeviceSectionLayout(int width, const DialogUnits& du,
                                                                 int captionTextWidth = 0);
std::array<ControlRect, kPreviewControlCount> PreviewSectionLayout(int width,
                                                                   const DialogUnits& du);
std::array<ControlRect, kColorControlCount> ColorSectionLayout(int width, const DialogUnits& du);
std::array<ControlRect, kFilesControlCount> FilesSectionLayout(int width, const DialogUnits& du);
