// Helpers for tests that create the program's main window: a tap on any window's commands
// and application messages, and plain stand-ins for the children not built yet.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "app/app_messages.h"
#include "app/window_classes.h"
#include "measure/camera_view.h"

// What a child was sent: commands and application messages, with the payload of the two
// view commands that carry a pointer (read while the sender still owns it).
struct Tapped {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::vector<int32_t> payload;
};

// Listens to a window of any class: a stand-in of this test or the real child.
class MessageTap {
public:
    explicit MessageTap(HWND hwnd) : hwnd_(hwnd) {
        SetWindowSubclass(hwnd_, &MessageTap::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageTap() {
        if (IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, &MessageTap::Proc, 1);
    }
    MessageTap(const MessageTap&) = delete;
    MessageTap& operator=(const MessageTap&) = delete;

    const std::vector<Tapped>& seen() const { return seen_; }
    void Clear() { seen_.clear(); }
    std::vector<Tapped> Commands(int id) const {
        std::vector<Tapped> found;
        for (const auto& m : seen_)
            if (m.msg == WM_COMMAND && LOWORD(m.wParam) == id) found.push_back(m);
        return found;
    }
    std::vector<LPARAM> CommandParams(int id) const {
        std::vector<LPARAM> params;
        for (const auto& m : Commands(id)) params.push_back(m.lParam);
        return params;
    }
    // The view's own search for cameras may add list refreshes at any time: count by reason.
    int Refreshes(WPARAM reason) const {
        int count = 0;
        for (const auto& m : seen_) count += m.msg == WM_APP_PANEL_REFRESH && m.wParam == reason;
        return count;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self) {
        if (msg == WM_COMMAND || (msg >= WM_APP && msg <= 0xBFFF)) {
            Tapped m = {msg, wParam, lParam, {}};
            if (msg == WM_COMMAND && lParam != 0 && LOWORD(wParam) == kViewCmdOverlayStyle) {
                const auto& style = *reinterpret_cast<const OverlayStyleCommand*>(lParam);
                m.payload = {style.gridColor, style.lineColor, style.lineWidth, style.textColor,
                             style.textSize};
            }
            if (msg == WM_COMMAND && lParam != 0 && LOWORD(wParam) == kViewCmdApplyCalibration) {
                const auto& calibration = *reinterpret_cast<const CalibrationCommand*>(lParam);
                int32_t scaleBits;
                std::memcpy(&scaleBits, &calibration.scale, sizeof scaleBits);
                m.payload = {scaleBits, calibration.unit};
            }
            reinterpret_cast<MessageTap*>(self)->seen_.push_back(m);
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }

    HWND hwnd_;
    std::vector<Tapped> seen_;
};

// The children that have not been built yet are stood in for by plain windows, so the
// layout and the routing can be watched; a real child class, once registered, is used as is.
inline void RegisterStandInChildren() {
    for (const wchar_t* name : {kCameraWindowClass, kControlPanelClass}) {
        WNDCLASSEXW existing = {};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing)) continue;
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = name;
        RegisterClassExW(&wc);
    }
}
