#include "panel/image_viewer.h"

#include <gdiplus.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "measure/view_geometry.h"
#include "panel/image_view_rules.h"
#include "resources/resource_ids.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr COLORREF kViewerBackground = 0x3C2521;
constexpr COLORREF kPlayMarkFill = 0xBF1F1F;
constexpr COLORREF kPlayMarkOutline = 0xFFFFFF;

struct ViewerRecord {
    HWND window = nullptr;
    int sourceWidth = 0, sourceHeight = 0;
    int scaledWidth = 0, scaledHeight = 0;
    int offsetX = 0, offsetY = 0;
    int zoom = 100;
    bool video = false;
    BITMAPINFOHEADER info = {};
    std::vector<uint8_t> pixels;  // 24-bit rows bottom up; empty when nothing is loaded
    HBITMAP cached = nullptr;     // the scaled image
    HDC cacheDc = nullptr;
    HGDIOBJ cacheReplaced = nullptr;
    bool dragging = false;
    POINT last = {};
};

ViewerRecord* ViewerOf(HWND hwnd) {
    return reinterpret_cast<ViewerRecord*>(GetWindowLongPtrW(hwnd, 0));
}

SIZE ClientSize(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    return {client.right, client.bottom};
}

void DropCache(ViewerRecord& v) {
    if (v.cacheDc != nullptr) {
        SelectObject(v.cacheDc, v.cacheReplaced);
        DeleteDC(v.cacheDc);
    }
    if (v.cached != nullptr) DeleteObject(v.cached);
    v.cacheDc = nullptr;
    v.cached = nullptr;
    v.cacheReplaced = nullptr;
}

void ScaleToZoom(ViewerRecord& v) {
    v.scaledWidth = ViewerScaledExtent(v.sourceWidth, v.zoom);
    v.scaledHeight = ViewerScaledExtent(v.sourceHeight, v.zoom);
}

void ClampOffsets(ViewerRecord& v) {
    const SIZE client = ClientSize(v.window);
    v.offsetX = ViewerClampedOffset(v.offsetX, v.scaledWidth, client.cx);
    v.offsetY = ViewerClampedOffset(v.offsetY, v.scaledHeight, client.cy);
}

// Decodes the file into 24-bit rows, bottom row first. False for anything GDI+ cannot read
// and for sizes the viewer refuses.
bool DecodeImage(const wchar_t* path, ViewerRecord& v) {
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFileICM(path, &bitmap) != Ok || bitmap == nullptr) return false;
    UINT width = 0, height = 0;
    GdipGetImageWidth(bitmap, &width);
    GdipGetImageHeight(bitmap, &height);
    bool decoded = false;
    BitmapData data = {};
    const GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (ViewerAcceptsImageSize(width, height) &&
        GdipImageRotateFlip(bitmap, RotateNoneFlipY) == Ok &&
        GdipBitmapLockBits(bitmap, &whole, ImageLockModeRead, PixelFormat24bppRGB, &data) == Ok) {
        const size_t stride = ViewerStride(width);
        v.pixels.assign(stride * height, 0);
        const auto* source = static_cast<const uint8_t*>(data.Scan0);
        for (UINT row = 0; row < height; ++row) {
            std::memcpy(&v.pixels[row * stride], source + static_cast<ptrdiff_t>(row) * data.Stride,
                        static_cast<size_t>(width) * 3);
        }
        GdipBitmapUnlockBits(bitmap, &data);
        v.sourceWidth = static_cast<int>(width);
        v.sourceHeight = static_cast<int>(height);
        decoded = true;
    }
    GdipDisposeImage(bitmap);
    return decoded;
}

void DescribePixels(ViewerRecord& v) {
    v.info = {};
    v.info.biSize = sizeof(BITMAPINFOHEADER);
    v.info.biWidth = v.sourceWidth;
    v.info.biHeight = v.sourceHeight;  // rows bottom up
    v.info.biPlanes = 1;
    v.info.biBitCount = 24;
    v.info.biCompression = BI_RGB;
    v.info.biSizeImage = static_cast<DWORD>(v.pixels.size());
}

