#include "capture/format_map.h"

#include <iterator>

bool IsListableSize(uint32_t width, uint32_t height) { return width >= 640 && height >= 480; }

bool InsertFormat(FormatMap& map, const FormatEntry& entry) {
    const int64_t pixels = static_cast<int64_t>(entry.width) * entry.height;
    if (pixels <= 0 || pixels > INT32_MAX) return false;
    return map.emplace(static_cast<int32_t>(pixels), entry).second;
}

void AddInterpolatedEntries(FormatMap& map, const MediaSubtype& subtype) {
    if (map.empty()) return;
    const FormatEntry& largest = map.rbegin()->second;
    if (largest.width != 640 || largest.height != 480) return;
    InsertFormat(map, {subtype, 1280, 960, 1});
    InsertFormat(map, {subtype, 1920, 1080, 1});
}

void ChooseDefaultFormat(const FormatMap& mjpg, const FormatMap& yuy2, RequestedFormat* request) {
    const FormatMap& map = mjpg.empty() ? yuy2 : mjpg;
    if (map.empty()) return;
    const FormatEntry* chosen = nullptr;
    for (int32_t pixels : {1920 * 1080, 1280 * 720, 640 * 480}) {
        const auto it = map.find(pixels);
        if (it != map.end()) {
            chosen = &it->second;
            break;
        }
    }
    if (chosen == nullptr) chosen = &std::next(map.begin(), map.size() / 2)->second;
    request->subtype = chosen->subtype;
    request->width = chosen->interpolated ? 640 : chosen->width;
    request->height = chosen->interpolated ? 480 : chosen->height;
    request->interpolated = chosen->interpolated;
}

RequestedFormat StreamRequest(const RequestedFormat& request) {
    RequestedFormat stream = request;
    if (stream.interpolated) {
        stream.width = 640;
        stream.height = 480;
    }
    return stream;
}

const FormatMap& MapOfFormatChoice(const FormatMap& mjpg, const FormatMap& yuy2, int formatIndex) {
    if (mjpg.empty()) return yuy2;
    return formatIndex == 0 ? mjpg : yuy2;
}

int PreselectedResolution(const FormatMap& map, int32_t width, int32_t height) {
    if (map.empty()) return -1;
    int position = 0;
    for (const auto& item : map) {
        if (item.second.width == width && item.second.height == height) return position;
        ++position;
    }
    return static_cast<int>(map.size() / 2);
}

const FormatEntry* FormatAtPosition(const FormatMap& map, int position) {
    if (position < 0 || static_cast<size_t>(position) >= map.size()) return nullptr;
    return &std::next(map.begin(), position)->second;
}
