// Gray and Binary on 32 pixels a round; the arithmetic of image_filters_ssse3.cpp on both
// 128-bit lanes. Built with -mavx2.
#include "image_filters_kernels.h"
#include "simd_tables.h"

#ifdef TL_X86_SIMD
#include <immintrin.h>

namespace {

__m128i Load(const ByteMask& m) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.b)); }

__m256i Lanes(__m128i low, __m128i high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

struct LumaConstants {
    // The last load of the upper lane starts 4 bytes early so as not to read past the block.
    __m256i bg[2] = {Lanes(Load(BlueGreenPairs(0)), Load(BlueGreenPairs(0))),
                     Lanes(Load(BlueGreenPairs(0)), Load(BlueGreenPairs(4)))};
    __m256i r[2] = {Lanes(Load(RedPairs(0)), Load(RedPairs(0))),
                    Lanes(Load(RedPairs(0)), Load(RedPairs(4)))};
    __m256i bgWeights = _mm256_set1_epi32((587 << 16) | 114);
    __m256i rWeights = _mm256_set1_epi32(299);
    __m256i rounding = _mm256_set1_epi32(500);
    __m256i triple[3] = {Lanes(Load(Triple(0)), Load(Triple(0))),
                         Lanes(Load(Triple(1)), Load(Triple(1))),
                         Lanes(Load(Triple(2)), Load(Triple(2)))};
};

// floor(weighted sum / 8) of pixel quads q (lower lane) and q + 4 (upper lane).
inline __m256i SumEighths(const LumaConstants& k, const uint8_t* block, int q) {
    const int last = q == 3;
    const __m256i v =
        Lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 12 * q)),
              _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 48 + 12 * q - 4 * last)));
    const __m256i bg = _mm256_madd_epi16(_mm256_shuffle_epi8(v, k.bg[last]), k.bgWeights);
    const __m256i r = _mm256_madd_epi16(_mm256_shuffle_epi8(v, k.r[last]), k.rWeights);
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(bg, r), k.rounding), 3);
}

template <bool kBinary>
size_t LumaBlocks(uint8_t* pixels, size_t count) {
    static const LumaConstants k;
    const size_t blocks = count / 32;
    for (size_t i = 0; i < blocks; ++i, pixels += 96) {
        // After the two packs the lower lane holds pixels 0-15 and the upper 16-31, in order.
        const __m256i e0 = _mm256_packs_epi32(SumEighths(k, pixels, 0), SumEighths(k, pixels, 1));
        const __m256i e1 = _mm256_packs_epi32(SumEighths(k, pixels, 2), SumEighths(k, pixels, 3));
        __m256i value;
        if (kBinary) {
            const __m256i threshold = _mm256_set1_epi16(kBinaryEighthsThreshold - 1);
            value = _mm256_packs_epi16(_mm256_cmpgt_epi16(e0, threshold),
                                       _mm256_cmpgt_epi16(e1, threshold));
        } else {
            const __m256i multiplier = _mm256_set1_epi16(kDiv125Multiplier);
            value = _mm256_packus_epi16(
                _mm256_srli_epi16(_mm256_mulhi_epu16(e0, multiplier), kDiv125ShiftAfterMulhi),
                _mm256_srli_epi16(_mm256_mulhi_epu16(e1, multiplier), kDiv125ShiftAfterMulhi));
        }
        for (int part = 0; part < 3; ++part) {
            const __m256i out = _mm256_shuffle_epi8(value, k.triple[part]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 16 * part),
                             _mm256_castsi256_si128(out));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 48 + 16 * part),
                             _mm256_extracti128_si256(out, 1));
        }
    }
    return blocks * 32;
}

}  // namespace

size_t GrayBlocksAvx2(uint8_t* pixels, size_t count) { return LumaBlocks<false>(pixels, count); }

size_t BinaryBlocksAvx2(uint8_t* pixels, size_t count) { return LumaBlocks<true>(pixels, count); }
#endif
