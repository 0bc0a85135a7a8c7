#include "measure/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Upper bound first, then 0, so a negative extent yields 0.
int ClampPosition(int position, int extent) { return std::max(0, std::min(position, extent)); }

int PageFor(int clientExtent) { return std::max(0, std::min(clientExtent / 3, kScrollPage)); }

ScrollBarState BarFor(bool shown, int position, int clientExtent, int displayExtent) {
    ScrollBarState bar = {shown, position, 0, 0};
    if (shown) {
        bar.page = PageFor(clientExtent);
        bar.maximum = displayExtent + bar.page - clientExtent - 1;
    }
    return bar;
}

}  // namespace

bool IsFixedZoom(int ratio) { return ratio >= kMinZoomPercent && ratio <= kMaxZoomPercent; }

int FitZoomPercent(int clientWidth, int clientHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0) return 100;
    const float byHeight = static_cast<float>(clientHeight) / static_cast<float>(pictureHeight);
    const float byWidth = static_cast<float>(clientWidth) / static_cast<float>(pictureWidth);
    const int ratio = static_cast<int>(std::min(byHeight, byWidth) * 100.0f);
    return std::max(kMinZoomPercent, std::min(ratio, kMaxZoomPercent));
}

int DisplayExtent(int pictureExtent, int ratio) {
    return static_cast<int>(static_cast<float>(pictureExtent) * (static_cast<float>(ratio) / 100.0f));
}

ScrollLayout LayoutScrollBars(int bareWidth, int bareHeight, int displayWidth, int displayHeight,
                              int hPosition, int vPosition, int verticalBarWidth,
                              int horizontalBarHeight) {
    int width = bareWidth, height = bareHeight;
    bool needH = width < displayWidth;
    if (needH) height -= horizontalBarHeight;
    const bool needV = height < displayHeight;
    if (needV) {
        width -= verticalBarWidth;
        if (width < displayWidth && !needH) {
            needH = true;
            height -= horizontalBarHeight;
        }
    }
    ScrollLayout layout;
    layout.clientWidth = width;
    layout.clientHeight = height;
    layout.horizontal = BarFor(needH, ClampPosition(hPosition, displayWidth - width), width, displayWidth);
    layout.vertical = BarFor(needV, ClampPosition(vPosition, displayHeight - height), height, displayHeight);
    return layout;
}

int ScrollPosition(int code, int thumb, int position, int extent) {
    int target = position;
    switch (code) {
        case 0: target = position - kScrollLine; break;
        case 1: target = position + kScrollLine; break;
        case 2: target = position - kScrollPage; break;
        case 3: target = position + kScrollPage; break;
        case 4:
        case 5: target = thumb; break;
        case 6: target = 0; break;
        case 7: target = extent; break;
        default: return position;
    }
    // 0 first, then the extent, as the bar's own range does.
    return std::min(std::max(target, 0), std::max(extent, 0));
}

int PanPosition(int position, int delta, int displayExtent, int clientExtent) {
    if (displayExtent <= clientExtent) return position;
    return ClampPosition(position - delta, displayExtent - clientExtent);
}

SourceRect DigitalZoomSource(int sourceWidth, int sourceHeight, int level) {
    if (level <= 0) return {0, 0, sourceWidth, sourceHeight};
    level = std::min(level, kMaxDigitalZoom);
    const int cw = static_cast<int>(std::lround(sourceWidth * 0.1f * level));
    const int ch = static_cast<int>(std::lround(sourceHeight * 0.1f * level));
    return {cw / 2, ch / 2, sourceWidth - cw, sourceHeight - ch};
}

PresentSpan PresentAxis(bool barShown, int clientExtent, int displayExtent, int scrollPosition) {
    if (barShown) return {0, clientExtent, scrollPosition};
    return {(clientExtent - displayExtent) / 2, displayExtent, 0};
}

bool LeadingBand(int clientExtent, int displayExtent, Band* band) {
    if (displayExtent >= clientExtent) return false;
    *band = {0, (clientExtent - displayExtent) / 2};
    return true;
}

bool TrailingBand(int clientExtent, int displayExtent, Band* band) {
    if (displayExtent >= clientExtent) return false;
    *band = {(clientExtent + displayExtent) / 2, clientExtent};
    return true;
}
