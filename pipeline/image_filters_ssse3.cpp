// Gray, Binary and the mirror with SSSE3 byte shuffles for the 3-byte pixels.
// Built with -mssse3.
#include "image_filters_kernels.h"
#include "simd_tables.h"

#ifdef TL_X86_SIMD
#include <tmmintrin.h>

namespace {

__m128i Load(const ByteMask& m) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.b)); }

struct LumaConstants {
    // The fourth load of a block starts 4 bytes early so as not to read past the block.
    __m128i bg[2] = {Load(BlueGreenPairs(0)), Load(BlueGreenPairs(4))};
    __m128i r[2] = {Load(RedPairs(0)), Load(RedPairs(4))};
    __m128i bgWeights = _mm_setr_epi16(114, 587, 114, 587, 114, 587, 114, 587);
    __m128i rWeights = _mm_setr_epi16(299, 0, 299, 0, 299, 0, 299, 0);
    __m128i rounding = _mm_set1_epi32(500);
    __m128i triple[3] = {Load(Triple(0)), Load(Triple(1)), Load(Triple(2))};
};

// floor(weighted sum / 8) of four pixels as 32-bit lanes.
inline __m128i SumEighths(const LumaConstants& k, __m128i v, int variant) {
    const __m128i bg = _mm_madd_epi16(_mm_shuffle_epi8(v, k.bg[variant]), k.bgWeights);
    const __m128i r = _mm_madd_epi16(_mm_shuffle_epi8(v, k.r[variant]), k.rWeights);
    return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(bg, r), k.rounding), 3);
}

template <bool kBinary>
size_t LumaBlocks(uint8_t* pixels, size_t count) {
    static const LumaConstants k;
    const size_t blocks = count / 16;
    for (size_t i = 0; i < blocks; ++i, pixels += 48) {
        const auto load = [pixels](int offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + offset));
        };
        // Sums fit signed 16 bits (<= 31937), so the signed pack is exact.
        const __m128i e0 = _mm_packs_epi32(SumEighths(k, load(0), 0), SumEighths(k, load(12), 0));
        const __m128i e1 = _mm_packs_epi32(SumEighths(k, load(24), 0), SumEighths(k, load(32), 1));
        __m128i value;
        if (kBinary) {
            const __m128i threshold = _mm_set1_epi16(kBinaryEighthsThreshold - 1);
            value = _mm_packs_epi16(_mm_cmpgt_epi16(e0, threshold), _mm_cmpgt_epi16(e1, threshold));
        } else {
            const __m128i multiplier = _mm_set1_epi16(kDiv125Multiplier);
            value = _mm_packus_epi16(
                _mm_srli_epi16(_mm_mulhi_epu16(e0, multiplier), kDiv125ShiftAfterMulhi),
                _mm_srli_epi16(_mm_mulhi_epu16(e1, multiplier), kDiv125ShiftAfterMulhi));
        }
        for (int part = 0; part < 3; ++part) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 16 * part),
                             _mm_shuffle_epi8(value, k.triple[part]));
        }
    }
    return blocks * 16;
}

struct ReverseConstants {
    __m128i mask[3][3] = {
        {Load(ReverseMask(0, 0)), Load(ReverseMask(0, 1)), Load(ReverseMask(0, 2))},
        {Load(ReverseMask(1, 0)), Load(ReverseMask(1, 1)), Load(ReverseMask(1, 2))},
        {Load(ReverseMask(2, 0)), Load(ReverseMask(2, 1)), Load(ReverseMask(2, 2))}};
};

struct Block48 {
    __m128i v[3];
};

inline Block48 LoadBlock(const uint8_t* p) {
    Block48 b;
    for (int i = 0; i < 3; ++i) {
        b.v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
    }
    return b;
}

inline __m128i Take(const ReverseConstants& k, const Block48& b, int part, int source) {
    return _mm_shuffle_epi8(b.v[source], k.mask[part][source]);
}

inline void StoreReversed(const ReverseConstants& k, const Block48& b, uint8_t* p) {
    // Output part 0 comes from inputs 2 and 1, part 1 from all three, part 2 from 1 and 0.
    const __m128i part0 = _mm_or_si128(Take(k, b, 0, 2), Take(k, b, 0, 1));
    const __m128i part1 =
        _mm_or_si128(_mm_or_si128(Take(k, b, 1, 2), Take(k, b, 1, 1)), Take(k, b, 1, 0));
    const __m128i part2 = _mm_or_si128(Take(k, b, 2, 1), Take(k, b, 2, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), part0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), part1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), part2);
}

}  // namespace

size_t GrayBlocksSsse3(uint8_t* pixels, size_t count) { return LumaBlocks<false>(pixels, count); }

size_t BinaryBlocksSsse3(uint8_t* pixels, size_t count) { return LumaBlocks<true>(pixels, count); }

void MirrorRowsSsse3(uint8_t* frame, size_t width, size_t height) {
    static const ReverseConstants k;
    const size_t rowBytes = width * 3;
    for (size_t y = 0; y < height; ++y) {
        uint8_t* left = frame + rowBytes * y;
        uint8_t* right = left + rowBytes;  // one past the unmirrored middle
        // Swap 16-pixel blocks from both ends while two whole blocks remain in the middle.
        while (right - left >= 96) {
            const Block48 head = LoadBlock(left);
            const Block48 tail = LoadBlock(right - 48);
            StoreReversed(k, tail, left);
            StoreReversed(k, head, right - 48);
            left += 48;
            right -= 48;
        }
        for (right -= 3; left < right; left += 3, right -= 3) {
            for (int c = 0; c < 3; ++c) {
                const uint8_t t = left[c];
                left[c] = right[c];
                right[c] = t;
            }
        }
    }
}
#endif
