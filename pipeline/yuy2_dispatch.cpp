#include <initializer_list>

#include "cpu_features.h"
#include "yuy2_convert.h"
#include "yuy2_kernels.h"

Yuy2Kernel Yuy2KernelFor(Yuy2Path path) {
    switch (path) {
        case Yuy2Path::Scalar: return Yuy2ToBgrReference;
#ifdef TL_X86_SIMD
        case Yuy2Path::Sse2: return Yuy2ToBgrSse2;
        case Yuy2Path::Ssse3: return CpuHasSsse3() ? Yuy2ToBgrSsse3 : nullptr;
        case Yuy2Path::Avx2: return CpuHasAvx2() ? Yuy2ToBgrAvx2 : nullptr;
#endif
        default: return nullptr;
    }
}

Yuy2Path BestYuy2Path() {
    for (Yuy2Path path : {Yuy2Path::Avx2, Yuy2Path::Ssse3, Yuy2Path::Sse2}) {
        if (Yuy2KernelFor(path) != nullptr) return path;
    }
    return Yuy2Path::Scalar;
}

Yuy2Kernel BestYuy2Kernel() {
    static const Yuy2Kernel kernel = Yuy2KernelFor(BestYuy2Path());
    return kernel;
}

const char* Yuy2PathName(Yuy2Path path) {
    switch (path) {
        case Yuy2Path::Sse2: return "sse2";
        case Yuy2Path::Ssse3: return "ssse3";
        case Yuy2Path::Avx2: return "avx2";
        default: return "scalar";
    }
}
