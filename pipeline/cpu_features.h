// Instruction-set extensions the SIMD kernels need, asked of the processor (and, for AVX,
// of the operating system) once at run time. Every x86-64 processor has SSE2.
#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#define TL_X86_SIMD 1  // the SIMD kernels are built
#endif

bool CpuHasSsse3();
bool CpuHasAvx2();
