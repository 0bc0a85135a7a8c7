// The measurement toolbar's buttons that stand for the tool codes.
#pragma once
#include <cstdint>

// The button of a tool code; any code without a button means the Stop-measure button.
int ToolButtonId(int32_t toolCode);
// The tool code of a tool button, or -1 when the id is not a tool button. The Text button is
// not one: choosing text goes through its own checks.
int32_t ToolOfButton(int buttonId);
