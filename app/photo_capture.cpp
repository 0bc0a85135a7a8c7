#include "app/photo_capture.h"

#include <gdiplus.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "app/app_messages.h"
#include "app/app_state.h"
#include "app/prompt_window.h"
#include "app/photo_names.h"
#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "pipeline/still_callback.h"
#include "pipeline/video_format.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// The prompt sits just below the horizontal toolbar.
constexpr int kPromptTop = 53;

// {1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}
constexpr GUID kEncoderQuality = {
    0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};

struct PhotoState {
    CLSID jpegEncoder;
    CLSID pngEncoder;
    bool jpegFound;
    bool pngFound;
    char16_t lastSaved[kPathChars];
};

PhotoState g_photo;

const wchar_t* ImageFolder() { return AsWide(g_settings.imgDir); }

bool FileExists(const std::u16string& path) {
    return GetFileAttributesW(AsWide(path.c_str())) != INVALID_FILE_ATTRIBUTES;
}

// Quality 100 for every save; PNG ignores it.
struct QualityParameter {
    LONG value = 100;
    EncoderParameters block = {};
    QualityParameter() {
        block.Count = 1;
        block.Parameter[0].Guid = kEncoderQuality;
        block.Parameter[0].Type = EncoderParameterValueTypeLong;
        block.Parameter[0].NumberOfValues = 1;
        block.Parameter[0].Value = &value;
    }
};

bool SaveImage(GpImage* image, const wchar_t* path) {
    const bool jpeg = SavesAsJpeg(AsUtf16(path));
    if (!(jpeg ? g_photo.jpegFound : g_photo.pngFound)) return false;
    QualityParameter quality;
    const CLSID* encoder = jpeg ? &g_photo.jpegEncoder : &g_photo.pngEncoder;
    if (GdipSaveImageToFile(image, path, encoder, &quality.block) == Ok) return true;
    // A full disk leaves the file cut short; the name is a new one, so nothing else is lost.
    DeleteFileW(path);
    return false;
}

// A copy of the still image as a GDI+ bitmap, made under the still lock so that a new still
// cannot free the pixels meanwhile. Null when there is no still of the open format's size.
GpBitmap* CopyStillImage() {
    const int width = g_pipeline.format.width, height = g_pipeline.format.height;
    if (width <= 0 || height <= 0) return nullptr;
    const size_t row = static_cast<size_t>(width) * 3;
    GpBitmap* bitmap = nullptr;
    size_t size = 0;
    const uint8_t* pixels = Pipeline_LockStillImage(&size);
    if (pixels != nullptr && size == row * static_cast<size_t>(height) &&
        GdipCreateBitmapFromScan0(width, height, 0, PixelFormat24bppRGB, nullptr, &bitmap) == Ok) {
        // GDI+ pads its rows to four bytes; the frame's rows are packed.
        GpRect all = {0, 0, width, height};
        BitmapData data = {};
        if (GdipBitmapLockBits(bitmap, &all, ImageLockModeWrite, PixelFormat24bppRGB, &data) == Ok) {
            for (int y = 0; y < height; ++y) {
                std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                            pixels + row * static_cast<size_t>(y), row);
            }
            GdipBitmapUnlockBits(bitmap, &data);
        } else {
            GdipDisposeImage(bitmap);
            bitmap = nullptr;
        }
    }
    Pipeline_UnlockStillImage();
    return bitmap;
}

bool StillImageWaiting() {
    size_t size = 0;
    const bool waiting = Pipeline_LockStillImage(&size) != nullptr;
    Pipeline_UnlockStillImage();
    return waiting;
}

bool SaveStillImage(const wchar_t* path) {
    GpBitmap* bitmap = CopyStillImage();
    if (bitmap == nullptr) return false;
    const bool saved = SaveImage(bitmap, path);
    GdipDisposeImage(bitmap);
    return saved;
}

// The first file of the folder with this extension, as the listing returns it.
std::wstring FirstFileWithExtension(const wchar_t* extension) {
    const std::wstring folder = ImageFolder();
    const std::wstring pattern = folder + L"\\*." + extension;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::wstring();
    FindClose(search);
    return folder + L"\\" + found.cFileName;
}

}  // namespace

FileStamp LocalFileStamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

bool FindImageEncoders() {
    UINT count = 0, bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || bytes == 0) return false;
    std::vector<uint8_t> storage;
    try {
        storage.resize(bytes);
    } catch (...) {
        return false;
    }
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(storage.data());
    if (GdipGetImageEncoders(count, bytes, encoders) != Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        const wchar_t* mime = encoders[i].MimeType;
        if (mime == nullptr) continue;
        if (std::wcscmp(mime, L"image/jpeg") == 0) {
            g_photo.jpegEncoder = encoders[i].Clsid;
            g_photo.jpegFound = true;
        } else if (std::wcscmp(mime, L"image/png") == 0) {
            g_photo.pngEncoder = encoders[i].Clsid;
            g_photo.pngFound = true;
        }
    }
    return true;
}

