// In-place operations on one packed top-down BGR24 frame (row = 3 * width bytes).
// The public functions pick SIMD code at run time; each gives exactly the bytes of its
// plain counterpart in namespace reference.
#pragma once
#include <cstdint>

void MirrorHorizontal(uint8_t* frame, int width, int height);
// Rounded BT.601 luma (299 R + 587 G + 114 B + 500) / 1000 into all three bytes.
void Gray(uint8_t* frame, int width, int height);
// 255 where the rounded luma is at least 128, else 0.
void Binary(uint8_t* frame, int width, int height);
void Invert(uint8_t* frame, int width, int height);
// Each byte minus the byte one row below, offset by 128 and clamped; the last row is kept.
void Emboss(uint8_t* frame, int width, int height);

namespace reference {
// One pixel or byte at a time: the definitions the fast versions are tested against.
void MirrorHorizontal(uint8_t* frame, int width, int height);
void Gray(uint8_t* frame, int width, int height);
void Binary(uint8_t* frame, int width, int height);
void Invert(uint8_t* frame, int width, int height);
void Emboss(uint8_t* frame, int width, int height);
}  // namespace reference

// The six preview switches, in their stored order.
struct PreviewFlags {
    int32_t flipHorizontal;
    int32_t flipVertical;  // display only: the frame pipeline ignores it
    int32_t gray;
    int32_t binary;
    int32_t invert;
    int32_t emboss;
};

// Mirror first when asked, then only the first set filter of gray, binary, invert, emboss.
void ApplyPreviewFlags(const PreviewFlags& flags, uint8_t* frame, int width, int height);
// The filter part alone: the first set filter of gray, binary, invert, emboss.
void ApplyPreviewFilter(const PreviewFlags& flags, uint8_t* frame, int width, int height);
