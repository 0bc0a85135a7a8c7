#include "cpu_features.h"

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <immintrin.h>
#include <intrin.h>
#endif

namespace {

struct CpuFeatures {
    bool ssse3 = false;
    bool avx2 = false;
};

CpuFeatures Detect() {
    CpuFeatures f;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    f.ssse3 = __builtin_cpu_supports("ssse3");
    f.avx2 = __builtin_cpu_supports("avx2");  // also checks that the OS saves YMM state
#elif defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    int regs[4] = {};
    __cpuid(regs, 0);
    const int maxLeaf = regs[0];
    __cpuid(regs, 1);
    f.ssse3 = (regs[2] & (1 << 9)) != 0;
    const bool osSavesYmm =
        (regs[2] & (1 << 27)) != 0 && (regs[2] & (1 << 28)) != 0 && (_xgetbv(0) & 6) == 6;
    if (maxLeaf >= 7 && osSavesYmm) {
        __cpuidex(regs, 7, 0);
        f.avx2 = (regs[1] & (1 << 5)) != 0;
    }
#endif
    return f;
}

const CpuFeatures& Features() {
    static const CpuFeatures features = Detect();
    return features;
}

}  // namespace

bool CpuHasSsse3() { return Features().ssse3; }
bool CpuHasAvx2() { return Features().avx2; }
