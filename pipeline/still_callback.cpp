#include "pipeline/still_callback.h"

#include <cstdio>

#include "pipeline/sample_processing.h"
#include "pipeline/video_format.h"

StillCallback g_stillCallback;

STDMETHODIMP StillCallback::BufferCB(double, BYTE* buffer, LONG length) {
    const VideoFormat& format = g_pipeline.format;
    StillImage& still = g_pipeline.still;
    if (format.width <= 0 || format.height <= 0 || buffer == nullptr || length <= 0) return 0;
    const size_t size = static_cast<size_t>(format.width) * static_cast<size_t>(format.height) * 3;
    auto* image = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (image == nullptr) return 0;

    const FillResult result = FillFrameFromSample(format.subtype, format.width, format.height,
                                                  buffer, static_cast<size_t>(length), image);
    if (result == FillResult::UnknownSubtype) {
        HeapFree(GetProcessHeap(), 0, image);
        EnterCriticalSection(&still.lock);
        if (still.pixels != nullptr) HeapFree(GetProcessHeap(), 0, still.pixels);
        still.pixels = nullptr;
        still.size = 0;
        LeaveCriticalSection(&still.lock);
        return 0;
    }
    if (result == FillResult::Unusable) {
        // Nothing to announce: an unfilled image would be saved as a photo of garbage.
        HeapFree(GetProcessHeap(), 0, image);
        return 0;
    }
    EnterCriticalSection(&still.lock);
    if (still.pixels != nullptr) HeapFree(GetProcessHeap(), 0, still.pixels);
    still.pixels = image;
    still.size = size;
    LeaveCriticalSection(&still.lock);

    PostMessageW(format.viewWindow, WM_APP_STILL_READY, 0, 0);
    char line[64];
    std::snprintf(line, sizeof line, "StillCallback: %ld %lu\r\n", static_cast<long>(length),
                  static_cast<unsigned long>(size));
    OutputDebugStringA(line);
    return 0;
}

const uint8_t* Pipeline_LockStillImage(size_t* size) {
    EnterCriticalSection(&g_pipeline.still.lock);
    if (size != nullptr) *size = g_pipeline.still.size;
    return g_pipeline.still.pixels;
}

void Pipeline_UnlockStillImage() { LeaveCriticalSection(&g_pipeline.still.lock); }