std::wstring MakeStampedName(std::u16string_view extension, std::u16string_view companionExtension) {
    const auto taken = [&](const std::u16string& path) {
        if (FileExists(path)) return true;
        if (companionExtension.empty()) return false;
        const std::u16string companion =
            path.substr(0, path.size() - extension.size()) + std::u16string(companionExtension);
        return FileExists(companion);
    };
    const std::u16string name =
        FreeStampedFileName(FieldText(g_settings.imgDir), LocalFileStamp(), extension, taken);
    return AsWide(name.c_str());
}

const wchar_t* MakePhotoName() {
    const std::wstring name = MakeStampedName(PhotoExtension(g_settings.jpgPng), {});
    CopyToField(AsUtf16(name.c_str()), g_photo.lastSaved);
    return AsWide(g_photo.lastSaved);
}

const wchar_t* LastSavedFile() { return AsWide(g_photo.lastSaved); }

bool SaveViewBitmap(const wchar_t* path) {
    if (!Capture_IsOpen() || path == nullptr || path[0] == L'\0') return false;
    HBITMAP picture = CameraView_SurfaceBitmap();
    if (picture == nullptr) return false;
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromHBITMAP(picture, nullptr, &bitmap) != Ok) return false;
    const bool saved = SaveImage(bitmap, path);
    GdipDisposeImage(bitmap);
    return saved;
}

void TakePhoto() {
    if (!Capture_IsOpen()) return;
    const wchar_t* path = MakePhotoName();
    if (SaveViewBitmap(path)) {
        AnnounceSavedFile(path, std::wstring());
    } else {
        AnnounceSaveFailed(path);
    }
}

void SaveStillPhoto() {
    if (!Capture_IsOpen() || !Capture_FramesFlowing()) return;
    const wchar_t* path = MakePhotoName();
    const bool fromStill = g_capture.stillPin != nullptr && StillImageWaiting();
    const bool saved = fromStill ? SaveStillImage(path) : SaveViewBitmap(path);
    if (saved) {
        AnnounceSavedFile(path, std::wstring());
    } else {
        AnnounceSaveFailed(path);
    }
}

void SaveVideoCover() {
    if (!Capture_IsOpen()) return;
    const std::u16string cover =
        CoverPhotoPath(AsUtf16(g_pipeline.format.recordPath), g_settings.jpgPng);
    SaveViewBitmap(AsWide(cover.c_str()));
}

bool SaveShownPicture(const ShownPicture& picture, const wchar_t* path) {
    if (picture.width <= 0 || picture.height <= 0 || picture.bgr.empty()) return false;
    GpBitmap* bitmap = nullptr;
    // GDI+ reads the rows in place; the picture outlives the bitmap.
    if (GdipCreateBitmapFromScan0(picture.width, picture.height, picture.stride,
                                  PixelFormat24bppRGB, const_cast<BYTE*>(picture.bgr.data()),
                                  &bitmap) != Ok) {
        return false;
    }
    const bool saved = SaveImage(bitmap, path);
    GdipDisposeImage(bitmap);
    return saved;
}

std::wstring ImageFolderTarget() {
    if (g_photo.lastSaved[0] != u'\0') return AsWide(g_photo.lastSaved);
    for (const wchar_t* extension : {L"jpg", L"png", L"avi"}) {
        std::wstring found = FirstFileWithExtension(extension);
        if (!found.empty()) return found;
    }
    return ImageFolder();
}

void OpenImageFolder() {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return;
    }
    PIDLIST_ABSOLUTE item = nullptr;
    if (SUCCEEDED(link->SetPath(ImageFolderTarget().c_str())) &&
        SUCCEEDED(link->GetIDList(&item)) && item != nullptr) {
        SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        CoTaskMemFree(item);
    }
    link->Release();
}

std::wstring FillPattern(const char* key, const std::wstring& value) {
    std::wstring text = GetWideText(key);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, value);
    return text;
}

void ShowNotice(const std::wstring& text) {
    HWND main = g_app.mainWindow;
    if (main == nullptr) return;
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(main, GWLP_HINSTANCE));
    ShowPrompt(instance, main, text.c_str(), 0, kPromptTop);
}

void AnnounceSavedFile(const wchar_t* path, const std::wstring& note) {
    CopyToField(AsUtf16(path), g_photo.lastSaved);
    const std::u16string_view saved = AsUtf16(path);
    const auto& files = LatestFiles();
    const bool listed = std::find(files.begin(), files.end(), saved) != files.end();
    const size_t index = listed ? files.size() : AppendLatestFile(saved);
    SaveSettings();
    // The panel may not exist yet: a null window would post to this thread instead.
    if (!listed && g_app.controlPanel != nullptr) {
        PostMessageW(g_app.controlPanel, WM_APP_FILE_ADDED, index, 0);
    }
    std::wstring text = FillPattern("file saved", path);
    if (!note.empty()) text += L" (" + note + L")";
    ShowNotice(text);
}

void AnnounceSaveFailed(const wchar_t* path) {
    const bool named = path != nullptr && path[0] != L'\0';
    ShowNotice(FillPattern("save failed", named ? path : ImageFolder()));
}
