#include <gtest/gtest.h>

#include <string>

#include "measure/calibration.h"
#include "measure/calibration_texts.h"

namespace {

CalibrationRecord Made(const char16_t* name, int32_t unit, float length, int32_t width,
                       int32_t height, int32_t date) {
    CalibrationRecord record = kFreeCalibration;
    EXPECT_TRUE(MakeCalibration(record, unit, 500, length, width, height, date));
    std::u16string_view(name).copy(record.name, kCalibrationNameChars - 1);
    return record;
}

TEST(CalibrationRow, CellsOfAMadeAndOfAFreeSlot) {
    const CalibrationRowCells made = CalibrationRow(Made(u"Stage 10x", kUnitMillimetres, 2.5f,
                                                         1920, 1080, 20240315));
    EXPECT_EQ(made.name, u"Stage 10x");
    EXPECT_EQ(made.value, u"200.00");
    EXPECT_EQ(made.unit, u"mm");
    EXPECT_EQ(made.date, u"03/15/2024");
    EXPECT_EQ(made.resolution, u"1920x1080");

    const CalibrationRowCells microns = CalibrationRow(Made(u"", kUnitMicrons, 125.0f, 640, 480,
                                                            20200101));
    EXPECT_EQ(microns.value, u"4.00");
    EXPECT_EQ(microns.unit, u"\u03BCm");
    EXPECT_EQ(microns.date, u"01/01/2020");  // the first year shown
    EXPECT_EQ(microns.resolution, u"640x480");

    const CalibrationRowCells free = CalibrationRow(kFreeCalibration);
    EXPECT_TRUE(free.name.empty() && free.value.empty() && free.unit.empty() &&
                free.date.empty() && free.resolution.empty());
}

TEST(CalibrationRow, OldDatesSmallStreamsAndUnusableLengthsShowNothing) {
    CalibrationRecord record = Made(u"old", kUnitMillimetres, 1.0f, 639, 480, 20191231);
    CalibrationRowCells cells = CalibrationRow(record);
    EXPECT_TRUE(cells.date.empty());
    EXPECT_TRUE(cells.resolution.empty());
    record = Made(u"short", kUnitMillimetres, 1.0f, 640, 479, 20240101);
    EXPECT_TRUE(CalibrationRow(record).resolution.empty());
    // A stored length of 0 loads uncalibrated: no value, no unit.
    record.realLength = 0.0f;
    record.scale = ScaleOf(record.linePixels, record.realLength);
    cells = CalibrationRow(record);
    EXPECT_TRUE(cells.value.empty());
    EXPECT_TRUE(cells.unit.empty());
    EXPECT_EQ(cells.name, u"short");
}

TEST(CalibrationRow, NameFillingTheWholeFieldIsShownWhole) {
    CalibrationRecord record = kFreeCalibration;
    for (int i = 0; i < kCalibrationNameChars; ++i) record.name[i] = u'a';  // no terminator
    EXPECT_EQ(CalibrationRow(record).name.size(), static_cast<size_t>(kCalibrationNameChars));
}

TEST(CalibrationDialogTitle, CountsSlotsFromOne) {
    EXPECT_EQ(CalibrationDialogTitle(2, kFreeCalibration), u"Calibrate - ID:3 Name:");
    CalibrationRecord record = kFreeCalibration;
    std::u16string_view(u"\u6807\u5c3a").copy(record.name, 2);
    EXPECT_EQ(CalibrationDialogTitle(9, record), u"Calibrate - ID:10 Name:\u6807\u5c3a");
}

// As atof reads a decimal number: blanks, the number, and whatever follows ignored, so a unit
// typed after it is fine. Refused: anything that would store a wrong or unusable scale.
TEST(ParseTypedLength, ReadsTheLeadingDecimalNumberAsAtofDoes) {
    const struct {
        const char16_t* text;
        float value;
    } good[] = {{u"2.5", 2.5f},    {u" 10 ", 10.0f},    {u".5", 0.5f},     {u"5.", 5.0f},
                {u"+3", 3.0f},     {u"1e2", 100.0f},    {u"2.5E-1", 0.25f}, {u"2.5mm", 2.5f},
                {u"2.5 mm", 2.5f}, {u"\t0.01\u03BCm", 0.01f}, {u"1e", 1.0f}};
    for (const auto& g : good) {
        float length = 0.0f;
        EXPECT_TRUE(ParseTypedLength(g.text, &length)) << std::u16string(g.text).size();
        EXPECT_FLOAT_EQ(length, g.value);
    }
    // No number (0), not finite, 0 or less, too small for a float, a number that atof would
    // cut at a separator ("2,5" would store 2), and no decimal digits of ours.
    const char16_t* bad[] = {u"",    u"  ",   u"abc",  u"mm 2.5", u"0",     u"0.0", u"-2.5",
                             u"inf", u"nan",  u"NaN",  u"1e39",   u"1e-39", u"2,5", u"1,000",
                             u"1.2.3", u"0x10", u".",   u"\uFF12"};
    for (const char16_t* text : bad) {
        float length = 7.0f;
        EXPECT_FALSE(ParseTypedLength(text, &length)) << std::u16string(text).size();
        EXPECT_EQ(length, 7.0f);
    }
    // Longer than the dialog's field allows.
    EXPECT_FALSE(ParseTypedLength(std::u16string(64, u'1'), nullptr));
}

TEST(CalibrationName, DropsSeparatorsAndKeepsNineteenCharactersWithoutSplittingAPair) {
    EXPECT_EQ(CalibrationNameFromEdit(u"a,b;c"), u"abc");
    EXPECT_EQ(CalibrationNameFromEdit(u"0123456789012345678XYZ"), u"0123456789012345678");
    // A surrogate pair across the limit goes whole.
    std::u16string edged(18, u'x');
    edged += u"\U0001F52C";
    EXPECT_EQ(CalibrationNameFromEdit(edged), std::u16string(18, u'x'));
    // The edit control's own limit cut the pair: its high half ends the text.
    EXPECT_EQ(CalibrationNameFromEdit(edged.substr(0, 19)), std::u16string(18, u'x'));
    EXPECT_EQ(CalibrationNameFromEdit(u"\u9855\u5fae\u93e1"), u"\u9855\u5fae\u93e1");
    EXPECT_TRUE(IsRefusedNameCharacter(u','));
    EXPECT_TRUE(IsRefusedNameCharacter(u';'));
    EXPECT_FALSE(IsRefusedNameCharacter(u'.'));
}

}  // namespace
