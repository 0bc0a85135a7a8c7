// YUY2 (Y0 U Y1 V) to packed top-down BGR24 with the program's 14-bit fixed-point,
// full-range coefficients. Every implementation below is bit-exact with the reference.
#pragma once
#include <cstddef>
#include <cstdint>

// Converts `pixels` pixels (an odd count converts its last pixel from a half group).
// Reads ceil(pixels / 2) * 4 bytes of src and writes exactly pixels * 3 bytes of dst.
using Yuy2Kernel = void (*)(const uint8_t* src, uint8_t* dst, size_t pixels);

// The plain per-group formula; the reference every faster kernel is tested against.
void Yuy2ToBgrReference(const uint8_t* src, uint8_t* dst, size_t pixels);

enum class Yuy2Path { Scalar, Sse2, Ssse3, Avx2 };

// The fastest kernel this processor supports, chosen once at run time.
Yuy2Kernel BestYuy2Kernel();
Yuy2Path BestYuy2Path();
// A specific kernel, or null when the processor lacks it (lets tests cover every path).
Yuy2Kernel Yuy2KernelFor(Yuy2Path path);
const char* Yuy2PathName(Yuy2Path path);

// Converts one width x height frame. A sample shorter than the kernel reads (width * height
// * 2 bytes, rounded up to whole groups) is refused (returns false, dst untouched):
// converting part of it would leave a frame that is half new, half stale.
bool ConvertYuy2Frame(const uint8_t* sample, size_t sampleLength, int width, int height,
                      uint8_t* dst);
