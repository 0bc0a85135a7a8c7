// The SIMD YUY2 kernels, each in its own file compiled for its instruction set. Reach them
// through Yuy2KernelFor, which only hands out what the processor can run.
#pragma once
#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

#ifdef TL_X86_SIMD

void Yuy2ToBgrSse2(const uint8_t* src, uint8_t* dst, size_t pixels);
void Yuy2ToBgrSsse3(const uint8_t* src, uint8_t* dst, size_t pixels);
void Yuy2ToBgrAvx2(const uint8_t* src, uint8_t* dst, size_t pixels);
#endif