bool Load(ViewerRecord& v, const wchar_t* requested) {
    v.pixels.clear();
    v.pixels.shrink_to_fit();
    DropCache(v);
    // Counting one character past the limit tells a path that does not fit.
    const size_t length = requested != nullptr ? wcsnlen(requested, kViewerMaxPathChars + 1) : 0;
    bool video = false;
    const std::u16string shown =
        ViewerPathOf({reinterpret_cast<const char16_t*>(requested), length}, &video);
    if (shown.empty() || !DecodeImage(reinterpret_cast<const wchar_t*>(shown.c_str()), v)) {
        v.pixels.clear();
        v.sourceWidth = v.sourceHeight = 0;
        ScaleToZoom(v);
        InvalidateRect(v.window, nullptr, TRUE);
        return false;
    }
    v.video = video;
    DescribePixels(v);
    ScaleToZoom(v);
    ClampOffsets(v);
    const SIZE client = ClientSize(v.window);
    v.offsetX = ViewerCentredOffset(v.offsetX, v.scaledWidth, client.cx);
    v.offsetY = ViewerCentredOffset(v.offsetY, v.scaledHeight, client.cy);
    InvalidateRect(v.window, nullptr, FALSE);
    return true;
}

void SetZoom(ViewerRecord& v, int zoom) {
    v.zoom = zoom;
    ScaleToZoom(v);
    DropCache(v);
    ClampOffsets(v);
    InvalidateRect(v.window, nullptr, TRUE);
}

void FillBackground(HDC dc, int left, int top, int right, int bottom) {
    const RECT r = {left, top, right, bottom};
    SetBkColor(dc, kViewerBackground);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, L"", 0, nullptr);
}

void PaintBackground(HDC dc, const ViewerRecord& v) {
    const SIZE client = ClientSize(v.window);
    if (v.pixels.empty() || v.scaledWidth == 0 || v.scaledHeight == 0) {
        FillBackground(dc, 0, 0, client.cx, client.cy);
        return;
    }
    Band band;
    if (LeadingBand(client.cx, v.scaledWidth, &band))
        FillBackground(dc, band.from, 0, band.to, client.cy);
    if (TrailingBand(client.cx, v.scaledWidth, &band))
        FillBackground(dc, band.from, 0, band.to, client.cy);
    if (LeadingBand(client.cy, v.scaledHeight, &band))
        FillBackground(dc, 0, band.from, client.cx, band.to);
    if (TrailingBand(client.cy, v.scaledHeight, &band))
        FillBackground(dc, 0, band.from, client.cx, band.to);
}

void DrawPlayMark(HDC dc, int width, int height) {
    const int cx = width / 2, cy = height / 2;
    const POINT corners[3] = {{cx - 7, cy - 10}, {cx - 7, cy + 10}, {cx + 7, cy}};
    HBRUSH fill = CreateSolidBrush(kPlayMarkFill);
    HPEN outline = CreatePen(PS_SOLID, 1, kPlayMarkOutline);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    Polygon(dc, corners, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(outline);
    DeleteObject(fill);
}

bool BuildCache(HDC target, ViewerRecord& v) {
    if (v.cacheDc != nullptr) return true;
    const auto* bits = reinterpret_cast<const BITMAPINFO*>(&v.info);
    v.cached = CreateCompatibleBitmap(target, v.scaledWidth, v.scaledHeight);
    if (v.cached == nullptr) return false;
    // The bitmap takes its pixels before it is selected: SetDIBits needs it unselected.
    if (v.zoom == 100) {
        SetDIBits(target, v.cached, 0, static_cast<UINT>(v.sourceHeight), v.pixels.data(), bits,
                  DIB_RGB_COLORS);
    }
    v.cacheDc = CreateCompatibleDC(target);
    if (v.cacheDc == nullptr) {
        DropCache(v);
        return false;
    }
    v.cacheReplaced = SelectObject(v.cacheDc, v.cached);
    if (v.zoom != 100) {
        if (v.zoom < 100) SetStretchBltMode(v.cacheDc, COLORONCOLOR);
        StretchDIBits(v.cacheDc, 0, 0, v.scaledWidth, v.scaledHeight, 0, 0, v.sourceWidth,
                      v.sourceHeight, v.pixels.data(), bits, DIB_RGB_COLORS, SRCCOPY);
    }
    if (v.video) DrawPlayMark(v.cacheDc, v.scaledWidth, v.scaledHeight);
    return true;
}

void PaintImage(HDC dc, ViewerRecord& v) {
    if (v.pixels.empty() || v.scaledWidth == 0 || v.scaledHeight == 0) return;
    if (!BuildCache(dc, v)) return;
    const SIZE client = ClientSize(v.window);
    const PresentSpan x =
        PresentAxis(v.scaledWidth > client.cx, client.cx, v.scaledWidth, v.offsetX);
    const PresentSpan y =
        PresentAxis(v.scaledHeight > client.cy, client.cy, v.scaledHeight, v.offsetY);
    BitBlt(dc, x.destination, y.destination, x.extent, y.extent, v.cacheDc, x.source, y.source,
           SRCCOPY);
}

void PaintNow(ViewerRecord& v) {
    HDC dc = GetDC(v.window);
    PaintBackground(dc, v);
    PaintImage(dc, v);
    ReleaseDC(v.window, dc);
}

LRESULT OnCreate(HWND hwnd) {
    auto* v = new (std::nothrow) ViewerRecord();
    if (v == nullptr) return -1;
    v->window = hwnd;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(v));
    return 0;
}

