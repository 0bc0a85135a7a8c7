#include "app/prompt_window.h"

#include <cstdint>

#include "app/window_classes.h"
#include "resources/resource_ids.h"

namespace {

constexpr UINT_PTR kTickTimer = 118;
constexpr UINT kTickMilliseconds = 100;
// The prompt closes on the tick that takes the count past this: 3.9 s after the last text.
constexpr int kAutoCloseTicks = 38;
constexpr int kCloseSoonTicks = kAutoCloseTicks - 1;
constexpr int kTextLeft = 16;
constexpr int kTextTop = 8;
constexpr int kFontPoints = 12;

struct PromptRecord {
    wchar_t text[kPromptTextChars];
    int32_t x;          // left edge in the parent's client area; 0 or less: centred
    int32_t y;          // top edge in the parent's client area
    int32_t autoClose;  // non-zero: close after the time-out
    int32_t ticks;      // timer ticks since the text was set or the time-out restarted
    HFONT font;         // as WM_SETFONT gave it
};

HFONT g_promptFont;  // shared by every prompt, kept for the life of the process

HFONT PromptFont() {
    if (g_promptFont == nullptr) {
        HDC screen = GetDC(nullptr);
        const int height = -(kFontPoints * GetDeviceCaps(screen, LOGPIXELSY) / 72);
        ReleaseDC(nullptr, screen);
        g_promptFont = CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH, L"Segoe UI");
    }
    return g_promptFont;
}

PromptRecord* RecordOf(HWND hwnd) {
    return reinterpret_cast<PromptRecord*>(GetWindowLongPtrW(hwnd, 0));
}

SIZE MeasureText(HWND hwnd, const wchar_t* text) {
    SIZE size = {};
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, PromptFont());
    GetTextExtentExPointW(dc, text, lstrlenW(text), 0, nullptr, nullptr, &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return size;
}

void Relayout(HWND hwnd, const PromptRecord& record) {
    const SIZE text = MeasureText(hwnd, record.text);
    const int width = text.cx + 2 * kTextLeft;
    const int height = text.cy + 2 * kTextTop;
    RECT parent = {};
    GetClientRect(GetParent(hwnd), &parent);
    const int left = record.x > 0 ? record.x : (parent.right - width) / 2;
    const int top = record.y + parent.top;
    SetWindowPos(hwnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetText(HWND hwnd, PromptRecord& record, const wchar_t* text) {
    lstrcpynW(record.text, text != nullptr ? text : L"", kPromptTextChars);
    Relayout(hwnd, record);
    InvalidateRect(hwnd, nullptr, TRUE);
    record.ticks = 0;
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW* create) {
    auto* record = static_cast<PromptRecord*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PromptRecord)));
    if (record == nullptr) return -1;
    const auto* init = static_cast<const PromptRecord*>(create->lpCreateParams);
    record->x = init->x;
    record->y = init->y;
    record->autoClose = init->autoClose;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(record));
    SetText(hwnd, *record, init->text);
    SetTimer(hwnd, kTickTimer, kTickMilliseconds, nullptr);
    return 0;
}

// The shown line is the window text, so readers need not know the record.
LRESULT OnGetText(const PromptRecord& record, int capacity, wchar_t* buffer) {
    if (capacity <= 0 || buffer == nullptr) return 0;
    lstrcpynW(buffer, record.text, capacity);
    return lstrlenW(buffer);
}

void OnCommand(HWND hwnd, PromptRecord& record, int id, LPARAM lParam) {
    switch (id) {
        case kPromptCmdMove:
            record.x = static_cast<short>(LOWORD(lParam));
            record.y = static_cast<short>(HIWORD(lParam));
            if (record.x != 0 || record.y != 0) Relayout(hwnd, record);
            break;
        case kPromptCmdCloseSoon:
            record.ticks = kCloseSoonTicks;
            break;
        case kPromptCmdRelayout:
            Relayout(hwnd, record);
            break;
        case kPromptCmdLifeTime:
            record.ticks = 0;
            record.autoClose = static_cast<int32_t>(lParam);
            break;
    }
}

void OnTimer(HWND hwnd, PromptRecord& record) {
    if (record.autoClose == 0) return;
    if (++record.ticks > kAutoCloseTicks) DestroyWindow(hwnd);
}

void OnPaint(HWND hwnd, const PromptRecord& record) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    HGDIOBJ old = SelectObject(dc, PromptFont());
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kPromptBackground);
    SetTextColor(dc, RGB(0, 0, 0));
    ExtTextOutW(dc, kTextLeft, kTextTop, ETO_OPAQUE | ETO_CLIPPED, &client, record.text,
                static_cast<UINT>(lstrlenW(record.text)), nullptr);
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

void OnDestroy(HWND hwnd, PromptRecord* record) {
    KillTimer(hwnd, kTickTimer);
    SetWindowLongPtrW(hwnd, 0, 0);
    HeapFree(GetProcessHeap(), 0, record);
}

}  // namespace

LRESULT CALLBACK PromptWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    PromptRecord* record = RecordOf(hwnd);
    if (record == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SETTEXT:
            SetText(hwnd, *record, reinterpret_cast<const wchar_t*>(lParam));
            return TRUE;
        case WM_GETTEXT:
            return OnGetText(*record, static_cast<int>(wParam), reinterpret_cast<wchar_t*>(lParam));
        case WM_GETTEXTLENGTH:
            return lstrlenW(record->text);
        case WM_SETFONT:
            record->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam) != 0) InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(record->font);
        case WM_COMMAND:
            OnCommand(hwnd, *record, LOWORD(wParam), lParam);
            return 0;
        case WM_TIMER:
            if (wParam == kTickTimer) OnTimer(hwnd, *record);
            return 0;
        case WM_PAINT:
            OnPaint(hwnd, *record);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case WM_DESTROY:
            OnDestroy(hwnd, record);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND ShowPrompt(HINSTANCE instance, HWND parent, const wchar_t* text, int x, int y) {
    constexpr UINT kRaise = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (HWND open = GetDlgItem(parent, kIdPrompt)) {
        SetWindowPos(open, HWND_TOP, 0, 0, 0, 0, kRaise);
        SendMessageW(open, WM_COMMAND, kPromptCmdLifeTime, kAutoCloseTicks);
        SendMessageW(open, WM_COMMAND, kPromptCmdMove, MAKELONG(x, y));
        SendMessageW(open, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        return open;
    }
    PromptRecord init = {};
    lstrcpynW(init.text, text != nullptr ? text : L"", kPromptTextChars);
    init.x = x;
    init.y = y;
    init.autoClose = kAutoCloseTicks;
    HWND prompt = CreateWindowExW(0, kPromptWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_BORDER,
                                  0, 0, 0, 0, parent, reinterpret_cast<HMENU>(kIdPrompt),
                                  instance, &init);
    if (prompt != nullptr) {
        SetWindowPos(prompt, HWND_TOP, 0, 0, 0, 0, kRaise);
        SendMessageW(prompt, WM_SETFONT, reinterpret_cast<WPARAM>(PromptFont()), FALSE);
    }
    return prompt;
}
