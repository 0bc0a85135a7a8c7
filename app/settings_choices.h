// What the settings dialog's lists show for the settings record and what their selections
// make of it: list positions in, setting values out.
#pragma once
#include <string>

#include "settings/app_settings.h"

constexpr int kFirstTextSize = 8;
constexpr int kLastTextSize = 24;
constexpr int kGreenChoice = 3;  // the palette's green, for colours outside the palette
constexpr int kNoChoice = -1;    // a list without a selection

struct SettingsChoices {
    int rulerColour;  // palette indices
    int lineColour;
    int textColour;
    int lineWidth;    // list positions
    int textSize;
    int photoFormat;
    int language;
};

SettingsChoices ChoicesFromSettings(const AppSettings& settings);
// Writes the choices into the record; true when the language changed. A colour outside the
// palette's indices becomes green; a list without a selection keeps its setting.
bool ApplyChoices(const SettingsChoices& choices, AppSettings& settings);
// A text-size list entry: " %d".
std::u16string TextSizeEntry(int size);
