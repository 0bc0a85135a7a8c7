// The resolutions a camera offers per stream subtype, and the choice of a default.
#pragma once
#include <cstdint>
#include <map>

#include "pipeline/media_subtype.h"

struct FormatEntry {
    MediaSubtype subtype;
    int32_t width;
    int32_t height;
    int32_t interpolated;  // 1 for the two sizes the program adds for a 640 x 480 camera
};

// Ascending by pixel count; the first format reported for a pixel count is kept.
using FormatMap = std::map<int32_t, FormatEntry>;

// What the user asked for; 0 x 0 lets the program choose a default.
struct RequestedFormat {
    MediaSubtype subtype;
    int32_t width;
    int32_t height;
    int32_t interpolated;
};

// Smaller than 640 x 480 is never listed.
bool IsListableSize(uint32_t width, uint32_t height);
// Inserts without replacing an entry of the same pixel count; false when not inserted.
bool InsertFormat(FormatMap& map, const FormatEntry& entry);
// A map whose largest entry is exactly 640 x 480 gains 1280 x 960 and 1920 x 1080,
// both interpolated.
void AddInterpolatedEntries(FormatMap& map, const MediaSubtype& subtype);

// MJPG if the camera offers any, else YUY2: 1080p, then 720p, then 480p, then the middle
// entry. Leaves `request` unchanged when both maps are empty. An interpolated choice
// keeps its flag and streams at 640 x 480.
void ChooseDefaultFormat(const FormatMap& mjpg, const FormatMap& yuy2, RequestedFormat* request);

// The stream size for a request: an interpolated size streams at 640 x 480.
RequestedFormat StreamRequest(const RequestedFormat& request);

// The open-device dialog's format list holds "MJPG" when the camera offers it, then "YUY2"
// when it offers that. The map behind position `formatIndex` of that list: the YUY2 map when
// there is no MJPG, else MJPG at position 0 and YUY2 at any other.
const FormatMap& MapOfFormatChoice(const FormatMap& mjpg, const FormatMap& yuy2, int formatIndex);
// The entry to preselect in a resolution list: the one of width x height, else the middle
// one; -1 for an empty map.
int PreselectedResolution(const FormatMap& map, int32_t width, int32_t height);
// The entry at a list position, or null outside the map.
const FormatEntry* FormatAtPosition(const FormatMap& map, int position);
