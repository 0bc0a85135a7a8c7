#include "app/analysis_commands.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/photo_capture.h"
#include "measure/analysis_export.h"
#include "measure/camera_view.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"
// Last: it brings in strsafe.h, which hides the C library functions <string> needs.
#include "capture/capture_graph.h"

namespace {

AnalysisScale ActiveScale() {
    AnalysisScale scale;
    const ActiveCalibration& active = CameraView_Calibration();
    if (!active.Calibrated()) return scale;
    scale.pixelsPerUnit = active.scale;
    scale.unit = active.unit;
    const int32_t slot = g_calibrations.activeIndex;
    if (slot >= 0 && slot < kCalibrationSlots) {
        scale.calibrationName = FieldText(g_calibrations.slots[slot].name);
    }
    return scale;
}

// A file that is not whole is worse than none: on any failure nothing is left behind.
bool WriteWholeFile(const std::wstring& path, const void* bytes, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const auto* at = static_cast<const uint8_t*>(bytes);
    bool written = true;
    while (written && size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD done = 0;
        written = WriteFile(file, at, chunk, &done, nullptr) && done == chunk;
        at += done;
        size -= done;
    }
    written = CloseHandle(file) && written;
    if (!written) DeleteFileW(path.c_str());
    return written;
}

std::wstring CompanionCsv(const std::wstring& tiffPath) {
    return tiffPath.substr(0, tiffPath.size() - 3) + L"csv";
}

bool WriteAnalysisFiles(const std::wstring& tiffPath, const ShownPicture& shown) {
    if (!WriteAnalysisPicture(tiffPath, shown)) return false;
    const ShapeList& shapes = CameraView_Measure().Shapes();
    const std::string csv = MeasurementCsv(shapes, ActiveScale());
    if (WriteWholeFile(CompanionCsv(tiffPath), csv.data(), csv.size())) return true;
    // The two belong together: a picture without its table is not what was asked for.
    DeleteFileW(tiffPath.c_str());
    return false;
}

bool PutTextOnClipboard(HWND owner, const std::u16string& text) {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr) return false;
    void* locked = GlobalLock(memory);
    if (locked == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(locked, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    // Once set, the clipboard owns the memory.
    const bool set = EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!set) GlobalFree(memory);
    return set;
}

}  // namespace

bool WriteAnalysisPicture(const std::wstring& tiffPath, const ShownPicture& shown) {
    AnalysisPicture picture;
    picture.bgr = shown.bgr.data();
    picture.width = shown.width;
    picture.height = shown.height;
    picture.stride = shown.stride;
    const std::vector<uint8_t> tiff =
        AnalysisTiff(picture, ActiveScale(), CameraView_Measure().Shapes());
    return !tiff.empty() && WriteWholeFile(tiffPath, tiff.data(), tiff.size());
}

void SaveForAnalysis() {
    if (!Capture_IsOpen() || !Capture_FramesFlowing()) return;
    const std::wstring path = MakeStampedName(u"tif", u"csv");
    ShownPicture shown;
    if (!path.empty() && CameraView_ShownPicture(&shown) && WriteAnalysisFiles(path, shown)) {
        AnnounceSavedFile(path.c_str(), std::wstring());
    } else {
        AnnounceSaveFailed(path.c_str());
    }
}

void CopyMeasurements() {
    const std::u16string table = MeasurementTsv(CameraView_Measure().Shapes(), ActiveScale());
    const bool copied = PutTextOnClipboard(g_app.mainWindow, table);
    ShowNotice(GetWideText(copied ? "more measurements copied" : "more copy failed"));
}
