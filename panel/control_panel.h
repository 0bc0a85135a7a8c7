// The right-hand control panel: four collapsible sections (Device, Preview, Color and
// Files) stacked under their headers and scrolled as one column. The Color section is
// created and kept current but never given room.
#pragma once
#include <windows.h>

// To the control panel; the panel sends the refresh on to every section and posts a new
// file to the Files section.
constexpr UINT WM_APP_PANEL_REFRESH = WM_APP + 6;  // wParam: PanelRefreshReason
constexpr UINT WM_APP_FILE_ADDED = WM_APP + 9;     // wParam: index in the latest-files list

// The toggle chain header -> section -> panel. To a header, from anyone: toggle. To a
// section, from its header: wParam = the new expanded flag. To the panel, from a section:
// wParam = the section's order, lParam = its expanded flag.
constexpr UINT WM_APP_SECTION_TOGGLE = WM_APP + 8;

enum PanelRefreshReason : WPARAM {
    kRefreshZoom = 0,         // the camera view's ratio changed
    kRefreshDeviceState = 1,  // a device opened or closed, or the panel was just created
    kRefreshDeviceList = 11,  // cameras came or went
};

// Registers the panel, the section header, the four sections and the image viewer. The
// panel takes its width in pixels as its creation parameter.
bool Panel_RegisterClasses(HINSTANCE instance);
