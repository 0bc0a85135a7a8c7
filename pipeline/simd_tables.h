// Shuffle masks and constants shared by the SSSE3 and AVX2 kernels (AVX2 uses each 16-byte
// mask on both lanes). Internal linkage on purpose: every kernel file is built for its own
// instruction set, and one shared inline function could be linked in from the AVX2 build.
#pragma once
#include <cstdint>

namespace {

struct ByteMask {
    int8_t b[16];
};

constexpr int8_t kZero = -1;  // a shuffle index with the top bit set yields 0

// YUY2: scatters one plane so that byte p lands where pixel p's `channel` sits in a 48-byte
// BGR run, modulo 16 (3 is invertible mod 16: 3 * 11 = 33).
constexpr ByteMask PlaneScatter(int channel) {
    ByteMask m{};
    for (int i = 0; i < 16; ++i) m.b[i] = static_cast<int8_t>((11 * (i - channel + 16)) % 16);
    return m;
}

// YUY2: the bytes of 16-byte block `part` (0..2) of a BGR run that hold `channel`.
constexpr ByteMask ChannelSelect(int part, int channel) {
    ByteMask m{};
    for (int i = 0; i < 16; ++i) m.b[i] = (16 * part + i) % 3 == channel ? -1 : 0;
    return m;
}

// Luma: (B, G) and (R, 0) of four pixels starting at byte `first`, as 16-bit pairs.
constexpr ByteMask BlueGreenPairs(int first) {
    ByteMask m{};
    for (int p = 0; p < 4; ++p) {
        m.b[4 * p] = static_cast<int8_t>(first + 3 * p);
        m.b[4 * p + 1] = kZero;
        m.b[4 * p + 2] = static_cast<int8_t>(first + 3 * p + 1);
        m.b[4 * p + 3] = kZero;
    }
    return m;
}

constexpr ByteMask RedPairs(int first) {
    ByteMask m{};
    for (int p = 0; p < 4; ++p) {
        m.b[4 * p] = static_cast<int8_t>(first + 3 * p + 2);
        m.b[4 * p + 1] = m.b[4 * p + 2] = m.b[4 * p + 3] = kZero;
    }
    return m;
}

// Luma: repeats each of 16 bytes three times; `part` (0..2) picks the 16-byte third.
constexpr ByteMask Triple(int part) {
    ByteMask m{};
    for (int i = 0; i < 16; ++i) m.b[i] = static_cast<int8_t>((16 * part + i) / 3);
    return m;
}

// Mirror of 16 pixels held in three vectors: the bytes of output vector `part` that come
// from input vector `source`.
constexpr ByteMask ReverseMask(int part, int source) {
    ByteMask m{};
    for (int i = 0; i < 16; ++i) {
        const int j = 16 * part + i;
        const int from = 45 - 3 * (j / 3) + j % 3;
        m.b[i] = from / 16 == source ? static_cast<int8_t>(from % 16) : kZero;
    }
    return m;
}

// The rounded luma (299 R + 587 G + 114 B + 500) / 1000 is floor(floor(sum / 8) / 125), and
// floor(e / 125) = (e * 33555) >> 22 for every e up to 59073 (here e <= 31937), so the
// division fits 16-bit lanes: mulhi gives >> 16, a shift the remaining 6. The luma filter
// tests check every colour.
constexpr int kDiv125Multiplier = 33555;
constexpr int kDiv125ShiftAfterMulhi = 6;
// Luma >= 128 exactly when the sum is at least 128000, that is sum / 8 >= 16000.
constexpr int kBinaryEighthsThreshold = 16000;

}  // namespace
