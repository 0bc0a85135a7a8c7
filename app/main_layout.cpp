#include "app/main_layout.h"

#include <algorithm>

namespace {

ChildRect Rect(int x, int y, int width, int height) {
    return {x, y, std::max(width, 0), std::max(height, 0)};
}

}  // namespace

MainLayout ComputeMainLayout(int clientWidth, int clientHeight, int panelWidth, bool fullScreen) {
    MainLayout layout;
    layout.cameraToolbar = Rect(0, 0, kCameraToolbarWidth, clientHeight);
    if (fullScreen) {
        layout.measureToolbar = Rect(0, 0, 0, 0);
        layout.controlPanel = Rect(0, 0, 0, 0);
        layout.cameraView =
            Rect(kCameraToolbarWidth, 0, clientWidth - kCameraToolbarWidth, clientHeight);
        return layout;
    }
    const int middleWidth = clientWidth - panelWidth - kCameraToolbarWidth;
    layout.measureToolbar = Rect(kCameraToolbarWidth, 0, middleWidth, kMeasureToolbarHeight);
    layout.cameraView = Rect(kCameraToolbarWidth, kMeasureToolbarHeight, middleWidth,
                             clientHeight - kMeasureToolbarHeight);
    layout.controlPanel = Rect(clientWidth - panelWidth, 0, panelWidth, clientHeight);
    return layout;
}
