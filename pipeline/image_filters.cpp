#include "image_filters.h"

#include <cstddef>

namespace {

inline int Luma(const uint8_t* px) {
    return (299 * px[2] + 587 * px[1] + 114 * px[0] + 500) / 1000;
}

inline size_t PixelCount(int width, int height) {
    return (width > 0 && height > 0) ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
}

}  // namespace

void MirrorHorizontal(uint8_t* frame, int width, int height) {
    if (PixelCount(width, height) == 0) return;
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        uint8_t* left = frame + row * y;
        uint8_t* right = left + row - 3;
        while (left < right) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t t = left[c];
                left[c] = right[c];
                right[c] = t;
            }
            left += 3;
            right -= 3;
        }
    }
}

void Gray(uint8_t* frame, int width, int height) {
    const size_t n = PixelCount(width, height);
    for (size_t i = 0; i < n; ++i, frame += 3) {
        const uint8_t v = static_cast<uint8_t>(Luma(frame));
        frame[0] = frame[1] = frame[2] = v;
    }
}

void Binary(uint8_t* frame, int width, int height) {
    const size_t n = PixelCount(width, height);
    for (size_t i = 0; i < n; ++i, frame += 3) {
        const uint8_t v = Luma(frame) >= 128 ? 255 : 0;
        frame[0] = frame[1] = frame[2] = v;
    }
}

void Invert(uint8_t* frame, int width, int height) {
    const size_t n = PixelCount(width, height) * 3;
    for (size_t i = 0; i < n; ++i) frame[i] = static_cast<uint8_t>(255 - frame[i]);
}

void Emboss(uint8_t* frame, int width, int height) {
    if (PixelCount(width, height) == 0) return;
    const size_t row = static_cast<size_t>(width) * 3;
    const size_t n = row * static_cast<size_t>(height - 1);
    for (size_t i = 0; i < n; ++i) {
        const int d = frame[i] - frame[i + row];
        frame[i] = static_cast<uint8_t>(d < -128 ? 0 : (d >= 128 ? 255 : d + 128));
    }
}

void ApplyPreviewFlags(const PreviewFlags& flags, uint8_t* frame, int width, int height) {
    if (flags.flipHorizontal) MirrorHorizontal(frame, width, height);
    if (flags.gray) Gray(frame, width, height);
    else if (flags.binary) Binary(frame, width, height);
    else if (flags.invert) Invert(frame, width, height);
    else if (flags.emboss) Emboss(frame, width, height);
}
