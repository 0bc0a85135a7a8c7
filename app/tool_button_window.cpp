#include "app/tool_button_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdint>

#include "app/prompt_window.h"
#include "app/tool_buttons.h"
#include "app/window_classes.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"

namespace {

struct ToolButton {
    int32_t x, y;           // in the toolbar
    int32_t width, height;  // of the face
    int32_t imageX, imageY;
    int32_t imageWidth, imageHeight;
    HDC faceDC;             // the face drawn off screen, width x height
    HBITMAP faceBitmap;
    HGDIOBJ previousBitmap;
    int32_t checked;
    int32_t hover;
    int32_t pressed;
    wchar_t hint[kToolButtonHintChars];
    int32_t vertical;       // the hint goes right of the button, not below it
};

// Shared by every button for the life of the process.
struct SharedPictures {
    HBITMAP strip;
    HDC stripDC;
    HBITMAP highlight;
    HDC highlightDC;
    int highlightSide;
    COLORREF background = kToolButtonBackground;
};

SharedPictures g_pictures;

ToolButton* RecordOf(HWND hwnd) {
    return reinterpret_cast<ToolButton*>(GetWindowLongPtrW(hwnd, 0));
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    const COLORREF old = SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

void DrawFace(ToolButton& b) {
    if (b.faceDC == nullptr) return;
    FillSolid(b.faceDC, {0, 0, b.width, b.height}, g_pictures.background);
    if (g_pictures.stripDC != nullptr) {
        BitBlt(b.faceDC, (b.width - b.imageWidth) / 2, (b.height - b.imageHeight) / 2,
               b.imageWidth, b.imageHeight, g_pictures.stripDC, b.imageX, b.imageY, SRCCOPY);
    }
    const uint8_t alpha = HighlightAlpha(b.hover != 0, b.pressed != 0, b.checked != 0);
    if (alpha == 0 || g_pictures.highlightDC == nullptr) return;
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    // The surface is one colour, so a face larger than it may stretch it.
    AlphaBlend(b.faceDC, 0, 0, b.width, b.height, g_pictures.highlightDC, 0, 0,
               std::min<int>(b.width, g_pictures.highlightSide),
               std::min<int>(b.height, g_pictures.highlightSide), blend);
}

void CopyFace(HDC dc, const ToolButton& b) {
    if (b.faceDC != nullptr) {
        BitBlt(dc, 0, 0, b.width, b.height, b.faceDC, 0, 0, SRCCOPY);
    } else {
        FillSolid(dc, {0, 0, b.width, b.height}, g_pictures.background);
    }
}

void Redraw(HWND hwnd, ToolButton& b) {
    DrawFace(b);
    HDC dc = GetDC(hwnd);
    CopyFace(dc, b);
    ReleaseDC(hwnd, dc);
}

void ReleaseFace(ToolButton& b) {
    if (b.faceDC == nullptr) return;
    SelectObject(b.faceDC, b.previousBitmap);
    DeleteObject(b.faceBitmap);
    DeleteDC(b.faceDC);
    b.faceDC = nullptr;
    b.faceBitmap = nullptr;
}

void RebuildFace(ToolButton& b) {
    ReleaseFace(b);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, b.width, b.height);
    ReleaseDC(nullptr, screen);
    if (dc == nullptr || bitmap == nullptr) {
        if (dc != nullptr) DeleteDC(dc);
        if (bitmap != nullptr) DeleteObject(bitmap);
        return;  // painted plain until the next size change
    }
    b.faceDC = dc;
    b.faceBitmap = bitmap;
    b.previousBitmap = SelectObject(dc, bitmap);
    DrawFace(b);
}

// The prompt belongs to the main window, the top of the button's chain of parents.
void ShowHint(HWND hwnd, const ToolButton& b) {
    HWND main = GetAncestor(hwnd, GA_ROOT);
    POINT toolbar = {0, 0};
    MapWindowPoints(GetParent(hwnd), main, &toolbar, 1);
    const HintPoint at =
        HintPosition(toolbar.x, toolbar.y, b.x, b.y, b.width, b.height, b.vertical != 0);
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE));
    ShowPrompt(instance, main, b.hint, at.x, at.y);
}

void CloseHint(HWND hwnd) {
    if (HWND prompt = GetDlgItem(GetAncestor(hwnd, GA_ROOT), kIdPrompt)) {
        SendMessageW(prompt, WM_COMMAND, kPromptCmdCloseSoon, 0);
    }
}

// Hover and press end together, also when another window takes the mouse away (a dialog
// opened by the click disables the main window, which releases the capture); otherwise the
// face would stay lit with no capture left to see the mouse leave.
void EndHover(HWND hwnd, ToolButton& b) {
    if (b.hover == 0 && b.pressed == 0) return;
    if (b.hover != 0) CloseHint(hwnd);
    b.hover = 0;
    b.pressed = 0;
    Redraw(hwnd, b);
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW* create) {
    auto* b = static_cast<ToolButton*>(create->lpCreateParams);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(b));
    RebuildFace(*b);
    return 0;
}

void OnSize(ToolButton& b, int width, int height) {
    if (width == 0 || height == 0) return;
    b.width = width;
    b.height = height;
    RebuildFace(b);
}

void OnPaint(HWND hwnd, const ToolButton& b) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    CopyFace(dc, b);
    EndPaint(hwnd, &ps);
}

