#include "recording/record_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kFallbackRate = 30.0f;
constexpr float kFastestRate = 1000.0f;
constexpr float kSlowestTimedRate = 5.0f;
constexpr float kQueueSeconds = 2.0f;
constexpr size_t kQueueBytes = size_t{256} << 20;
constexpr size_t kFewestQueued = 2;
constexpr size_t kCompressedFramesPerFrame = 16;

}  // namespace

const int32_t kTimeLimitSeconds[kTimeLimitValues] = {0,    10,   30,   60,    300,  600,
                                                     1800, 3600, 7200, 14400, 28800};
const char* const kTimeLimitKeys[kListedTimeLimits] = {"limit -1", "limit 10s", "limit 30s",
                                                       "limit 1m", "limit 5m",  "limit 10m"};

float UsableFrameRate(float measured) {
    if (!std::isfinite(measured) || measured <= 0.0f) return kFallbackRate;
    return std::min(measured, kFastestRate);
}

int64_t FrameDuration(float measured) {
    const float rate = std::max(UsableFrameRate(measured), kSlowestTimedRate);
    return static_cast<int64_t>(static_cast<float>(kTicksPerSecond) / rate);
}

uint32_t StreamRate(float measured) {
    const long rate = std::lround(UsableFrameRate(measured) * static_cast<float>(kStreamScale));
    return static_cast<uint32_t>(std::max(rate, 1L));
}

size_t DibStride(int width) {
    return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
}

size_t DibImageSize(int width, int height) { return DibStride(width) * static_cast<size_t>(height); }

void FrameToDibRows(const uint8_t* frame, int width, int height, uint8_t* dib) {
    const size_t row = static_cast<size_t>(width) * 3, stride = DibStride(width);
    for (int r = 0; r < height; ++r) {
        uint8_t* out = dib + stride * static_cast<size_t>(r);
        std::memcpy(out, frame + row * static_cast<size_t>(height - 1 - r), row);
        std::memset(out + row, 0, stride - row);
    }
}

int64_t AviFileBytes(int64_t frames, size_t frameBytes) {
    const auto chunk = static_cast<int64_t>(frameBytes + (frameBytes & 1)) + kAviChunkHeaderBytes;
    return kAviHeaderBytes + frames * (chunk + kAviIndexEntryBytes) + kAviChunkHeaderBytes +
           kAviTrailBytes;
}

int64_t AviFramesLeft(int64_t frames, size_t frameBytes) {
    const int64_t perFrame = AviFileBytes(1, frameBytes) - AviFileBytes(0, frameBytes);
    const int64_t most = (kAviFileLimit - AviFileBytes(0, frameBytes)) / perFrame;
    return std::max<int64_t>(most - frames, 0);
}

size_t RecordQueueLimit(size_t frameBytes, float measuredRate) {
    const auto bySeconds =
        static_cast<size_t>(std::ceil(UsableFrameRate(measuredRate) * kQueueSeconds));
    const size_t byBytes = frameBytes == 0 ? bySeconds : kQueueBytes / frameBytes;
    return std::max(std::min(bySeconds, byBytes), kFewestQueued);
}

int64_t AviFrameCost(size_t frameBytes) {
    return static_cast<int64_t>(frameBytes + (frameBytes & 1)) + kAviChunkHeaderBytes +
           kAviIndexEntryBytes;
}

int64_t AviBytesLeft(int64_t framesCost) { return kAviFileLimit - AviFileBytes(0, 0) - framesCost; }

RecordQueueBounds RecordQueueBoundsFor(size_t frameBytes, float measuredRate, bool compressed) {
    const size_t frames = RecordQueueLimit(frameBytes, measuredRate);
    return {compressed ? frames * kCompressedFramesPerFrame : frames, frames * frameBytes};
}

int64_t AviBytesToCome(const RecordQueueBounds& queue, size_t frameBytes) {
    const int64_t perFrame = AviFrameCost(1);  // the padding byte of an odd size included
    return static_cast<int64_t>(queue.bytes) + static_cast<int64_t>(queue.frames) * perFrame +
           AviFrameCost(frameBytes);
}

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Walks the chunks of [at, end), descending into lists; counts the fields it set.
int PatchChunks(uint8_t* d, size_t at, size_t end, uint32_t largest) {
    int set = 0;
    while (at + 8 <= end) {
        const uint32_t size = Le32(d + at + 4);
        const size_t body = at + 8;
        if (size > end - body) break;
        if (std::memcmp(d + at, "LIST", 4) == 0 && size >= 4 && std::memcmp(d + body, "movi", 4) != 0) {
            set += PatchChunks(d, body + 4, body + size, largest);
        } else if (std::memcmp(d + at, "strh", 4) == 0 && size >= 40) {
            PutLe32(d + body + 36, largest);  // dwSuggestedBufferSize
            ++set;
        } else if (std::memcmp(d + at, "strf", 4) == 0 && size >= 24) {
            PutLe32(d + body + 20, largest);  // biSizeImage
            ++set;
        }
        at = body + size + (size & 1);
    }
    return set;
}

}  // namespace

bool SetLargestSampleInHeader(uint8_t* file, size_t length, uint32_t largest) {
    if (file == nullptr || length < 12 || std::memcmp(file, "RIFF", 4) != 0 ||
        std::memcmp(file + 8, "AVI ", 4) != 0) {
        return false;
    }
    return PatchChunks(file, 12, length, largest) == 2;
}

int TimeLimitPosition(int32_t seconds) {
    for (int i = 0; i < kListedTimeLimits; ++i) {
        if (kTimeLimitSeconds[i] == seconds) return i;
    }
    return 0;
}

int64_t TotalMilliseconds(int64_t recordedTime, int64_t carriedTime) {
    return (recordedTime + carriedTime) / kTicksPerMillisecond;
}

std::string FormatRecordedTime(int64_t totalMs) {
    const int64_t tenths = totalMs / 100;
    char text[32];
    if (tenths < 600) {
        std::snprintf(text, sizeof text, "%d.%d", static_cast<int>(tenths / 10),
                      static_cast<int>(tenths % 10));
    } else {
        std::snprintf(text, sizeof text, "%d:%02d", static_cast<int>(tenths / 600),
                      static_cast<int>((tenths % 600) / 10));
    }
    return text;
}

RecordCheck CheckRecording(int64_t totalMs, int32_t timeLimitSeconds, int64_t bytesWritten,
                           int64_t splitBytes, bool roomRunningOut) {
    if (timeLimitSeconds != 0 && totalMs >= static_cast<int64_t>(timeLimitSeconds) * 1000) {
        return RecordCheck::Stop;
    }
    if (bytesWritten > splitBytes || roomRunningOut) return RecordCheck::Split;
    return RecordCheck::Continue;
}
