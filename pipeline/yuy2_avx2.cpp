// 32 pixels a round: the SSSE3 scheme on both 128-bit lanes, each lane holding 16
// consecutive pixels so that the in-lane packs and shuffles keep pixel order. Built with -mavx2.
#include "simd_tables.h"
#include "yuy2_convert.h"
#include "yuy2_kernels.h"

#ifdef TL_X86_SIMD
#include <immintrin.h>

namespace {

__m256i Broadcast(const ByteMask& m) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m.b)));
}

// Every 32-bit lane holds `u` in its low (U) half and `v` in its high (V) half.
__m256i Pairs(int16_t u, int16_t v) {
    return _mm256_set1_epi32(static_cast<int>(
        static_cast<uint32_t>(static_cast<uint16_t>(v)) << 16 | static_cast<uint16_t>(u)));
}

struct Constants {
    __m256i lowByte = _mm256_set1_epi16(0x00FF);
    __m256i uvBias = _mm256_set1_epi16(512);
    __m256i coefBR = Pairs(29049, 22987);  // U lanes blue, V lanes red
    __m256i coefG = Pairs(-5636, -11698);
    __m256i dupLow = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13, 0, 1, 0,
                                      1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
    __m256i dupHigh = _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15, 2, 3,
                                       2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
    __m256i scatter[3] = {Broadcast(PlaneScatter(0)), Broadcast(PlaneScatter(1)),
                          Broadcast(PlaneScatter(2))};
    // Blend masks: the green and the red bytes of each 16-byte block of the output.
    __m256i green[3] = {Broadcast(ChannelSelect(0, 1)), Broadcast(ChannelSelect(1, 1)),
                        Broadcast(ChannelSelect(2, 1))};
    __m256i red[3] = {Broadcast(ChannelSelect(0, 2)), Broadcast(ChannelSelect(1, 2)),
                      Broadcast(ChannelSelect(2, 2))};
};

// Sixteen pixels (eight groups): B, G, R as 16-bit values before clamping.
inline void SixteenPixels(const Constants& k, __m256i yuy2, __m256i& b, __m256i& g, __m256i& r) {
    const __m256i y = _mm256_and_si256(yuy2, k.lowByte);
    // (U - 128) * 4, (V - 128) * 4: the high halves of the products are the >> 14 terms.
    const __m256i uv4 =
        _mm256_sub_epi16(_mm256_slli_epi16(_mm256_srli_epi16(yuy2, 8), 2), k.uvBias);
    const __m256i br = _mm256_mulhi_epi16(uv4, k.coefBR);
    const __m256i g32 = _mm256_madd_epi16(uv4, k.coefG);
    b = _mm256_add_epi16(y, _mm256_shuffle_epi8(br, k.dupLow));
    r = _mm256_add_epi16(y, _mm256_shuffle_epi8(br, k.dupHigh));
    g = _mm256_add_epi16(y, _mm256_shuffle_epi8(g32, k.dupHigh));
}

inline __m256i LoadLanes(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

inline void StoreLanes(uint8_t* low, uint8_t* high, __m256i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), _mm256_extracti128_si256(v, 1));
}

}  // namespace

void Yuy2ToBgrAvx2(const uint8_t* src, uint8_t* dst, size_t pixels) {
    static const Constants k;
    const size_t vectorPixels = pixels & ~size_t{31};
    for (size_t p = 0; p < vectorPixels; p += 32, src += 64, dst += 96) {
        // Lane 0: pixels 0-15, lane 1: pixels 16-31.
        __m256i b0, g0, r0, b1, g1, r1;
        SixteenPixels(k, LoadLanes(src, src + 32), b0, g0, r0);
        SixteenPixels(k, LoadLanes(src + 16, src + 48), b1, g1, r1);
        const __m256i b = _mm256_shuffle_epi8(_mm256_packus_epi16(b0, b1), k.scatter[0]);
        const __m256i g = _mm256_shuffle_epi8(_mm256_packus_epi16(g0, g1), k.scatter[1]);
        const __m256i r = _mm256_shuffle_epi8(_mm256_packus_epi16(r0, r1), k.scatter[2]);
        for (int part = 0; part < 3; ++part) {
            const __m256i bg = _mm256_blendv_epi8(b, g, k.green[part]);
            StoreLanes(dst + 16 * part, dst + 48 + 16 * part,
                       _mm256_blendv_epi8(bg, r, k.red[part]));
        }
    }
    Yuy2ToBgrReference(src, dst, pixels - vectorPixels);
}
#endif
