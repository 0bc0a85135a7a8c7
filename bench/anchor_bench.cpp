// The anchor `make perf` sets the program's sample callback beside: the simulated camera's own
// 1080p MJPG samples, exactly as it sends them, decoded natively by TurboJPEG with one reused
// handle; and the program's decoder on the same samples.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <vector>

#include "bench_frames.h"
#include "pipeline/mjpg_decode.h"
#include "simcam/frame_maker.h"

namespace {

constexpr FrameSize kCameraSize = {1920, 1080};
constexpr int kSamples = 8;

// Pictures spread over the scene's drift, rendered and encoded as the camera does it.
const std::vector<std::vector<uint8_t>>& CameraSamples() {
    static const std::vector<std::vector<uint8_t>> samples = [] {
        const SimFormat format = {SimSubtype::Mjpg, kCameraSize.width, kCameraSize.height};
        FrameMaker maker;
        std::vector<std::vector<uint8_t>> out;
        for (int i = 0; i < kSamples; ++i) {
            Picture picture;
            if (maker.Render(format, SimMode::Live, SceneControls{}, static_cast<uint32_t>(i * 30),
                             MaxSampleBytes(format), &picture)) {
                out.push_back(picture.good);
            }
        }
        return out;
    }();
    return samples;
}

void ReusedHandle(benchmark::State& state) {
    const auto& samples = CameraSamples();
    std::vector<uint8_t> dst(static_cast<size_t>(kCameraSize.width) * kCameraSize.height * 3);
    tjhandle handle = tjInitDecompress();
    size_t i = 0;
    for (auto _ : state) {
        const auto& jpeg = samples[i++ % samples.size()];
        int w = 0, h = 0, subsampling = 0, colorspace = 0;
        if (tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &w, &h, &subsampling,
                                &colorspace) != 0 ||
            tjDecompress2(handle, jpeg.data(), jpeg.size(), dst.data(), w, w * 3, h, TJPF_BGR, 0) !=
                0) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data());
    }
    tjDestroy(handle);
}

// As the preview decodes: one decoder kept for the stream.
void ProgramDecoder(benchmark::State& state) {
    const auto& samples = CameraSamples();
    std::vector<uint8_t> dst(static_cast<size_t>(kCameraSize.width) * kCameraSize.height * 3);
    MjpgDecoder decoder;
    size_t i = 0;
    for (auto _ : state) {
        const auto& jpeg = samples[i++ % samples.size()];
        if (decoder.Decode(jpeg.data(), jpeg.size(), kCameraSize.width, kCameraSize.height,
                           dst.data()) != MjpgResult::Decoded) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

[[maybe_unused]] const bool registered = [] {
    AddBench(BenchName("anchor", "camera-reused-handle", kCameraSize), ReusedHandle);
    AddBench(BenchName("anchor", "camera-program-decoder", kCameraSize), ProgramDecoder);
    return true;
}();

}  // namespace
