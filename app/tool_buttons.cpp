#include "app/tool_buttons.h"

#include "measure/shapes.h"
#include "resources/resource_ids.h"

namespace {

struct ToolButton {
    int32_t tool;
    int button;
};

constexpr ToolButton kToolButtons[] = {
    {kToolNone, kCmdToolNone},         {kToolLine, kCmdToolLine},
    {kToolParallel, kCmdToolParallel}, {kToolRectangle, kCmdToolRectangle},
    {kToolCircle, kCmdToolCircle},     {kToolConcentric, kCmdToolConcentric},
    {kToolAngle, kCmdToolAngle},       {kToolPencil, kCmdToolPencil},
    {kToolText, kCmdToolText},
};

}  // namespace

int ToolButtonId(int32_t toolCode) {
    for (const ToolButton& entry : kToolButtons)
        if (entry.tool == toolCode) return entry.button;
    return kCmdToolNone;
}

int32_t ToolOfButton(int buttonId) {
    if (buttonId == kCmdToolText) return -1;
    for (const ToolButton& entry : kToolButtons)
        if (entry.button == buttonId) return entry.tool;
    return -1;
}
