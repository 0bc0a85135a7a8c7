// Test pictures and the sizes every benchmark runs at.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct FrameSize {
    int width;
    int height;
};

inline constexpr FrameSize kBenchSizes[] = {{640, 480}, {1280, 720}, {1920, 1080}};

std::string SizeName(FrameSize size);  // "1920x1080"

// A microscope-like BGR24 scene (shaded background, round cells, fine grain), fixed per size.
const std::vector<uint8_t>& ScenePicture(FrameSize size);
// The same scene as a YUY2 sample.
const std::vector<uint8_t>& SceneYuy2(FrameSize size);

// Benchmarks are named "<group>/<variant>/<WxH>"; the summary looks them up by that name.
std::string BenchName(const std::string& group, const std::string& variant, FrameSize size);

// Registers one benchmark in microseconds with a "min" statistic over its repetitions.
template <class Fn, class... Args>
void AddBench(const std::string& name, Fn fn, Args... args) {
    benchmark::RegisterBenchmark(name.c_str(), fn, args...)
        ->Unit(benchmark::kMicrosecond)
        // Without a warm-up, whichever case runs first after a switch of work pays for the
        // caches and the clock ramp, which skews ratios of near-equal cases.
        ->MinWarmUpTime(0.1)
        ->ComputeStatistics("min", [](const std::vector<double>& v) {
            return *std::min_element(v.begin(), v.end());
        });
}

void RegisterYuy2Benchmarks();
void RegisterMjpgBenchmarks();
void RegisterFilterBenchmarks();
