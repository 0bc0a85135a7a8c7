// The preview filters and the mirror, fast and plain, on a whole frame in place.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_frames.h"
#include "pipeline/image_filters.h"

namespace {

using FilterFn = void (*)(uint8_t*, int, int);

void Filter(benchmark::State& state, FilterFn filter, FrameSize size) {
    std::vector<uint8_t> frame(ScenePicture(size));
    for (auto _ : state) {
        filter(frame.data(), size.width, size.height);
        benchmark::DoNotOptimize(frame.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}

}  // namespace

void RegisterFilterBenchmarks() {
    const struct {
        const char* name;
        FilterFn fast;
        FilterFn plain;
    } filters[] = {{"mirror", MirrorHorizontal, reference::MirrorHorizontal},
                   {"gray", Gray, reference::Gray},
                   {"binary", Binary, reference::Binary},
                   {"invert", Invert, reference::Invert},
                   {"emboss", Emboss, reference::Emboss}};
    for (FrameSize size : kBenchSizes) {
        for (const auto& f : filters) {
            AddBench(BenchName(f.name, "fast", size), Filter, f.fast, size);
            AddBench(BenchName(f.name, "reference", size), Filter, f.plain, size);
        }
    }
}
