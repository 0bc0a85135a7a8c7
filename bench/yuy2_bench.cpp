// YUY2 -> BGR24: each kernel and the dispatched frame conversion against memcpy of the
// output bytes and libyuv's 24-bit routes (row by row through a one-row buffer).
#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

#include <cstring>
#include <vector>

#include "bench_frames.h"
#include "pipeline/yuy2_convert.h"

namespace {

void SetBytes(benchmark::State& state, size_t frameBytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frameBytes));
}

void Kernel(benchmark::State& state, Yuy2Kernel kernel, FrameSize size) {
    const auto& src = SceneYuy2(size);
    const size_t pixels = static_cast<size_t>(size.width) * size.height;
    std::vector<uint8_t> dst(pixels * 3);
    for (auto _ : state) {
        kernel(src.data(), dst.data(), pixels);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, dst.size());
}

void Frame(benchmark::State& state, FrameSize size) {
    const auto& src = SceneYuy2(size);
    std::vector<uint8_t> dst(static_cast<size_t>(size.width) * size.height * 3);
    for (auto _ : state) {
        ConvertYuy2Frame(src.data(), src.size(), size.width, size.height, dst.data());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, dst.size());
}

void Memcpy(benchmark::State& state, FrameSize size) {
    const std::vector<uint8_t> src(ScenePicture(size));
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, dst.size());
}

void LibyuvArgb(benchmark::State& state, FrameSize size) {
    const auto& src = SceneYuy2(size);
    const int w = size.width;
    std::vector<uint8_t> argbRow(static_cast<size_t>(w) * 4);
    std::vector<uint8_t> dst(static_cast<size_t>(w) * size.height * 3);
    for (auto _ : state) {
        for (int y = 0; y < size.height; ++y) {
            libyuv::YUY2ToARGB(&src[static_cast<size_t>(y) * w * 2], w * 2, argbRow.data(), w * 4,
                               w, 1);
            libyuv::ARGBToRGB24(argbRow.data(), w * 4, &dst[static_cast<size_t>(y) * w * 3], w * 3,
                                w, 1);
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, dst.size());
}

void LibyuvI422(benchmark::State& state, FrameSize size) {
    const auto& src = SceneYuy2(size);
    const int w = size.width;
    std::vector<uint8_t> yRow(w), uRow(w / 2), vRow(w / 2);
    std::vector<uint8_t> dst(static_cast<size_t>(w) * size.height * 3);
    for (auto _ : state) {
        for (int y = 0; y < size.height; ++y) {
            libyuv::YUY2ToI422(&src[static_cast<size_t>(y) * w * 2], w * 2, yRow.data(), w,
                               uRow.data(), w / 2, vRow.data(), w / 2, w, 1);
            libyuv::I422ToRGB24(yRow.data(), w, uRow.data(), w / 2, vRow.data(), w / 2,
                                &dst[static_cast<size_t>(y) * w * 3], w * 3, w, 1);
        }
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    SetBytes(state, dst.size());
}

}  // namespace

void RegisterYuy2Benchmarks() {
    for (FrameSize size : kBenchSizes) {
        AddBench(BenchName("memcpy", "bgr", size), Memcpy, size);
        AddBench(BenchName("yuy2", "libyuv-argb", size), LibyuvArgb, size);
        AddBench(BenchName("yuy2", "libyuv-i422", size), LibyuvI422, size);
        AddBench(BenchName("yuy2", "best", size), Frame, size);
        for (Yuy2Path path : {Yuy2Path::Avx2, Yuy2Path::Ssse3, Yuy2Path::Sse2, Yuy2Path::Scalar}) {
            if (Yuy2Kernel kernel = Yuy2KernelFor(path)) {
                AddBench(BenchName("yuy2", Yuy2PathName(path), size), Kernel, kernel, size);
            }
        }
    }
}
