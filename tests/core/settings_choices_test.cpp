#include "app/settings_choices.h"

#include <gtest/gtest.h>

namespace {

AppSettings Settings() {
    AppSettings s = {};
    s.gridColor = 0x800080;
    s.lineColor = 0x0000FF;
    s.textColor = 0x00FFFF;
    s.lineWidth = 2;
    s.textSize = 14;
    s.jpgPng = 1;
    s.language = 1;
    return s;
}

TEST(SettingsChoices, ListPositionsOfTheSettingsAndBackUnchanged) {
    AppSettings s = Settings();
    const SettingsChoices c = ChoicesFromSettings(s);
    EXPECT_EQ(c.rulerColour, 6);
    EXPECT_EQ(c.lineColour, 1);
    EXPECT_EQ(c.textColour, 11);
    EXPECT_EQ(c.lineWidth, 1);
    EXPECT_EQ(c.textSize, 6);  // " 14" is the seventh entry
    EXPECT_EQ(c.photoFormat, 1);
    EXPECT_EQ(c.language, 1);
    EXPECT_FALSE(ApplyChoices(c, s));
    const AppSettings same = Settings();
    EXPECT_EQ(s.gridColor, same.gridColor);
    EXPECT_EQ(s.lineColor, same.lineColor);
    EXPECT_EQ(s.textColor, same.textColor);
    EXPECT_EQ(s.lineWidth, same.lineWidth);
    EXPECT_EQ(s.textSize, same.textSize);
    EXPECT_EQ(s.jpgPng, same.jpgPng);
}

TEST(SettingsChoices, ColoursOutsideThePaletteShowAndStoreGreen) {
    AppSettings s = Settings();
    s.gridColor = 0x123456;
    s.textColor = 0;
    SettingsChoices c = ChoicesFromSettings(s);
    EXPECT_EQ(c.rulerColour, kGreenChoice);
    EXPECT_EQ(c.textColour, kGreenChoice);
    c.lineColour = 12;            // past the palette
    c.textColour = kNoChoice;     // nothing selected
    ApplyChoices(c, s);
    EXPECT_EQ(s.gridColor, kPaletteGreen);
    EXPECT_EQ(s.lineColor, kPaletteGreen);
    EXPECT_EQ(s.textColor, kPaletteGreen);
}

TEST(SettingsChoices, ALanguageChangeIsReportedAndAnEmptyListKeepsItsSetting) {
    AppSettings s = Settings();
    SettingsChoices c = ChoicesFromSettings(s);
    c.language = 2;
    c.textSize = 16;
    c.lineWidth = kNoChoice;
    c.photoFormat = kNoChoice;
    EXPECT_TRUE(ApplyChoices(c, s));
    EXPECT_EQ(s.language, 2);
    EXPECT_EQ(s.textSize, 24);
    EXPECT_EQ(s.lineWidth, 2);
    EXPECT_EQ(s.jpgPng, 1);
    c.language = kNoChoice;
    EXPECT_FALSE(ApplyChoices(c, s));
    EXPECT_EQ(s.language, 2);

    // A stored number without a table shows as English; choosing English stores it.
    s.language = 7;
    c = ChoicesFromSettings(s);
    EXPECT_EQ(c.language, 0);
    EXPECT_TRUE(ApplyChoices(c, s));
    EXPECT_EQ(s.language, 0);
}

TEST(SettingsChoices, TextSizeEntriesHaveALeadingBlank) {
    EXPECT_EQ(TextSizeEntry(8), u" 8");
    EXPECT_EQ(TextSizeEntry(24), u" 24");
}

}  // namespace
