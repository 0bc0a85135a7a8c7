// The camera view's arithmetic: zoom ratios, display size, scroll bars, digital zoom and
// where the picture lands in the window. Plain numbers in, plain numbers out.
#pragma once
#include <cstdint>

constexpr int kMinZoomPercent = 50;
constexpr int kMaxZoomPercent = 200;
constexpr int kScrollLine = 5;
constexpr int kScrollPage = 50;
constexpr int kMaxDigitalZoom = 5;

// A ratio outside 50..200 asks for fit mode.
bool IsFixedZoom(int ratio);
// The largest ratio at which the whole picture fits the client, kept within 50..200.
int FitZoomPercent(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight);
// Picture size scaled by a ratio, truncated.
int DisplayExtent(int pictureExtent, int ratio);

struct ScrollBarState {
    bool shown;
    int position;  // in display pixels
    int page;      // what the bar shows as its page
    int maximum;   // range 0..maximum; the largest position is display - client
};

struct ScrollLayout {
    int clientWidth;   // client area left for the picture once the bars are placed
    int clientHeight;
    ScrollBarState horizontal;
    ScrollBarState vertical;
};

// Decides both bars from the client size as it would be without bars.
ScrollLayout LayoutScrollBars(int bareClientWidth, int bareClientHeight, int displayWidth,
                              int displayHeight, int hPosition, int vPosition,
                              int verticalBarWidth, int horizontalBarHeight);

// The new position for a scroll-bar code (SB_*), clamped to 0..extent.
int ScrollPosition(int code, int thumb, int position, int extent);

// Dragging the picture by (dx, dy): the new position on one axis, clamped.
int PanPosition(int position, int delta, int displayExtent, int clientExtent);

struct SourceRect {
    int x, y, width, height;
};
// The centred part of the frame that digital zoom level n shows (n = 0: the whole frame).
SourceRect DigitalZoomSource(int sourceWidth, int sourceHeight, int level);

// Where the surface goes in the window on one axis.
struct PresentSpan {
    int destination;
    int extent;
    int source;
};
PresentSpan PresentAxis(bool barShown, int clientExtent, int displayExtent, int scrollPosition);

// The grey bands beside a centred picture narrower or lower than the client area.
struct Band {
    int from, to;  // half-open
};
bool LeadingBand(int clientExtent, int displayExtent, Band* band);
bool TrailingBand(int clientExtent, int displayExtent, Band* band);
