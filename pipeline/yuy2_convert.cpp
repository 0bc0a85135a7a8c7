#include "yuy2_convert.h"

namespace {

inline uint8_t Clamp255(int x) {
    return x >= 255 ? 255 : (x < 0 ? 0 : static_cast<uint8_t>(x));
}

}  // namespace

void Yuy2ToBgrReference(const uint8_t* src, uint8_t* dst, size_t pixels) {
    for (size_t p = 0; p < pixels; p += 2, src += 4) {
        const int y0 = src[0], u = src[1], y1 = src[2], v = src[3];
        const int bTerm = ((u - 128) * 29049) >> 14;
        const int gTerm = (2218752 - v * 11698 - u * 5636) >> 14;
        const int rTerm = ((v - 128) * 22987) >> 14;
        *dst++ = Clamp255(y0 + bTerm);
        *dst++ = Clamp255(y0 + gTerm);
        *dst++ = Clamp255(y0 + rTerm);
        if (p + 1 < pixels) {
            *dst++ = Clamp255(y1 + bTerm);
            *dst++ = Clamp255(y1 + gTerm);
            *dst++ = Clamp255(y1 + rTerm);
        }
    }
}

bool ConvertYuy2Frame(const uint8_t* sample, size_t sampleLength, int width, int height,
                      uint8_t* dst) {
    if (width <= 0 || height <= 0) return true;  // nothing to convert
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    // An odd pixel count ends in a half group whose U and V are still read.
    const size_t needed = (pixels + 1) / 2 * 4;
    if (sample == nullptr || dst == nullptr || sampleLength < needed) return false;
    BestYuy2Kernel()(sample, dst, pixels);
    return true;
}
