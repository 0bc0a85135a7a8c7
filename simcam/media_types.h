// Media types and stream capabilities of the simulated camera's formats.
#pragma once
#include <windows.h>
#include <strmif.h>

#include "simcam/camera_config.h"

// The frame header shared by both video-info layouts (bitmap header at offset 48 or 72).
struct SimVideoInfo2 {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    DWORD dwInterlaceFlags;
    DWORD dwCopyProtectFlags;
    DWORD dwPictAspectRatioX;
    DWORD dwPictAspectRatioY;
    DWORD dwControlFlags;
    DWORD dwReserved2;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(offsetof(SimVideoInfo2, bmiHeader) == 72, "second video-info layout");

extern const GUID kFormatVideoInfo2;

REFERENCE_TIME FrameInterval(int fps);

// Fills `mt` (format block from CoTaskMemAlloc) for one format.
HRESULT FillMediaType(const SimFormat& format, int fps, bool videoInfo2, AM_MEDIA_TYPE* mt);
// A new CoTaskMemAlloc'd media type, or null.
AM_MEDIA_TYPE* CreateMediaType(const SimFormat& format, int fps, bool videoInfo2);

// Subtype and size of a video MJPG/YUY2 type with either video-info header; false otherwise.
bool FormatOfMediaType(const AM_MEDIA_TYPE* mt, SimFormat* format);

HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE* from);
void FreeMediaType(AM_MEDIA_TYPE* mt);  // frees the format block and the unknown only
void DeleteMediaType(AM_MEDIA_TYPE* mt);

void FillStreamCaps(const SimFormat& format, int fps, bool videoInfo2,
                    VIDEO_STREAM_CONFIG_CAPS* caps);
