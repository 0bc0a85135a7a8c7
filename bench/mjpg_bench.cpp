// MJPG: the program's decoder kept for the stream (the preview) and one made per sample (a
// still image), against one reused TurboJPEG handle.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <vector>

#include "bench_frames.h"
#include "pipeline/mjpg_decode.h"

namespace {

// The scene as a 4:2:2 JPEG, as USB cameras send it.
std::vector<uint8_t> EncodeScene(FrameSize size) {
    const auto& bgr = ScenePicture(size);
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    std::vector<uint8_t> out;
    if (tjCompress2(encoder, bgr.data(), size.width, size.width * 3, size.height, TJPF_BGR, &jpeg,
                    &jpegSize, TJSAMP_422, 85, 0) == 0) {
        out.assign(jpeg, jpeg + jpegSize);
    }
    tjFree(jpeg);
    tjDestroy(encoder);
    return out;
}

void PerSample(benchmark::State& state, FrameSize size) {
    const auto jpeg = EncodeScene(size);
    std::vector<uint8_t> dst(static_cast<size_t>(size.width) * size.height * 3);
    for (auto _ : state) {
        if (DecodeMjpgFrame(jpeg.data(), jpeg.size(), size.width, size.height, dst.data()) !=
            MjpgResult::Decoded) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data());
    }
    state.counters["jpeg_kB"] = static_cast<double>(jpeg.size()) / 1024.0;
}

void KeptDecoder(benchmark::State& state, FrameSize size) {
    const auto jpeg = EncodeScene(size);
    std::vector<uint8_t> dst(static_cast<size_t>(size.width) * size.height * 3);
    MjpgDecoder decoder;
    for (auto _ : state) {
        if (decoder.Decode(jpeg.data(), jpeg.size(), size.width, size.height, dst.data()) !=
            MjpgResult::Decoded) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

// The same header check and decode, without creating and destroying the handle.
void ReusedHandle(benchmark::State& state, FrameSize size) {
    auto jpeg = EncodeScene(size);
    std::vector<uint8_t> dst(static_cast<size_t>(size.width) * size.height * 3);
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
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

// Creating and destroying a decompressor, which is all the per-sample path adds.
void HandleOnly(benchmark::State& state, FrameSize) {
    for (auto _ : state) {
        tjhandle handle = tjInitDecompress();
        benchmark::DoNotOptimize(handle);
        tjDestroy(handle);
    }
}

}  // namespace

void RegisterMjpgBenchmarks() {
    for (FrameSize size : kBenchSizes) {
        AddBench(BenchName("mjpg", "per-sample", size), PerSample, size);
        AddBench(BenchName("mjpg", "kept-decoder", size), KeptDecoder, size);
        AddBench(BenchName("mjpg", "reused-handle", size), ReusedHandle, size);
        AddBench(BenchName("mjpg", "handle-only", size), HandleOnly, size);
    }
}
