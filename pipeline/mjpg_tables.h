// The parts of a camera's JPEG sample that decide whether every player can decode it as it
// is: its end marker and its Huffman tables, which many cameras leave out because they use
// the standard ones. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct JpegHeaderFacts {
    bool valid = false;          // a start marker and well-formed segments up to the first scan
    bool huffmanTables = false;  // a table segment comes before the first scan
    size_t scanStart = 0;        // where the first scan's marker begins
};

JpegHeaderFacts ReadJpegHeader(const uint8_t* sample, size_t length);

// The sample's length up to and including its end marker, with the zero bytes some cameras
// pad their samples with cut off; 0 when it has no end marker (a truncated sample).
size_t CompleteJpegLength(const uint8_t* sample, size_t length);

// The sample with one segment of the standard tables put in front of its first scan. False
// when it is not a JPEG or already has tables (nothing written).
bool InsertStandardHuffmanTables(const uint8_t* sample, size_t length, std::vector<uint8_t>* out);

// The Huffman table segments before the first scan taken out, as such cameras send it.
void RemoveHuffmanTables(std::vector<uint8_t>* jpeg);

// The standard tables as one segment, marker included.
const std::vector<uint8_t>& StandardHuffmanSegment();