void OnMouseMove(HWND hwnd, ToolButton& b, int x, int y) {
    const bool inside = InsideButton(x, y, b.width, b.height);
    if (inside == (b.hover != 0)) return;
    if (inside && b.hint[0] != L'\0') ShowHint(hwnd, b);
    if (!inside) CloseHint(hwnd);
    b.hover = inside ? 1 : 0;
    // Holding the capture while hovering is what lets the button see the mouse leave.
    if (b.pressed == 0) {
        if (inside) {
            SetCapture(hwnd);
        } else if (GetCapture() == hwnd) {
            ReleaseCapture();
        }
    }
    Redraw(hwnd, b);
}

void OnButtonDown(HWND hwnd, ToolButton& b) {
    SetFocus(hwnd);
    SetCapture(hwnd);
    b.pressed = 1;
    Redraw(hwnd, b);
}

void OnButtonUp(HWND hwnd, ToolButton& b) {
    if (b.hover == 0 && GetCapture() == hwnd) ReleaseCapture();
    b.pressed = 0;
    Redraw(hwnd, b);
    if (b.hover != 0) PostMessageW(GetParent(hwnd), WM_COMMAND, GetDlgCtrlID(hwnd), 0);
}

void OnCancelMode(HWND hwnd, ToolButton& b) {
    if (GetCapture() != hwnd) return;
    ReleaseCapture();
    EndHover(hwnd, b);
}

void OnCommand(HWND hwnd, ToolButton& b, int command, LPARAM lParam) {
    switch (command) {
        case kButtonCmdSetChecked:
            b.checked = lParam != 0 ? 1 : 0;
            Redraw(hwnd, b);
            break;
        case kButtonCmdSetHint: {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            CopyToField(text != nullptr ? AsUtf16(text) : u"",
                        reinterpret_cast<char16_t*>(b.hint), kToolButtonHintChars);
            break;
        }
    }
}

void OnDestroy(HWND hwnd, ToolButton* b) {
    ReleaseFace(*b);
    SetWindowLongPtrW(hwnd, 0, 0);
    HeapFree(GetProcessHeap(), 0, b);
}

}  // namespace

void ToolButton_SetBackground(COLORREF colour) { g_pictures.background = colour; }

bool ToolButtonWnd_Init(HINSTANCE instance) {
    if (g_pictures.strip != nullptr) return false;
    HBITMAP strip = LoadBitmapW(instance, MAKEINTRESOURCEW(IDB_TOOLBAR_STRIP));
    if (strip == nullptr) {
        OutputDebugStringA("ToolButtonWnd_Init failed.\r\n");
        return false;
    }
    g_pictures.strip = strip;
    BITMAP info = {};
    GetObjectW(strip, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    g_pictures.stripDC = CreateCompatibleDC(screen);
    if (g_pictures.stripDC != nullptr) SelectObject(g_pictures.stripDC, strip);

    const int side = 2 * info.bmHeight;
    HBITMAP highlight = CreateCompatibleBitmap(screen, side, side);
    HDC highlightDC = highlight != nullptr ? CreateCompatibleDC(screen) : nullptr;
    ReleaseDC(nullptr, screen);
    if (highlightDC == nullptr) {
        if (highlight != nullptr) DeleteObject(highlight);
        OutputDebugStringA("ToolButtonWnd_Init failed..\r\n");
        return false;
    }
    SelectObject(highlightDC, highlight);
    FillSolid(highlightDC, {0, 0, side, side}, kToolButtonHighlight);
    g_pictures.highlight = highlight;
    g_pictures.highlightDC = highlightDC;
    g_pictures.highlightSide = side;
    OutputDebugStringA("ToolButtonWnd_Init OK\r\n");
    return true;
}

HWND CreateToolButton(HWND parent, int id, int x, int y, int imageX, bool vertical) {
    auto* b = static_cast<ToolButton*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ToolButton)));
    if (b == nullptr) return nullptr;
    b->x = x;
    b->y = y;
    b->width = kToolButtonSize;
    b->height = kToolButtonSize;
    b->imageX = imageX;
    b->imageWidth = kToolImageSize;
    b->imageHeight = kToolImageSize;
    b->vertical = vertical ? 1 : 0;
    HWND button = CreateWindowExW(
        0, kToolButtonClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y,
        kToolButtonSize, kToolButtonSize, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), b);
    // Without a window the record was never handed over.
    if (button == nullptr) HeapFree(GetProcessHeap(), 0, b);
    return button;
}

LRESULT CALLBACK ToolButtonWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    ToolButton* b = RecordOf(hwnd);
    if (b == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SIZE:
            OnSize(*b, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_PAINT:
            OnPaint(hwnd, *b);
            return 0;
        case WM_PRINTCLIENT:
            CopyFace(reinterpret_cast<HDC>(wParam), *b);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the face covers the whole window
        case WM_MOUSEMOVE:
            OnMouseMove(hwnd, *b, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(hwnd, *b);
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(hwnd, *b);
            return 0;
        case WM_CANCELMODE:
            OnCancelMode(hwnd, *b);
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) EndHover(hwnd, *b);
            return 0;
        case WM_COMMAND:
            OnCommand(hwnd, *b, LOWORD(wParam), lParam);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_DESTROY:
            OnDestroy(hwnd, b);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
