#include "color_bar.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const ColorBarBand kColorBarBandTable[kColorBarBands] = {
    {2560, 13119, 1, -1},     {79360, 13759, 60, -1},   {157440, 13759, 180, -1},
    {234240, 14079, 120, -1}, {313600, 13759, 300, -1}, {390400, 14079, 1, 360},
    {469760, 13759, 240, -1}, {546560, 12479, 1, -1},
};

namespace {

inline int ClampByte(int x) { return x < 0 ? 0 : (x >= 256 ? 255 : x); }

bool HuePasses(int hue, const ColorBarBand& band) {
    if (std::abs(hue - band.targetHue) <= 10) return true;
    // Red sits at both ends of the hue circle.
    return band.otherTargetHue >= 0 && std::abs(hue - band.otherTargetHue) <= 10;
}

inline uint32_t GroupAt(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

int GroupHue(uint8_t y0, uint8_t u, uint8_t v) {
    const int c = 298 * y0 - 4768;
    const float r = ClampByte((c + 409 * (v - 128) + 128) >> 8) / 100.0f;
    const float g = ClampByte((c - 100 * (u - 128) - 208 * (v - 128) + 128) >> 8) / 100.0f;
    const float b = ClampByte((c + 516 * (u - 128) + 128) >> 8) / 100.0f;
    float max = r > g ? r : g;
    if (b > max) max = b;
    float min = r < g ? r : g;
    if (b < min) min = b;
    if (max == min) return 0;
    float hue;
    if (max == r) {
        hue = (g - b) / (max - min) * 60.0f;
        if (g < b) hue += 360.0f;
    } else if (max == g) {
        hue = (b - r) / (max - min) * 60.0f + 120.0f;
    } else {
        hue = (r - g) / (max - min) * 60.0f + 240.0f;
    }
    return static_cast<int>(hue);
}

bool IsColorBarFrame(const uint8_t* sample, size_t length, ColorBarReport* report) {
    if (sample == nullptr || length != kColorBarSampleLength) return false;
    ColorBarReport local;
    for (int b = 0; b < kColorBarBands; ++b) {
        const ColorBarBand& band = kColorBarBandTable[b];
        const uint8_t* first = sample + band.start;
        const int hue = GroupHue(first[0], first[1], first[3]);
        if (!HuePasses(hue, band)) return false;
        for (size_t g = 1; g < band.groups; ++g) {
            if (std::memcmp(first, first + g * 4, 4) != 0) return false;
        }
        local.firstGroups[b] = GroupAt(first);
        local.hues[b] = hue;
    }
    if (report != nullptr) *report = local;
    return true;
}

std::string FormatColorBarGroups(const ColorBarReport& r) {
    char line[256];
    std::snprintf(line, sizeof line, "%08x %08x %08x %08x %08x %08x %08x %08x \r\n",
                  r.firstGroups[0], r.firstGroups[1], r.firstGroups[2], r.firstGroups[3],
                  r.firstGroups[4], r.firstGroups[5], r.firstGroups[6], r.firstGroups[7]);
    return line;
}

std::string FormatColorBarHues(const ColorBarReport& r) {
    char line[256];
    std::snprintf(line, sizeof line, "%0d %0d %0d %0d %0d %0d %0d %0d \r\n", r.hues[0],
                  r.hues[1], r.hues[2], r.hues[3], r.hues[4], r.hues[5], r.hues[6], r.hues[7]);
    return line;
}

void BuildColorBarFrame(uint8_t* sample) {
    // Y0 U Y1 V of each band, BT.601 limited range.
    static const uint8_t kGroups[kColorBarBands][4] = {
        {235, 128, 235, 128}, {210, 16, 210, 146}, {170, 166, 170, 16}, {145, 54, 145, 34},
        {106, 202, 106, 222}, {81, 90, 81, 240},   {41, 240, 41, 110},  {16, 128, 16, 128},
    };
    for (int b = 0; b < kColorBarBands; ++b) {
        const size_t from = b == 0 ? 0 : kColorBarBandTable[b].start;
        const size_t to = b + 1 < kColorBarBands ? kColorBarBandTable[b + 1].start
                                                 : kColorBarSampleLength;
        for (size_t at = from; at < to; at += 4) std::memcpy(sample + at, kGroups[b], 4);
    }
}
