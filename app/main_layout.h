// Where the main window puts its four children, normal and full screen.
#pragma once

constexpr int kMeasureToolbarHeight = 52;
constexpr int kCameraToolbarWidth = 59;
constexpr int kPanelWidthDialogUnits = 126;
constexpr int kMainMinTrackWidth = 798;
constexpr int kMainMinTrackHeight = 520;

struct ChildRect {
    int x, y, width, height;
};

struct MainLayout {
    ChildRect measureToolbar;
    ChildRect cameraToolbar;
    ChildRect cameraView;
    ChildRect controlPanel;
};

// Client size in pixels. Full screen hides the measurement toolbar and the panel (size 0)
// and gives their room to the view. Sizes never go below 0.
MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int panelWidth, bool fullScreen);
