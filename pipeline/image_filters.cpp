#include "image_filters.h"

#include <cstddef>

#include "cpu_features.h"
#include "image_filters_kernels.h"

#ifdef TL_X86_SIMD
#include <emmintrin.h>
#endif

namespace {

inline size_t PixelCount(int width, int height) {
    return (width > 0 && height > 0) ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
}

inline int Luma(const uint8_t* px) {
    return (299 * px[2] + 587 * px[1] + 114 * px[0] + 500) / 1000;
}

void GrayPixels(uint8_t* px, size_t count) {
    for (size_t i = 0; i < count; ++i, px += 3) {
        const uint8_t v = static_cast<uint8_t>(Luma(px));
        px[0] = px[1] = px[2] = v;
    }
}

void BinaryPixels(uint8_t* px, size_t count) {
    for (size_t i = 0; i < count; ++i, px += 3) {
        const uint8_t v = Luma(px) >= 128 ? 255 : 0;
        px[0] = px[1] = px[2] = v;
    }
}

void InvertBytes(uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
}

// bytes[i] becomes clamp(bytes[i] - bytes[i + below] + 128), in increasing i, so the byte
// below is still unchanged when it is read.
void EmbossBytes(uint8_t* bytes, size_t count, size_t below) {
    for (size_t i = 0; i < count; ++i) {
        const int d = bytes[i] - bytes[i + below];
        bytes[i] = static_cast<uint8_t>(d < -128 ? 0 : (d >= 128 ? 255 : d + 128));
    }
}

}  // namespace

namespace reference {

void MirrorHorizontal(uint8_t* frame, int width, int height) {
    if (PixelCount(width, height) == 0) return;
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        uint8_t* left = frame + row * y;
        uint8_t* right = left + row - 3;
        for (; left < right; left += 3, right -= 3) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t t = left[c];
                left[c] = right[c];
                right[c] = t;
            }
        }
    }
}

void Gray(uint8_t* frame, int width, int height) { GrayPixels(frame, PixelCount(width, height)); }

void Binary(uint8_t* frame, int width, int height) {
    BinaryPixels(frame, PixelCount(width, height));
}

void Invert(uint8_t* frame, int width, int height) {
    InvertBytes(frame, PixelCount(width, height) * 3);
}

void Emboss(uint8_t* frame, int width, int height) {
    if (PixelCount(width, height) == 0) return;
    const size_t row = static_cast<size_t>(width) * 3;
    EmbossBytes(frame, row * static_cast<size_t>(height - 1), row);
}

}  // namespace reference

void MirrorHorizontal(uint8_t* frame, int width, int height) {
#ifdef TL_X86_SIMD
    if (PixelCount(width, height) != 0 && CpuHasSsse3()) {
        MirrorRowsSsse3(frame, static_cast<size_t>(width), static_cast<size_t>(height));
        return;
    }
#endif
    reference::MirrorHorizontal(frame, width, height);
}

#ifdef TL_X86_SIMD
namespace {

using BlockKernel = size_t (*)(uint8_t*, size_t);

// The widest blocks first, then narrower ones, then the pixels that are left.
void RunLumaFilter(uint8_t* frame, size_t count, BlockKernel avx2, BlockKernel ssse3,
                   void (*plain)(uint8_t*, size_t)) {
    size_t done = CpuHasAvx2() ? avx2(frame, count) : 0;
    if (CpuHasSsse3()) done += ssse3(frame + done * 3, count - done);
    plain(frame + done * 3, count - done);
}

}  // namespace
#endif

void Gray(uint8_t* frame, int width, int height) {
#ifdef TL_X86_SIMD
    RunLumaFilter(frame, PixelCount(width, height), GrayBlocksAvx2, GrayBlocksSsse3, GrayPixels);
#else
    reference::Gray(frame, width, height);
#endif
}

void Binary(uint8_t* frame, int width, int height) {
#ifdef TL_X86_SIMD
    RunLumaFilter(frame, PixelCount(width, height), BinaryBlocksAvx2, BinaryBlocksSsse3,
                  BinaryPixels);
#else
    reference::Binary(frame, width, height);
#endif
}

void Invert(uint8_t* frame, int width, int height) {
    const size_t count = PixelCount(width, height) * 3;
    size_t done = 0;
#ifdef TL_X86_SIMD
    const __m128i ones = _mm_set1_epi8(-1);
    for (; done + 16 <= count; done += 16) {
        __m128i* p = reinterpret_cast<__m128i*>(frame + done);
        _mm_storeu_si128(p, _mm_xor_si128(_mm_loadu_si128(p), ones));
    }
#endif
    InvertBytes(frame + done, count - done);
}

void Emboss(uint8_t* frame, int width, int height) {
    if (PixelCount(width, height) == 0) return;
    const size_t row = static_cast<size_t>(width) * 3;
    const size_t count = row * static_cast<size_t>(height - 1);
    size_t done = 0;
#ifdef TL_X86_SIMD
    // With both bytes biased by -128 into signed range, the saturating difference is
    // the clamped d - 128; removing the bias again gives the clamped d + 128.
    const __m128i bias = _mm_set1_epi8(-128);
    for (; done + 16 <= count; done += 16) {
        __m128i* p = reinterpret_cast<__m128i*>(frame + done);
        const __m128i here = _mm_xor_si128(_mm_loadu_si128(p), bias);
        const __m128i below = _mm_xor_si128(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + done + row)), bias);
        _mm_storeu_si128(p, _mm_xor_si128(_mm_subs_epi8(here, below), bias));
    }
#endif
    EmbossBytes(frame + done, count - done, row);
}

void ApplyPreviewFlags(const PreviewFlags& flags, uint8_t* frame, int width, int height) {
    if (flags.flipHorizontal) MirrorHorizontal(frame, width, height);
    ApplyPreviewFilter(flags, frame, width, height);
}

void ApplyPreviewFilter(const PreviewFlags& flags, uint8_t* frame, int width, int height) {
    if (flags.gray)
        Gray(frame, width, height);
    else if (flags.binary)
        Binary(frame, width, height);
    else if (flags.invert)
        Invert(frame, width, height);
    else if (flags.emboss)
        Emboss(frame, width, height);
}
