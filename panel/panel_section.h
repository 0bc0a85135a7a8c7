// What the control panel and its four sections share: the metrics and fonts computed once,
// the section header control, and the protocol every section follows towards the panel
// (heights, the toggle chain, control colours).
#pragma once
#include <windows.h>

#include "panel/panel_geometry.h"

// To a section: the reply holds the expanded height in the high word and the collapsed
// height in the low word.
constexpr UINT WM_APP_SECTION_HEIGHTS = WM_APP + 7;

constexpr COLORREF kPanelBackground = 0x191515;
constexpr COLORREF kPanelControlBackground = 0x2D1515;
constexpr COLORREF kPanelText = 0xFFFFFF;

// Computed by the first panel and kept for the life of the process.
struct PanelMetrics {
    DialogUnits units;
    HFONT headerFont;  // "Segoe UI", 12 points, weight 300
    HFONT bodyFont;    // the same at 10 points
    int lineStep;      // height of "ZH" in the body font: one scroll line
    HBRUSH background;
};
const PanelMetrics& Panel_Metrics();
// "Segoe UI" of the given size and weight 300 for the screen's vertical resolution.
HFONT Panel_CreateFont(int points);
// Height of "ZH" in a font on the screen.
int Panel_TextHeight(HFONT font);

// Each section's record.
struct SectionBase {
    HWND window;
    int order;  // SectionOrder
    int collapsedHeight;
    int expandedHeight;
    bool expanded;
};

// Allocates a section's record, keeps it in the window's extra bytes and fills it, its
// heights from the metrics and the body units. Null when out of memory.
SectionBase* Section_Attach(HWND section, int order, int bodyUnits);
SectionBase* Section_RecordOf(HWND section);

// The header, child 100, visible; and the section's other controls, created hidden with
// the body font.
HWND Section_CreateHeader(HWND section);
HWND Section_CreateControl(HWND section, const wchar_t* className, const wchar_t* text,
                           DWORD style, int id);
// Places the children with ids from 100 upward in one deferred batch.
void Section_ApplyLayout(HWND section, const ControlRect* rects, int count);
void Section_SetText(HWND section, int id, const char* key);
// The header's text; the header is redrawn.
void Section_SetHeaderText(HWND section, const char* key);
void Section_EnableControls(HWND section, int firstId, int lastId, bool enable);
// The main window: the parent of the panel that holds the section.
HWND Section_MainWindow(HWND section);

// What a section does with the messages every section receives.
struct SectionHandlers {
    void (*layout)(HWND section, int width);       // a size other than zero
    void (*refresh)(HWND section, WPARAM reason);  // WM_APP_PANEL_REFRESH
    void (*command)(HWND section, int id, int code);
};
// The rest of every section's procedure: its heights, the toggle from its header, the
// colours of its controls, size, refresh, commands and the end of its record.
LRESULT Section_Proc(HWND section, UINT msg, WPARAM wParam, LPARAM lParam,
                     const SectionHandlers& handlers);

LRESULT CALLBACK SectionHeader_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DeviceSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PreviewSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ColorSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK FilesSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
