// 16 pixels a round: terms per YUY2 group in 16-bit lanes, then the three planes are
// interleaved to BGR24 with byte shuffles. Built with -mssse3.
#include "simd_tables.h"
#include "yuy2_convert.h"
#include "yuy2_kernels.h"

#ifdef TL_X86_SIMD
#include <tmmintrin.h>

namespace {

__m128i Load(const ByteMask& m) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(m.b)); }

struct Constants {
    __m128i lowByte = _mm_set1_epi16(0x00FF);
    __m128i uvBias = _mm_set1_epi16(512);  // 128 << 2
    // U lanes by 29049 (blue), V lanes by 22987 (red).
    __m128i coefBR = _mm_setr_epi16(29049, 22987, 29049, 22987, 29049, 22987, 29049, 22987);
    __m128i coefG = _mm_setr_epi16(-5636, -11698, -5636, -11698, -5636, -11698, -5636, -11698);
    __m128i dupLow = _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
    __m128i dupHigh = _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
    __m128i scatter[3] = {Load(PlaneScatter(0)), Load(PlaneScatter(1)), Load(PlaneScatter(2))};
    __m128i select[3][3] = {
        {Load(ChannelSelect(0, 0)), Load(ChannelSelect(0, 1)), Load(ChannelSelect(0, 2))},
        {Load(ChannelSelect(1, 0)), Load(ChannelSelect(1, 1)), Load(ChannelSelect(1, 2))},
        {Load(ChannelSelect(2, 0)), Load(ChannelSelect(2, 1)), Load(ChannelSelect(2, 2))}};
};

// Eight pixels (four groups): B, G, R as 16-bit values before clamping.
inline void EightPixels(const Constants& k, __m128i yuy2, __m128i& b, __m128i& g, __m128i& r) {
    const __m128i y = _mm_and_si128(yuy2, k.lowByte);
    // (U - 128) * 4 and (V - 128) * 4: with the factor 4, mulhi's >> 16 is the formula's >> 14
    // of the exact 32-bit product, and so is the high half of madd's sum.
    const __m128i uv4 = _mm_sub_epi16(_mm_slli_epi16(_mm_srli_epi16(yuy2, 8), 2), k.uvBias);
    const __m128i br = _mm_mulhi_epi16(uv4, k.coefBR);
    const __m128i g32 = _mm_madd_epi16(uv4, k.coefG);
    b = _mm_add_epi16(y, _mm_shuffle_epi8(br, k.dupLow));
    r = _mm_add_epi16(y, _mm_shuffle_epi8(br, k.dupHigh));
    g = _mm_add_epi16(y, _mm_shuffle_epi8(g32, k.dupHigh));
}

inline __m128i Part(const Constants& k, int part, __m128i b, __m128i g, __m128i r) {
    return _mm_or_si128(
        _mm_or_si128(_mm_and_si128(b, k.select[part][0]), _mm_and_si128(g, k.select[part][1])),
        _mm_and_si128(r, k.select[part][2]));
}

}  // namespace

void Yuy2ToBgrSsse3(const uint8_t* src, uint8_t* dst, size_t pixels) {
    static const Constants k;
    const size_t vectorPixels = pixels & ~size_t{15};
    for (size_t p = 0; p < vectorPixels; p += 16, src += 32, dst += 48) {
        __m128i b0, g0, r0, b1, g1, r1;
        EightPixels(k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), b0, g0, r0);
        EightPixels(k, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16)), b1, g1, r1);
        // Saturating packs are the clamp to 0..255. Each plane is then scattered so that its
        // bytes sit at their output positions mod 16, and every output block picks each of
        // its bytes from one of the three.
        const __m128i b = _mm_shuffle_epi8(_mm_packus_epi16(b0, b1), k.scatter[0]);
        const __m128i g = _mm_shuffle_epi8(_mm_packus_epi16(g0, g1), k.scatter[1]);
        const __m128i r = _mm_shuffle_epi8(_mm_packus_epi16(r0, r1), k.scatter[2]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), Part(k, 0, b, g, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), Part(k, 1, b, g, r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), Part(k, 2, b, g, r));
    }
    Yuy2ToBgrReference(src, dst, pixels - vectorPixels);
}
#endif
