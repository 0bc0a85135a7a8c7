// Puts the running program into the states `make perf` measures, through its own commands
// and window messages, as its toolbars and a user's mouse would.
//   perf_driver overlay     crossline on (the view goes to 100 %) and five measured shapes
//   perf_driver gray-flip   the Preview section's Gray and horizontal flip switches clicked
//   perf_driver compressed  the view menu's Compressed video (MJPG) chosen (it toggles)
//   perf_driver record      the record dialog opened, no time limit chosen and Start clicked
//   perf_driver close       ends a recording through its dialog (the writer drains its queue
//                           and closes the file), then asks the main window to close, so the
//                           program ends normally
// It must run in the program's desktop (explorer /desktop=NAME,SIZE perf_driver ...).
// Exit code 0 when done, 1 for a bad command, 2 when the program's windows are not there.
#include <windows.h>

#include <cwchar>

#include "app/window_classes.h"
#include "resources/resource_ids.h"

namespace {

struct Point {
    int x, y;
};

void Command(HWND main, int id) { SendMessageW(main, WM_COMMAND, id, 0); }

LPARAM At(Point p) { return MAKELPARAM(p.x, p.y); }

// Press, one move with the button held, release: one drag across the view.
void Drag(HWND view, Point from, Point to) {
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, At(from));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, At({(from.x + to.x) / 2, (from.y + to.y) / 2}));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, At(to));
    SendMessageW(view, WM_LBUTTONUP, 0, At(to));
}

// A tool whose third point follows the mouse after the drag and is placed by a click.
void DragAndPlace(HWND view, Point from, Point to, Point third) {
    Drag(view, from, to);
    SendMessageW(view, WM_MOUSEMOVE, 0, At(third));
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, At(third));
    SendMessageW(view, WM_LBUTTONUP, 0, At(third));
}

void Overlay(HWND main) {
    HWND view = GetDlgItem(main, kIdCameraView);
    Command(main, kCmdCrossline);
    Command(main, kCmdToolLine);
    Drag(view, {120, 120}, {420, 180});
    Command(main, kCmdToolRectangle);
    Drag(view, {500, 100}, {760, 300});
    Command(main, kCmdToolCircle);
    Drag(view, {200, 420}, {320, 540});
    Command(main, kCmdToolAngle);
    DragAndPlace(view, {820, 420}, {1020, 420}, {900, 300});
    Command(main, kCmdToolPencil);
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, At({450, 600}));
    for (int i = 1; i <= 40; ++i) {
        SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, At({450 + i * 8, 600 + (i % 10) * 4}));
    }
    SendMessageW(view, WM_LBUTTONUP, 0, At({770, 600}));
    Command(main, kCmdToolNone);
}

HWND FindDescendant(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search = {className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64];
            if (GetClassNameW(child, name, 64) > 0 && std::wcscmp(name, s->className) == 0) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The switches are buttons of the Preview section, in their stored order from the first id.
bool GrayAndFlip(HWND main) {
    HWND preview = FindDescendant(main, kPanelPreviewClass);
    HWND flip = preview != nullptr ? GetDlgItem(preview, kIdFirstPreviewSwitch + 0) : nullptr;
    HWND gray = preview != nullptr ? GetDlgItem(preview, kIdFirstPreviewSwitch + 2) : nullptr;
    if (flip == nullptr || gray == nullptr) return false;
    SendMessageW(flip, BM_CLICK, 0, 0);
    SendMessageW(gray, BM_CLICK, 0, 0);
    return true;
}

// The record dialog is a top-level window of the main window's thread.
HWND FindRecordDialog(HWND main) {
    HWND found = nullptr;
    EnumThreadWindows(
        GetWindowThreadProcessId(main, nullptr),
        [](HWND window, LPARAM param) -> BOOL {
            if (GetDlgItem(window, IDC_RECORD_TIME) == nullptr ||
                GetDlgItem(window, IDC_RECORD_LIMIT) == nullptr) {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Polls for `what` every 50 ms for at most `limitMs`.
template <typename Condition>
bool WaitFor(Condition what, DWORD limitMs) {
    const DWORD start = GetTickCount();
    while (!what()) {
        if (GetTickCount() - start > limitMs) return false;
        Sleep(50);
    }
    return true;
}

// The dialog is modal: it is opened by a posted command and driven by posted ones.
bool Record(HWND main) {
    PostMessageW(main, WM_COMMAND, kCmdRecordVideo, 0);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindRecordDialog(main)) != nullptr; }, 10000)) return false;
    HWND limit = GetDlgItem(dialog, IDC_RECORD_LIMIT);
    SendMessageW(limit, CB_SETCURSEL, 0, 0);  // the first limit is none
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_RECORD_LIMIT, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(limit));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return true;
}

// Cancel stops a recording and closes the dialog once the file is closed; asked again now and
// then in case the first request met the dialog between states.
void EndRecording(HWND main) {
    int asked = 0;
    WaitFor(
        [&] {
            HWND dialog = FindRecordDialog(main);
            if (dialog == nullptr) return true;
            if (asked++ % 100 == 0) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return false;
        },
        120000);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 1;
    HWND main = FindWindowW(kMainWindowClass, nullptr);
    if (main == nullptr) return 2;
    if (std::wcscmp(argv[1], L"overlay") == 0) {
        Overlay(main);
    } else if (std::wcscmp(argv[1], L"gray-flip") == 0) {
        if (!GrayAndFlip(main)) return 2;
    } else if (std::wcscmp(argv[1], L"compressed") == 0) {
        Command(main, kCmdCompressedVideo);
    } else if (std::wcscmp(argv[1], L"record") == 0) {
        if (!Record(main)) return 2;
    } else if (std::wcscmp(argv[1], L"close") == 0) {
        EndRecording(main);
        PostMessageW(main, WM_CLOSE, 0, 0);
    } else {
        return 1;
    }
    return 0;
}
