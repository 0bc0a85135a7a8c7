#include "app/settings_choices.h"

#include <cstdio>

#include "settings/text_tables.h"

namespace {

int ColourChoice(ColorRef colour) {
    const int index = PaletteIndexOf(colour);
    return index >= 0 ? index : kGreenChoice;
}

ColorRef ColourOfChoice(int choice) {
    return choice >= 0 && choice < kPaletteSize ? kMeasurePalette[choice] : kPaletteGreen;
}

void KeepUnlessNone(int choice, int32_t offset, int32_t& setting) {
    if (choice != kNoChoice) setting = choice + offset;
}

}  // namespace

SettingsChoices ChoicesFromSettings(const AppSettings& settings) {
    SettingsChoices c = {};
    c.rulerColour = ColourChoice(settings.gridColor);
    c.lineColour = ColourChoice(settings.lineColor);
    c.textColour = ColourChoice(settings.textColor);
    c.lineWidth = settings.lineWidth - 1;
    c.textSize = settings.textSize - kFirstTextSize;
    c.photoFormat = settings.jpgPng;
    // A stored language number without a table of its own shows in English.
    const bool known = settings.language >= kLanguageEnglish && settings.language <= kLanguageJapanese;
    c.language = known ? settings.language : kLanguageEnglish;
    return c;
}

bool ApplyChoices(const SettingsChoices& choices, AppSettings& settings) {
    settings.gridColor = ColourOfChoice(choices.rulerColour);
    settings.lineColor = ColourOfChoice(choices.lineColour);
    settings.textColor = ColourOfChoice(choices.textColour);
    KeepUnlessNone(choices.lineWidth, 1, settings.lineWidth);
    KeepUnlessNone(choices.textSize, kFirstTextSize, settings.textSize);
    KeepUnlessNone(choices.photoFormat, 0, settings.jpgPng);
    if (choices.language == kNoChoice || choices.language == settings.language) return false;
    settings.language = choices.language;
    return true;
}

std::u16string TextSizeEntry(int size) {
    char text[16];
    std::snprintf(text, sizeof text, " %d", size);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}
