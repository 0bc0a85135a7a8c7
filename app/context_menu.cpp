#include "app/context_menu.h"

#include <string_view>

#include "measure/camera_view.h"
#include "recording/avi_writer.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"
// Last: it brings in strsafe.h, which hides the C library functions <string> needs.
#include "capture/capture_graph.h"

namespace {

struct ViewMenuItem {
    int command;
    std::string_view textKey;
    bool (*enabled)();  // null: always
    bool (*checked)();  // null: never a check mark
};

bool FramesFlow() { return Capture_FramesFlowing(); }
bool CameraOpen() { return Capture_IsOpen(); }
bool HasShapes() { return !CameraView_Measure().Shapes().empty(); }

const ViewMenuItem kViewMenuItems[] = {
    {kCmdSaveForAnalysis, "more save analysis", &FramesFlow, nullptr},
    {kCmdCopyMeasurements, "more copy measurements", &HasShapes, nullptr},
    {kCmdScaleBar, "more scale bar", nullptr, &CameraView_ScaleBar},
    {kCmdCompressedVideo, "more compressed video", nullptr, &Recorder_CompressedVideo},
    {kCmdCameraSettings, "more camera settings", &CameraOpen, nullptr},
    {kCmdTimeLapse, "more time lapse", nullptr, nullptr},
};

}  // namespace

HMENU ViewMenu_Build() {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    for (const ViewMenuItem& item : kViewMenuItems) {
        UINT flags = MF_STRING;
        if (item.enabled != nullptr && !item.enabled()) flags |= MF_GRAYED;
        if (item.checked != nullptr && item.checked()) flags |= MF_CHECKED;
        AppendMenuW(menu, flags, item.command, GetWideText(item.textKey));
    }
    return menu;
}

void ViewMenu_Show(HWND owner, HWND view, LPARAM screenPoint) {
    POINT at = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        RECT client;
        GetClientRect(view, &client);
        at = {(client.left + client.right) / 2, (client.top + client.bottom) / 2};
        ClientToScreen(view, &at);
    }
    HMENU menu = ViewMenu_Build();
    if (menu == nullptr) return;
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner,
                   nullptr);
    DestroyMenu(menu);
}
