#include "pipeline/mjpg_tables.h"

#include <iterator>

namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kHuffmanTable = 0xC4;

// Code counts per length 1..16 and the values, for luminance and chrominance DC and AC: the
// tables every baseline decoder assumes when a motion-JPEG frame carries none.
constexpr uint8_t kDcLumaBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChromaBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLumaBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr uint8_t kAcLumaValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61,
    0x07, 0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52,
    0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45,
    0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63, 0x64,
    0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99,
    0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6,
    0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3,
    0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8,
    0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};
constexpr uint8_t kAcChromaBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChromaValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61,
    0x71, 0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33,
    0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1, 0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18,
    0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3a, 0x43, 0x44,
    0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5a, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x9a, 0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4,
    0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca,
    0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7,
    0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa};

void AppendTable(std::vector<uint8_t>& s, uint8_t classAndId, const uint8_t (&bits)[16],
                 const uint8_t* values, size_t count) {
    s.push_back(classAndId);
    s.insert(s.end(), std::begin(bits), std::end(bits));
    s.insert(s.end(), values, values + count);
}

std::vector<uint8_t> MakeStandardSegment() {
    std::vector<uint8_t> s = {kMarker, kHuffmanTable, 0, 0};
    AppendTable(s, 0x00, kDcLumaBits, kDcValues, sizeof kDcValues);
    AppendTable(s, 0x10, kAcLumaBits, kAcLumaValues, sizeof kAcLumaValues);
    AppendTable(s, 0x01, kDcChromaBits, kDcValues, sizeof kDcValues);
    AppendTable(s, 0x11, kAcChromaBits, kAcChromaValues, sizeof kAcChromaValues);
    const size_t length = s.size() - 2;  // the length field counts itself, not the marker
    s[2] = static_cast<uint8_t>(length >> 8);
    s[3] = static_cast<uint8_t>(length & 0xFF);
    return s;
}

struct Segment {
    size_t start;  // its marker
    size_t end;    // past its last byte
    uint8_t type;
};

// The segments from the start marker up to the first scan; false when they run out or past
// the sample's end before a scan starts.
template <typename Visit>
bool WalkHeader(const uint8_t* s, size_t n, Visit visit) {
    if (s == nullptr || n < 4 || s[0] != kMarker || s[1] != kStartOfImage) return false;
    size_t at = 2;
    while (at + 4 <= n) {
        if (s[at] != kMarker) return false;
        size_t marker = at;
        while (marker + 1 < n && s[marker + 1] == kMarker) ++marker;  // fill bytes
        if (marker + 4 > n) return false;
        const uint8_t type = s[marker + 1];
        const size_t length = size_t{s[marker + 2]} << 8 | s[marker + 3];
        if (length < 2 || marker + 2 + length > n) return false;
        const Segment segment = {at, marker + 2 + length, type};
        if (type == kStartOfScan) {
            visit(segment);
            return true;
        }
        visit(segment);
        at = segment.end;
    }
    return false;
}

}  // namespace

const std::vector<uint8_t>& StandardHuffmanSegment() {
    static const std::vector<uint8_t> segment = MakeStandardSegment();
    return segment;
}

JpegHeaderFacts ReadJpegHeader(const uint8_t* sample, size_t length) {
    JpegHeaderFacts facts;
    facts.valid = WalkHeader(sample, length, [&](const Segment& s) {
        if (s.type == kHuffmanTable) facts.huffmanTables = true;
        if (s.type == kStartOfScan) facts.scanStart = s.start;
    });
    if (!facts.valid) facts = JpegHeaderFacts();
    return facts;
}

size_t CompleteJpegLength(const uint8_t* sample, size_t length) {
    if (sample == nullptr) return 0;
    size_t end = length;
    while (end > 0 && sample[end - 1] == 0) --end;
    if (end < 4 || sample[end - 2] != kMarker || sample[end - 1] != kEndOfImage) return 0;
    return end;
}

bool InsertStandardHuffmanTables(const uint8_t* sample, size_t length, std::vector<uint8_t>* out) {
    const JpegHeaderFacts facts = ReadJpegHeader(sample, length);
    if (!facts.valid || facts.huffmanTables) return false;
    const std::vector<uint8_t>& tables = StandardHuffmanSegment();
    out->clear();
    out->reserve(length + tables.size());
    out->insert(out->end(), sample, sample + facts.scanStart);
    out->insert(out->end(), tables.begin(), tables.end());
    out->insert(out->end(), sample + facts.scanStart, sample + length);
    return true;
}

void RemoveHuffmanTables(std::vector<uint8_t>* jpeg) {
    std::vector<Segment> tables;
    WalkHeader(jpeg->data(), jpeg->size(), [&](const Segment& s) {
        if (s.type == kHuffmanTable) tables.push_back(s);
    });
    for (auto t = tables.rbegin(); t != tables.rend(); ++t) {
        jpeg->erase(jpeg->begin() + static_cast<ptrdiff_t>(t->start),
                    jpeg->begin() + static_cast<ptrdiff_t>(t->end));
    }
}
