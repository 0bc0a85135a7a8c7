// Recognises the colour-bar test frame a camera sends as a 640 x 480 YUY2 sample:
// eight horizontal bands, each one repeated four-byte group of a known hue.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kColorBarSampleLength = 614400;  // 640 * 480 * 2
constexpr int kColorBarBands = 8;

struct ColorBarBand {
    size_t start;   // byte offset of the band's first group
    size_t groups;  // groups compared, the first included
    int targetHue;
    int otherTargetHue;  // -1 when the band has one target only
};
extern const ColorBarBand kColorBarBandTable[kColorBarBands];

// Hue (0..359, truncated) of one group from Y0, U and V with limited-range coefficients.
int GroupHue(uint8_t y0, uint8_t u, uint8_t v);

struct ColorBarReport {
    uint32_t firstGroups[kColorBarBands];  // first group of each band, little-endian
    int hues[kColorBarBands];
};

// True only for a 614400-byte sample whose eight bands all pass; fills `report` then.
bool IsColorBarFrame(const uint8_t* sample, size_t length, ColorBarReport* report);

// The two debug lines written when the pattern is seen.
std::string FormatColorBarGroups(const ColorBarReport& report);
std::string FormatColorBarHues(const ColorBarReport& report);

// Writes the 614400-byte test frame the check recognises (white, yellow, cyan, green,
// magenta, red, blue, black), as a camera's colour-bar mode sends it.
void BuildColorBarFrame(uint8_t* sample);
