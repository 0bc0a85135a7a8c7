#include "simcam/media_types.h"

#include <amvideo.h>
#include <uuids.h>

#include <cstring>

const GUID kFormatVideoInfo2 = {
    0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

BITMAPINFOHEADER BitmapHeader(const SimFormat& f) {
    BITMAPINFOHEADER bmi = {};
    bmi.biSize = sizeof bmi;
    bmi.biWidth = f.width;
    bmi.biHeight = f.height;
    bmi.biPlanes = 1;
    bmi.biBitCount = f.subtype == SimSubtype::Yuy2 ? 16 : 24;
    bmi.biCompression = f.subtype == SimSubtype::Yuy2 ? MAKEFOURCC('Y', 'U', 'Y', '2')
                                                      : MAKEFOURCC('M', 'J', 'P', 'G');
    bmi.biSizeImage = static_cast<DWORD>(MaxSampleBytes(f));
    return bmi;
}

}  // namespace

REFERENCE_TIME FrameInterval(int fps) { return kUnitsPerSecond / (fps > 0 ? fps : 1); }

HRESULT FillMediaType(const SimFormat& f, int fps, bool videoInfo2, AM_MEDIA_TYPE* mt) {
    std::memset(mt, 0, sizeof *mt);
    const size_t size = videoInfo2 ? sizeof(SimVideoInfo2) : sizeof(VIDEOINFOHEADER);
    auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (block == nullptr) return E_OUTOFMEMORY;
    std::memset(block, 0, size);
    const BITMAPINFOHEADER bmi = BitmapHeader(f);
    const unsigned long long bits = bmi.biSizeImage * 8ull * static_cast<unsigned>(fps);
    const DWORD bitRate = bits > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bits);
    if (videoInfo2) {
        auto* vih = reinterpret_cast<SimVideoInfo2*>(block);
        vih->dwBitRate = bitRate;
        vih->AvgTimePerFrame = FrameInterval(fps);
        vih->dwPictAspectRatioX = f.width;
        vih->dwPictAspectRatioY = f.height;
        vih->bmiHeader = bmi;
    } else {
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(block);
        vih->dwBitRate = bitRate;
        vih->AvgTimePerFrame = FrameInterval(fps);
        vih->bmiHeader = bmi;
    }
    mt->majortype = MEDIATYPE_Video;
    mt->subtype = f.subtype == SimSubtype::Yuy2 ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_MJPG;
    mt->bFixedSizeSamples = f.subtype == SimSubtype::Yuy2;
    mt->bTemporalCompression = FALSE;
    mt->lSampleSize = bmi.biSizeImage;
    mt->formattype = videoInfo2 ? kFormatVideoInfo2 : FORMAT_VideoInfo;
    mt->cbFormat = static_cast<ULONG>(size);
    mt->pbFormat = block;
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const SimFormat& format, int fps, bool videoInfo2) {
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (mt == nullptr) return nullptr;
    if (FAILED(FillMediaType(format, fps, videoInfo2, mt))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

bool FormatOfMediaType(const AM_MEDIA_TYPE* mt, SimFormat* format) {
    if (mt == nullptr || !IsEqualGUID(mt->majortype, MEDIATYPE_Video) || mt->pbFormat == nullptr)
        return false;
    SimFormat f;
    if (IsEqualGUID(mt->subtype, MEDIASUBTYPE_MJPG))
        f.subtype = SimSubtype::Mjpg;
    else if (IsEqualGUID(mt->subtype, MEDIASUBTYPE_YUY2))
        f.subtype = SimSubtype::Yuy2;
    else
        return false;
    const BITMAPINFOHEADER* bmi = nullptr;
    if (IsEqualGUID(mt->formattype, FORMAT_VideoInfo) && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
        bmi = &reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader;
    else if (IsEqualGUID(mt->formattype, kFormatVideoInfo2) &&
             mt->cbFormat >= sizeof(SimVideoInfo2))
        bmi = &reinterpret_cast<const SimVideoInfo2*>(mt->pbFormat)->bmiHeader;
    if (bmi == nullptr) return false;
    f.width = bmi->biWidth;
    // A negative height only states top-down order, which 4:2:2 frames have anyway.
    f.height = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
    *format = f;
    return true;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* to, const AM_MEDIA_TYPE* from) {
    *to = *from;
    if (from->cbFormat != 0 && from->pbFormat != nullptr) {
        to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from->cbFormat));
        if (to->pbFormat == nullptr) {
            to->cbFormat = 0;
            to->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(to->pbFormat, from->pbFormat, from->cbFormat);
    } else {
        to->pbFormat = nullptr;
        to->cbFormat = 0;
    }
    if (to->pUnk != nullptr) to->pUnk->AddRef();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE* mt) {
    if (mt->pbFormat != nullptr) CoTaskMemFree(mt->pbFormat);
    mt->pbFormat = nullptr;
    mt->cbFormat = 0;
    if (mt->pUnk != nullptr) mt->pUnk->Release();
    mt->pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return;
    FreeMediaType(mt);
    CoTaskMemFree(mt);
}

void FillStreamCaps(const SimFormat& f, int fps, bool videoInfo2, VIDEO_STREAM_CONFIG_CAPS* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->guid = videoInfo2 ? kFormatVideoInfo2 : FORMAT_VideoInfo;
    const SIZE size = {f.width, f.height};
    caps->InputSize = size;
    caps->MinCroppingSize = size;
    caps->MaxCroppingSize = size;
    caps->MinOutputSize = size;
    caps->MaxOutputSize = size;
    caps->CropGranularityX = 1;
    caps->CropGranularityY = 1;
    caps->CropAlignX = 1;
    caps->CropAlignY = 1;
    caps->MinFrameInterval = FrameInterval(fps);
    caps->MaxFrameInterval = FrameInterval(fps);
    const unsigned long long perSecond = MaxSampleBytes(f) * 8ull * static_cast<unsigned>(fps);
    const LONG bits = perSecond > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<LONG>(perSecond);
    caps->MinBitsPerSecond = bits;
    caps->MaxBitsPerSecond = bits;
}
