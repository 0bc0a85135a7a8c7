// What the panel's sections decide, apart from the windows that show it: the format and
// resolution lists of the Device section, the Preview section's switches and ratio, the
// Color section's slider rows and frequency list, and the Files section's names.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/camera_properties.h"
#include "capture/format_map.h"
#include "pipeline/image_filters.h"

// Device section ------------------------------------------------------------------------

// The format list holds "MJPG" when the camera offers it, then "YUY2" when it offers that.
std::vector<std::u16string> FormatListEntries(const FormatMap& mjpg, const FormatMap& yuy2);
// The entry of the open subtype; MJPG is always first when listed.
int FormatListSelection(const MediaSubtype& open, const FormatMap& mjpg);
// The subtype a format-list choice stands for: by position when both are offered, else the
// one offered whatever the choice. Nothing when the camera offers neither.
std::optional<MediaSubtype> SubtypeOfFormatChoice(int selection, const FormatMap& mjpg,
                                                  const FormatMap& yuy2);

// The resolutions of the open subtype.
const FormatMap& MapOfSubtype(const MediaSubtype& subtype, const FormatMap& mjpg,
                              const FormatMap& yuy2);
// "%dx%d" per entry, in map order.
std::vector<std::u16string> ResolutionListEntries(const FormatMap& map);
// The first entry of the picture's size, else 0.
int ResolutionListSelection(const FormatMap& map, int pictureWidth, int pictureHeight);
// The format to reopen with for a resolution choice; nothing for a choice outside the map
// or for the size already shown.
std::optional<RequestedFormat> ResolutionChoice(const FormatMap& map, int selection,
                                                int pictureWidth, int pictureHeight);

// Preview section -----------------------------------------------------------------------

enum PreviewSwitch {
    kSwitchFlipHorizontal,
    kSwitchFlipVertical,
    kSwitchGray,
    kSwitchBinary,
    kSwitchInvert,
    kSwitchEmboss,
    kPreviewSwitchCount
};
bool SwitchOn(const PreviewFlags& flags, PreviewSwitch which);
// Inverts one switch; a filter turned on turns the other three filters off. Returns the
// switches to redraw as bits (1 << PreviewSwitch).
unsigned ToggleSwitch(PreviewFlags& flags, PreviewSwitch which);

// A slider's new position: the thumb position for the two thumb codes, else where the
// slider stands.
int SliderPosition(int code, int thumb, int currentPosition);
// "%d%%".
std::u16string RatioLabel(int percent);

// Color section -------------------------------------------------------------------------

// A slider over the values min .. max runs 0 .. max - min. Differences and sums are taken
// in 64 bits and clamped, so that no camera range (the full 32-bit one included) wraps; the
// quick-adjust slider works the same way.
struct ValueSlider {
    int32_t span;      // slider maximum, never negative
    int32_t position;  // value - min, within 0 .. span
};
ValueSlider ValueSliderOf(int32_t min, int32_t max, int32_t value);
// min + position.
int32_t ValueAtSliderPosition(int32_t min, int32_t position);

// A slider row: available in manual mode only; the slider runs 0 .. max - min.
struct PropertyRow {
    bool available;
    int32_t span;      // slider maximum, never negative
    int32_t position;  // value - min, within 0 .. span
};
PropertyRow PropertyRowOf(const CameraProperty& record);
// The value a slider position stands for.
int32_t PropertyValueAt(const CameraProperty& record, int32_t position);

// The power-line frequency choices: 50 Hz for value 1, 60 Hz for value 2, at most those two,
// walking the camera's range by its step. Empty for a camera without the control.
struct FrequencyChoices {
    std::vector<int32_t> hertz;
    int selected;  // the entry of the current value, else 0
};
FrequencyChoices PowerLineChoices(const CameraProperty& record);
// "%d Hz".
std::u16string FrequencyLabel(int32_t hertz);

// Files section -------------------------------------------------------------------------

// The name shown for a path: after the last backslash (searched down to the second
// character), else from the third character.
std::u16string_view DisplayedFileName(std::u16string_view path);
// Oldest first within a folder: by path, code unit by code unit.
void SortLatestFiles(std::vector<std::u16string>& paths);
