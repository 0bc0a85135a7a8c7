#include "yuy2_convert.h"

Yuy2Kernel Yuy2KernelFor(Yuy2Path path) {
    return path == Yuy2Path::Scalar ? Yuy2ToBgrReference : nullptr;
}

Yuy2Path BestYuy2Path() { return Yuy2Path::Scalar; }

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
