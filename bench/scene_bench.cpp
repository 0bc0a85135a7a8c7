// The simulated camera's scene: a frame at neutral and at adjusted controls (the streaming
// thread's cost per sample), building the cached specimen for a new size, and YUY2 packing.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_frames.h"
#include "simcam/scene.h"

namespace {

void Frame(benchmark::State& state, FrameSize size, SceneControls controls) {
    SceneRenderer renderer;
    std::vector<uint8_t> bgr(static_cast<size_t>(size.width) * size.height * 3);
    renderer.Render(size.width, size.height, 0, controls, bgr.data());  // builds the cache
    uint32_t frame = 1;
    for (auto _ : state) {
        renderer.Render(size.width, size.height, frame++, controls, bgr.data());
        benchmark::DoNotOptimize(bgr.data());
        benchmark::ClobberMemory();
    }
}

void FirstFrame(benchmark::State& state, FrameSize size) {
    std::vector<uint8_t> bgr(static_cast<size_t>(size.width) * size.height * 3);
    for (auto _ : state) {
        SceneRenderer renderer;
        renderer.Render(size.width, size.height, 0, SceneControls{}, bgr.data());
        benchmark::DoNotOptimize(bgr.data());
    }
}

void PackYuy2(benchmark::State& state, FrameSize size) {
    const auto& bgr = ScenePicture(size);
    std::vector<uint8_t> yuy2(static_cast<size_t>(size.width) * size.height * 2);
    for (auto _ : state) {
        BgrToYuy2(bgr.data(), size.width, size.height, yuy2.data());
        benchmark::DoNotOptimize(yuy2.data());
        benchmark::ClobberMemory();
    }
}

[[maybe_unused]] const bool registered = [] {
    SceneControls adjusted;
    adjusted.brightness = 10;
    adjusted.contrast = 40;
    adjusted.gain = 20;
    SceneControls everything = adjusted;
    everything.saturation = 90;
    everything.sharpness = 5;
    for (FrameSize size : kBenchSizes) {
        AddBench(BenchName("scene", "neutral", size), Frame, size, SceneControls{});
        AddBench(BenchName("scene", "tone-gain", size), Frame, size, adjusted);
        AddBench(BenchName("scene", "all-controls", size), Frame, size, everything);
        AddBench(BenchName("scene", "first-frame", size), FirstFrame, size);
        AddBench(BenchName("scene", "yuy2-pack", size), PackYuy2, size);
    }
    return true;
}();

}  // namespace