void OnDestroy(HWND hwnd, ViewerRecord* v) {
    DropCache(*v);
    SetWindowLongPtrW(hwnd, 0, 0);
    delete v;
}

void OnPaint(ViewerRecord& v) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(v.window, &ps);
    PaintBackground(dc, v);
    PaintImage(dc, v);
    EndPaint(v.window, &ps);
}

LRESULT OnCommand(ViewerRecord& v, int id, LPARAM lParam) {
    if (id == kViewerCmdLoad) return Load(v, reinterpret_cast<const wchar_t*>(lParam)) ? 1 : 0;
    if (id == kViewerCmdZoom) SetZoom(v, static_cast<int>(lParam));
    return 0;
}

void NotifyParent(HWND hwnd, WPARAM doubleClick) {
    PostMessageW(GetParent(hwnd), WM_APP_IMAGE_CLICK, doubleClick, GetDlgCtrlID(hwnd));
}

void OnButtonDown(ViewerRecord& v, POINT point) {
    SetFocus(v.window);
    v.last = point;
    v.dragging = true;
    SetCapture(v.window);  // a release outside the viewer still ends the drag
    NotifyParent(v.window, 0);
}

void OnMouseMove(ViewerRecord& v, WPARAM keys, POINT point) {
    if (!v.dragging || (keys & MK_LBUTTON) == 0) return;
    if (point.x == v.last.x && point.y == v.last.y) return;
    const SIZE client = ClientSize(v.window);
    const int x = PanPosition(v.offsetX, point.x - v.last.x, v.scaledWidth, client.cx);
    const int y = PanPosition(v.offsetY, point.y - v.last.y, v.scaledHeight, client.cy);
    v.last = point;
    if (x == v.offsetX && y == v.offsetY) return;
    v.offsetX = x;
    v.offsetY = y;
    PaintNow(v);
}

void OnButtonUp(ViewerRecord& v) {
    v.dragging = false;
    if (GetCapture() == v.window) ReleaseCapture();
    InvalidateRect(v.window, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK ImageWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate(hwnd);
    ViewerRecord* v = ViewerOf(hwnd);
    if (v == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (msg) {
        case WM_COMMAND:
            return OnCommand(*v, LOWORD(wParam), lParam);
        case WM_SIZE:
            ClampOffsets(*v);
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_PAINT:
            OnPaint(*v);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_LBUTTONDOWN:
            OnButtonDown(*v, point);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(*v, wParam, point);
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(*v);
            return 0;
        case WM_CAPTURECHANGED:
            v->dragging = false;
            return 0;
        case WM_LBUTTONDBLCLK:
            NotifyParent(hwnd, 1);
            return 0;
        case WM_DESTROY:
            OnDestroy(hwnd, v);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
