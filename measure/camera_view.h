// The camera view: the live picture with zoom, scrolling and digital zoom, the overlay,
// mouse measuring, and the capture side's notification window. One view per program.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "measure/calibration.h"
#include "measure/shapes.h"

// View commands (WM_COMMAND low word).
constexpr int kViewCmdFullScreenButton = 100;
constexpr int kViewCmdOverlayStyle = 8001;
constexpr int kViewCmdSetTool = 8002;
constexpr int kViewCmdSetZoom = 8003;
constexpr int kViewCmdApplyCalibration = 8004;
constexpr int kViewCmdTextPlacement = 8005;

// Payloads of the view commands that carry a pointer (sent, never posted).

// 8001: in this order, the line width before the text colour.
struct OverlayStyleCommand {
    int32_t gridColor;  // COLORREF values
    int32_t lineColor;
    int32_t lineWidth;
    int32_t textColor;
    int32_t textSize;
};

// 8004: the calibration to apply; a scale not above 0 makes the view uncalibrated.
struct CalibrationCommand {
    float scale;
    int32_t unit;
};

// 8005: an event of the input-text dialog; lParam points at its 8-bit name.
struct TextPlacementEvent {
    char name[8];
};
constexpr TextPlacementEvent kTextEventInit = {"Init"};
constexpr TextPlacementEvent kTextEventOk = {"OK"};
constexpr TextPlacementEvent kTextEventCancel = {"Cancel"};

// Posted to the parent (wParam 0, lParam 0).
constexpr UINT WM_APP_FIT_ZOOM_CHANGED = WM_APP + 6;
constexpr UINT WM_APP_FULL_SCREEN = WM_APP + 8;

constexpr int kIdViewTimer = 16;
constexpr int kIdBitmapNoDevice = 139;
constexpr int kIdIconFullScreen = 5116;

LRESULT CALLBACK CameraWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The view's window class: style 0, no extra bytes, arrow cursor, light-grey background.
bool CameraView_RegisterClass(HINSTANCE instance);

// Read access for other windows (main window, panel, photo capture).
int CameraView_ZoomPercent();
int CameraView_DigitalZoom();
void CameraView_SetDigitalZoom(int level);
// The last composed picture, frame and overlay at display size; null before the first.
HDC CameraView_SurfaceDC();
HBITMAP CameraView_SurfaceBitmap();
int CameraView_DisplayWidth();
int CameraView_DisplayHeight();
// The size the user chose for the picture (an interpolated one included); 0 without a device.
int CameraView_PictureWidth();
int CameraView_PictureHeight();
// The newest frame as the view shows it (flips and filters applied), at the picture size the
// shapes' points refer to, without the overlay. Rows top-down, BGR, each `stride` bytes.
struct ShownPicture {
    std::vector<uint8_t> bgr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};
// False while no frames flow.
bool CameraView_ShownPicture(ShownPicture* picture);
// Turns the shown picture upside down, or back; the frames themselves stay as they are.
void CameraView_FlipVertically();
void CameraView_SetPlaceholderTexts(const wchar_t* noDevice, const wchar_t* textPlaceholder);
MeasureModel& CameraView_Measure();
const ActiveCalibration& CameraView_Calibration();
bool CameraView_Crossline();
void CameraView_SetCrossline(bool on);
// A scale bar in the picture's corner while a calibration is applied.
bool CameraView_ScaleBar();
void CameraView_SetScaleBar(bool on);
// The calibration ruler shows, centred and not yet placed (the calibration dialog opened).
// Showing or hiding it ends any drag on the picture. While it shows, a press and release on
// the picture sends the Stop-measure command (kCmdToolNone) to the parent.
void CameraView_StartCalibrationRuler();
// The calibration ruler is hidden again (the calibration dialog went away).
void CameraView_EndCalibrationRuler();
// The ruler's length in picture pixels, placed first if no picture has placed it yet.
int32_t CameraView_RulerLength();
// Builds and presents the picture now (drags, scrolling, hover).
void CameraView_ComposeNow();
