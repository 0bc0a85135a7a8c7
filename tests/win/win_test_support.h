// Helpers for Windows tests: real windows that record what they are sent, and a message
// pump that waits for a condition with a deadline instead of sleeping.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <vector>

struct RecordedMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level (hidden) window whose procedure records every WM_APP+n and WM_COMMAND it
// receives.
class RecorderWindow {
public:
    RecorderWindow();
    ~RecorderWindow();
    HWND hwnd() const { return hwnd_; }
    const std::vector<RecordedMessage>& messages() const { return messages_; }
    int CountOf(UINT msg) const;
    void Clear() { messages_.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::vector<RecordedMessage> messages_;
};

// Dispatches messages until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Dispatches messages for `ms` milliseconds (for "nothing arrives" checks).
void PumpFor(DWORD ms);

inline RecorderWindow::RecorderWindow() {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &RecorderWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TessaloomTestRecorder";
        return RegisterClassW(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExW(0, L"TessaloomTestRecorder", L"recorder", WS_OVERLAPPED, 0, 0, 200,
                            200, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

inline RecorderWindow::~RecorderWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

inline int RecorderWindow::CountOf(UINT msg) const {
    int n = 0;
    for (const auto& m : messages_) n += m.msg == msg;
    return n;
}

inline LRESULT CALLBACK RecorderWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecorderWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && (msg == WM_COMMAND || (msg >= WM_APP && msg <= 0xBFFF))) {
        self->messages_.push_back({msg, wParam, lParam});
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Threads of this process right now.
inline int ThreadsOfThisProcess() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

// What a window's client area shows, as it paints itself into a memory picture
// (WM_PRINTCLIENT); hidden windows can be looked at too.
class WindowPicture {
public:
    explicit WindowPicture(HWND hwnd) {
        RECT client = {};
        GetClientRect(hwnd, &client);
        width_ = client.right;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = client.right;
        info.bmiHeader.biHeight = -client.bottom;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
        GdiFlush();
    }
    ~WindowPicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    WindowPicture(const WindowPicture&) = delete;
    WindowPicture& operator=(const WindowPicture&) = delete;
    COLORREF At(int x, int y) const {
        const DWORD v = bits_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int width_ = 0;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};
