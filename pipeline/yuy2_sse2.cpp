// 16 pixels a round with SSE2 only (no byte shuffles): terms are spread with word shuffles
// and the planes are interleaved by unpacking to 4-byte pixels and squeezing out the
// fourth byte. For processors without SSSE3; needs no extra compiler flags on x86-64.
#include "yuy2_convert.h"
#include "yuy2_kernels.h"

#ifdef TL_X86_SIMD
#include <emmintrin.h>

namespace {

// Each word of the lower half of both 32-bit lanes of a pair, or the upper half.
inline __m128i DupLowWords(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 2, 0, 0)),
                               _MM_SHUFFLE(2, 2, 0, 0));
}

inline __m128i DupHighWords(__m128i v) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 1, 1)),
                               _MM_SHUFFLE(3, 3, 1, 1));
}

// Eight pixels (four groups): B, G, R as 16-bit values before clamping.
inline void EightPixels(__m128i yuy2, __m128i& b, __m128i& g, __m128i& r) {
    const __m128i y = _mm_and_si128(yuy2, _mm_set1_epi16(0x00FF));
    // (U - 128) * 4 and (V - 128) * 4: with the factor 4, mulhi's >> 16 is the formula's >> 14
    // of the exact 32-bit product, and so is the high half of madd's sum.
    const __m128i uv4 =
        _mm_sub_epi16(_mm_slli_epi16(_mm_srli_epi16(yuy2, 8), 2), _mm_set1_epi16(512));
    const __m128i br = _mm_mulhi_epi16(
        uv4, _mm_setr_epi16(29049, 22987, 29049, 22987, 29049, 22987, 29049, 22987));
    const __m128i g32 = _mm_madd_epi16(
        uv4, _mm_setr_epi16(-5636, -11698, -5636, -11698, -5636, -11698, -5636, -11698));
    b = _mm_add_epi16(y, DupLowWords(br));
    r = _mm_add_epi16(y, DupHighWords(br));
    g = _mm_add_epi16(y, DupHighWords(g32));
}

// Four 4-byte pixels (B, G, R, 0) to 12 packed bytes in the low bytes of the result.
inline __m128i Squeeze(__m128i bgr0) {
    const __m128i evenPixels = _mm_and_si128(bgr0, _mm_set1_epi64x(0x00000000FFFFFFFF));
    const __m128i oddPixels =
        _mm_srli_epi64(_mm_andnot_si128(_mm_set1_epi64x(0x00000000FFFFFFFF), bgr0), 8);
    const __m128i sixes = _mm_or_si128(evenPixels, oddPixels);  // 6 bytes per 64-bit half
    return _mm_or_si128(_mm_move_epi64(sixes), _mm_slli_si128(_mm_srli_si128(sixes, 8), 6));
}

inline void StoreBgr48(uint8_t* dst, __m128i b, __m128i g, __m128i r) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bgLow = _mm_unpacklo_epi8(b, g), bgHigh = _mm_unpackhi_epi8(b, g);
    const __m128i r0Low = _mm_unpacklo_epi8(r, zero), r0High = _mm_unpackhi_epi8(r, zero);
    const __m128i q0 = Squeeze(_mm_unpacklo_epi16(bgLow, r0Low));
    const __m128i q1 = Squeeze(_mm_unpackhi_epi16(bgLow, r0Low));
    const __m128i q2 = Squeeze(_mm_unpacklo_epi16(bgHigh, r0High));
    const __m128i q3 = Squeeze(_mm_unpackhi_epi16(bgHigh, r0High));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(q0, _mm_slli_si128(q1, 12)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16),
                     _mm_or_si128(_mm_srli_si128(q1, 4), _mm_slli_si128(q2, 8)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32),
                     _mm_or_si128(_mm_srli_si128(q2, 8), _mm_slli_si128(q3, 4)));
}

}  // namespace

void Yuy2ToBgrSse2(const uint8_t* src, uint8_t* dst, size_t pixels) {
    const size_t vectorPixels = pixels & ~size_t{15};
    for (size_t p = 0; p < vectorPixels; p += 16, src += 32, dst += 48) {
        __m128i b0, g0, r0, b1, g1, r1;
        EightPixels(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), b0, g0, r0);
        EightPixels(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16)), b1, g1, r1);
        // Saturating packs are the clamp to 0..255.
        StoreBgr48(dst, _mm_packus_epi16(b0, b1), _mm_packus_epi16(g0, g1),
                   _mm_packus_epi16(r0, r1));
    }
    Yuy2ToBgrReference(src, dst, pixels - vectorPixels);
}
#endif
