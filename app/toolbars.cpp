#include "app/toolbars.h"

#include "app/tool_button_window.h"
#include "app/tool_buttons.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

struct ToolbarKind {
    const ToolbarButton* buttons;
    int count;
    bool vertical;  // hints go right of the buttons
    bool (*forwards)(int id);
};

constexpr ToolbarKind kMeasureToolbar = {kMeasureToolbarButtons, kMeasureToolbarButtonCount,
                                         false, MeasureToolbarForwards};
constexpr ToolbarKind kCameraToolbar = {kCameraToolbarButtons, kCameraToolbarButtonCount, true,
                                        CameraToolbarForwards};

// Texts come from the table in the current language; the buttons copy them.
void SetHints(HWND hwnd, const ToolbarKind& kind) {
    for (int i = 0; i < kind.count; ++i) {
        const ToolbarButton& button = kind.buttons[i];
        if (button.hintKey == nullptr) continue;
        if (HWND child = GetDlgItem(hwnd, button.id)) {
            SendMessageW(child, WM_COMMAND, kButtonCmdSetHint,
                         reinterpret_cast<LPARAM>(GetWideText(button.hintKey)));
        }
    }
}

void OnCreate(HWND hwnd, const ToolbarKind& kind) {
    for (int i = 0; i < kind.count; ++i) {
        const ToolbarButton& button = kind.buttons[i];
        CreateToolButton(hwnd, button.id, button.x, button.y, button.imageX, kind.vertical);
    }
    SetHints(hwnd, kind);
}

void OnCommand(HWND hwnd, const ToolbarKind& kind, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (id == kCmdReloadTexts) {
        SetHints(hwnd, kind);
    } else if (kind.forwards(id)) {
        PostMessageW(GetParent(hwnd), WM_COMMAND, wParam, lParam);
    }
}

LRESULT ToolbarProc(const ToolbarKind& kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            OnCreate(hwnd, kind);
            return 0;
        case WM_COMMAND:
            OnCommand(hwnd, kind, wParam, lParam);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MeasureToolbar_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ToolbarProc(kMeasureToolbar, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK CameraToolbar_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return ToolbarProc(kCameraToolbar, hwnd, msg, wParam, lParam);
}
