// Tells the journeys where the program's windows are and what they show, so that the real
// mouse can click a control where it is drawn at the running DPI and font, and a step can
// check what a window says. It only reads: it never sends a command or an input.
//   window_probe OUTFILE
// writes one line per window of its desktop (top-level windows, then their children, depth
// first), tab-separated:
//   path  class  visible  left top width height  clientLeft clientTop clientWidth clientHeight
//   extra  text
// path is the top-level window's handle in hex followed by the control ids down to the
// window ("2004e/109/100/104"); rectangles are in screen coordinates; extra is, for list and
// combo boxes, "count=N sel=N item=H" (item height; combo boxes add "items=A|B|..") and, for buttons, "check=N"; text is
// the window text in UTF-8 (tabs and line breaks as spaces). It must run in the program's
// desktop (explorer /desktop=NAME,SIZE window_probe ...). The file is written under another
// name and renamed, so a reader never sees half of it. Exit code 0 when written, 1 when not.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string out(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

bool ClassIs(const wchar_t* name, const wchar_t* wanted) { return _wcsicmp(name, wanted) == 0; }

// A combo box's entries joined by '|'; the list marshals its texts across processes.
std::string ItemsOf(HWND combo, LRESULT count) {
    std::string items;
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256) {
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        }
        if (i > 0) items += '|';
        items += Utf8(item);
    }
    return items;
}

// Counts and selections of the lists a step picks from; no pointer travels across processes.
std::string ExtraOf(HWND hwnd, const wchar_t* className) {
    char extra[96] = "-";
    if (ClassIs(className, L"ComboBox")) {
        const LRESULT count = SendMessageW(hwnd, CB_GETCOUNT, 0, 0);
        std::snprintf(extra, sizeof extra, "count=%ld sel=%ld item=%ld items=",
                      static_cast<long>(count),
                      static_cast<long>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0)),
                      static_cast<long>(SendMessageW(hwnd, CB_GETITEMHEIGHT, 0, 0)));
        return extra + ItemsOf(hwnd, count);
    } else if (ClassIs(className, L"ListBox") || ClassIs(className, L"ComboLBox")) {
        std::snprintf(extra, sizeof extra, "count=%ld sel=%ld item=%ld",
                      static_cast<long>(SendMessageW(hwnd, LB_GETCOUNT, 0, 0)),
                      static_cast<long>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0)),
                      static_cast<long>(SendMessageW(hwnd, LB_GETITEMHEIGHT, 0, 0)));
    } else if (ClassIs(className, L"Button")) {
        std::snprintf(extra, sizeof extra, "check=%ld",
                      static_cast<long>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)));
    }
    return extra;
}

struct Walk {
    FILE* out;
    std::string path;
};

void WriteLine(HWND hwnd, const Walk& walk) {
    wchar_t className[128] = L"";
    GetClassNameW(hwnd, className, 128);
    wchar_t text[512] = L"";
    DWORD_PTR ignored = 0;
    // A window too busy to answer within a second shows no text rather than holding the walk.
    if (SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 1000, &ignored) == 0) {
        text[0] = L'\0';
    }
    RECT window = {};
    GetWindowRect(hwnd, &window);
    RECT client = {};
    GetClientRect(hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    std::fprintf(walk.out, "%s\t%s\t%d\t%ld %ld %ld %ld\t%ld %ld %ld %ld\t%s\t%s\n",
                 walk.path.c_str(), Utf8(className).c_str(), IsWindowVisible(hwnd) ? 1 : 0,
                 window.left, window.top, window.right - window.left, window.bottom - window.top,
                 origin.x, origin.y, client.right, client.bottom,
                 ExtraOf(hwnd, className).c_str(), Utf8(text).c_str());
}

void WriteTree(HWND hwnd, const Walk& walk) {
    WriteLine(hwnd, walk);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char id[16];
        std::snprintf(id, sizeof id, "/%ld", static_cast<long>(GetDlgCtrlID(child)));
        WriteTree(child, Walk{walk.out, walk.path + id});
    }
}

BOOL CALLBACK OnTopLevel(HWND hwnd, LPARAM param) {
    char handle[32];
    std::snprintf(handle, sizeof handle, "%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    WriteTree(hwnd, Walk{reinterpret_cast<FILE*>(param), handle});
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 1;
    const std::wstring target = argv[1];
    const std::wstring partial = target + L".part";
    FILE* out = _wfopen(partial.c_str(), L"wb");
    if (out == nullptr) return 1;
    EnumWindows(OnTopLevel, reinterpret_cast<LPARAM>(out));
    const bool written = std::fclose(out) == 0;
    return written && MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0
                                                                                              : 1;
}
