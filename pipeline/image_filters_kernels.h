// SIMD filter kernels, each file built for its instruction set (image_filters_ssse3.cpp,
// image_filters_avx2.cpp). Callers check CpuHasSsse3 / CpuHasAvx2 first.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

#ifdef TL_X86_SIMD
// Gray and Binary convert whole blocks (16 pixels with SSSE3, 32 with AVX2) from the start
// of `pixels` and return how many pixels they did; the caller finishes the rest.
size_t GrayBlocksSsse3(uint8_t* pixels, size_t count);
size_t BinaryBlocksSsse3(uint8_t* pixels, size_t count);
size_t GrayBlocksAvx2(uint8_t* pixels, size_t count);
size_t BinaryBlocksAvx2(uint8_t* pixels, size_t count);

void MirrorRowsSsse3(uint8_t* frame, size_t width, size_t height);
#endif
