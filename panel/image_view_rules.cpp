#include "panel/image_view_rules.h"

#include <algorithm>

int ViewerScaledExtent(int sourceExtent, int zoomPercent) {
    switch (zoomPercent) {
        case 15: return sourceExtent * 15 / 100;
        case 25: return sourceExtent / 4;
        case 50: return sourceExtent / 2;
        case 75: return sourceExtent * 3 / 4;
        case 125: return sourceExtent * 5 / 4;
        case 150: return sourceExtent * 3 / 2;
        case 175: return sourceExtent * 7 / 4;
        case 200: return sourceExtent * 2;
        default: return sourceExtent;
    }
}

int ViewerClampedOffset(int offset, int scaledExtent, int clientExtent) {
    const int clamped = std::min(offset, scaledExtent - clientExtent);
    return clamped < 1 ? 0 : clamped;
}

int ViewerCentredOffset(int offset, int scaledExtent, int clientExtent) {
    return scaledExtent > clientExtent ? (scaledExtent - clientExtent) / 2 : offset;
}

std::u16string ViewerPathOf(std::u16string_view path, bool* isVideo) {
    constexpr size_t kShortestPath = 4;
    *isVideo = false;
    if (path.size() < kShortestPath || path.size() > kViewerMaxPathChars) return {};
    std::u16string shown(path);
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    const size_t tail = shown.size() - 3;
    if (lower(shown[tail]) == u'a' && lower(shown[tail + 1]) == u'v' &&
        lower(shown[tail + 2]) == u'i') {
        shown.replace(tail, 3, u"jpg");
        *isVideo = true;
    }
    return shown;
}

bool ViewerAcceptsImageSize(uint32_t width, uint32_t height) {
    constexpr uint32_t kMaxSide = 16384;
    constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<uint64_t>(width) * height <= kMaxPixels;
}

size_t ViewerStride(uint32_t width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3); }
