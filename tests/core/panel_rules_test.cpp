#include <gtest/gtest.h>

#include <climits>

#include "panel/camera_settings_rules.h"
#include "panel/image_view_rules.h"
#include "panel/section_rules.h"

namespace {

FormatMap MapOf(const MediaSubtype& subtype, std::initializer_list<std::pair<int, int>> sizes) {
    FormatMap map;
    for (const auto& [w, h] : sizes) InsertFormat(map, {subtype, w, h, 0});
    AddInterpolatedEntries(map, subtype);
    return map;
}

TEST(DeviceChoices, FormatListOffersWhatTheCameraHasMjpgFirst) {
    const FormatMap mjpg = MapOf(kSubtypeMjpg, {{1280, 720}, {640, 480}});
    const FormatMap yuy2 = MapOf(kSubtypeYuy2, {{640, 480}});
    const FormatMap none;
    EXPECT_EQ(FormatListEntries(mjpg, yuy2), (std::vector<std::u16string>{u"MJPG", u"YUY2"}));
    EXPECT_EQ(FormatListEntries(none, yuy2), std::vector<std::u16string>{u"YUY2"});
    EXPECT_EQ(FormatListSelection(kSubtypeMjpg, mjpg), 0);
    EXPECT_EQ(FormatListSelection(kSubtypeYuy2, mjpg), 1);
    EXPECT_EQ(FormatListSelection(kSubtypeYuy2, none), 0);  // a YUY2-only camera

    EXPECT_TRUE(SameSubtype(*SubtypeOfFormatChoice(0, mjpg, yuy2), kSubtypeMjpg));
    EXPECT_TRUE(SameSubtype(*SubtypeOfFormatChoice(1, mjpg, yuy2), kSubtypeYuy2));
    EXPECT_FALSE(SubtypeOfFormatChoice(-1, mjpg, yuy2));
    EXPECT_TRUE(SameSubtype(*SubtypeOfFormatChoice(1, none, yuy2), kSubtypeYuy2));  // the only one offered
    EXPECT_TRUE(SameSubtype(*SubtypeOfFormatChoice(0, mjpg, none), kSubtypeMjpg));
    EXPECT_FALSE(SubtypeOfFormatChoice(0, none, none));
}

TEST(DeviceChoices, ResolutionListSelectsThePictureSizeAndIgnoresTheCurrentOne) {
    // A 640 x 480 camera also lists the two interpolated sizes.
    const FormatMap mjpg = MapOf(kSubtypeMjpg, {{640, 480}});
    const FormatMap yuy2 = MapOf(kSubtypeYuy2, {{1280, 720}, {800, 600}});
    EXPECT_EQ(&MapOfSubtype(kSubtypeMjpg, mjpg, yuy2), &mjpg);
    EXPECT_EQ(&MapOfSubtype(kSubtypeYuy2, mjpg, yuy2), &yuy2);
    EXPECT_EQ(ResolutionListEntries(mjpg),
              (std::vector<std::u16string>{u"640x480", u"1280x960", u"1920x1080"}));
    EXPECT_EQ(ResolutionListSelection(mjpg, 1920, 1080), 2);
    EXPECT_EQ(ResolutionListSelection(yuy2, 1280, 720), 1);
    EXPECT_EQ(ResolutionListSelection(yuy2, 1920, 1080), 0);  // not offered: the first entry

    EXPECT_FALSE(ResolutionChoice(yuy2, 1, 1280, 720));  // already shown: no reopen
    const auto chosen = ResolutionChoice(mjpg, 1, 640, 480);
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(SameSubtype(chosen->subtype, kSubtypeMjpg));
    EXPECT_EQ(chosen->width, 1280);
    EXPECT_EQ(chosen->height, 960);
    EXPECT_EQ(chosen->interpolated, 1);
    EXPECT_FALSE(ResolutionChoice(mjpg, 3, 640, 480));
    EXPECT_FALSE(ResolutionChoice(mjpg, -1, 640, 480));
}

TEST(PreviewSwitches, FiltersExcludeEachOtherAndFlipsStandApart) {
    PreviewFlags flags = {};
    flags.emboss = 1;
    flags.flipVertical = 1;
    const unsigned allFilters = (1u << kSwitchGray) | (1u << kSwitchBinary) |
                                (1u << kSwitchInvert) | (1u << kSwitchEmboss);
    EXPECT_EQ(ToggleSwitch(flags, kSwitchGray), allFilters);
    EXPECT_TRUE(SwitchOn(flags, kSwitchGray));
    EXPECT_FALSE(SwitchOn(flags, kSwitchEmboss));
    EXPECT_TRUE(SwitchOn(flags, kSwitchFlipVertical));  // flips are not filters

    // Turning the active filter off redraws only itself and leaves all four off.
    EXPECT_EQ(ToggleSwitch(flags, kSwitchGray), 1u << kSwitchGray);
    EXPECT_EQ(flags.gray + flags.binary + flags.invert + flags.emboss, 0);

    EXPECT_EQ(ToggleSwitch(flags, kSwitchFlipHorizontal), 1u << kSwitchFlipHorizontal);
    EXPECT_EQ(ToggleSwitch(flags, kSwitchInvert), allFilters);
    EXPECT_EQ(flags.flipHorizontal, 1);
    EXPECT_EQ(flags.flipVertical, 1);
    EXPECT_EQ(flags.invert, 1);
}

TEST(PreviewRatio, SliderPositionsAndLabel) {
    EXPECT_EQ(SliderPosition(4, 150, 90), 150);  // TB_THUMBPOSITION
    EXPECT_EQ(SliderPosition(5, 160, 90), 160);  // TB_THUMBTRACK
    EXPECT_EQ(SliderPosition(0, 150, 90), 90);   // a line step: the slider's own position
    EXPECT_EQ(SliderPosition(8, 150, 90), 90);   // TB_ENDTRACK
    EXPECT_EQ(RatioLabel(150), u"150%");
    EXPECT_EQ(RatioLabel(100), u"100%");
}

TEST(ColorRows, AvailableInManualModeWithTheWholeRangeOnTheSlider) {
    CameraProperty brightness = {-64, 64, 1, 0, 2, 10, 0, 0};
    PropertyRow row = PropertyRowOf(brightness);
    EXPECT_TRUE(row.available);
    EXPECT_EQ(row.span, 128);
    EXPECT_EQ(row.position, 74);
    EXPECT_EQ(PropertyValueAt(brightness, 74), 10);
    EXPECT_EQ(PropertyValueAt(brightness, 0), -64);

    brightness.flags = 1;  // automatic
    EXPECT_FALSE(PropertyRowOf(brightness).available);
    brightness.flags = 0;
    EXPECT_FALSE(PropertyRowOf(brightness).available);

    const CameraProperty single = {0, 0, 1, 0, 2, 0, 0, 0};
    EXPECT_EQ(PropertyRowOf(single).span, 0);
    // Wider than 16 bits and the full 32-bit range: neither wraps.
    EXPECT_EQ(PropertyRowOf({0, 40000, 1, 0, 2, 39999, 0, 0}).span, 40000);
    EXPECT_EQ(PropertyRowOf({0, 40000, 1, 0, 2, 39999, 0, 0}).position, 39999);
    const CameraProperty huge = {INT_MIN, INT_MAX, 1, 0, 2, INT_MAX, 0, 0};
    EXPECT_EQ(PropertyRowOf(huge).span, INT_MAX);
    EXPECT_EQ(PropertyValueAt(huge, INT_MAX), -1);
    // A value the camera reports outside its own range stays on the slider.
    EXPECT_EQ(PropertyRowOf({0, 10, 1, 0, 2, 25, 0, 0}).position, 10);
    EXPECT_EQ(PropertyRowOf({5, 1, 1, 0, 2, 3, 0, 0}).span, 0);
}

TEST(ColorFrequency, AtMostTheTwoEntriesAndAlwaysAnEnd) {
    struct Case {
        int32_t min, max, step, value;
        std::vector<int32_t> hertz;
        int selected;
    };
    const Case cases[] = {
        {1, 2, 1, 2, {50, 60}, 1},
        {1, 3, 1, 1, {50, 60}, 0},
        {2, 2, 1, 2, {60}, 0},
        {1, 2, 1, 7, {50, 60}, 0},  // no entry of the value: the first
        {0, 0, 0, 0, {}, 0},        // no control
        {0, 2, 1, 1, {}, 0},        // min 0: not a range the list understands
        {2, 1, 1, 1, {}, 0},
        {1, 2, 0, 1, {50}, 0},      // a zero step ends the walk
        {1, 2, -1, 2, {50}, 0},
        {1, 2, 2, 1, {50}, 0},
        {-1, 2, 1, 1, {}, 0},
        {1, INT_MAX, INT_MAX, 1, {50}, 0},  // the next value would overflow
    };
    for (const Case& c : cases) {
        const CameraProperty record = {c.min, c.max, c.step, 1, 2, c.value, 0, 0};
        const FrequencyChoices choices = PowerLineChoices(record);
        EXPECT_EQ(choices.hertz, c.hertz) << c.min << ".." << c.max << " step " << c.step;
        EXPECT_EQ(choices.selected, c.selected) << c.min << ".." << c.max << " step " << c.step;
    }
    EXPECT_EQ(FrequencyLabel(50), u"50 Hz");
}

TEST(CameraSettings, ExposureShowsSecondsOfItsPowerOfTwo) {
    const struct {
        int32_t log2;
        const char16_t* text;
    } cases[] = {
        {-7, u"1/128 s"}, {-1, u"1/2 s"}, {0, u"1 s"}, {3, u"8 s"},
        {-62, u"1/4611686018427387904 s"}, {63, u"2^63 s"}, {INT32_MIN, u"2^-2147483648 s"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExposureText(c.log2), c.text) << c.log2;
    EXPECT_EQ(SettingValueText(kPropExposure, -13), u"1/8192 s");
    EXPECT_EQ(SettingValueText(kPropFocus, -13), u"-13");
}

TEST(CameraSettings, PowerLineListTakesTheRangeFromOne) {
    const struct {
        CameraProperty record;  // min, max, step, default, flags, value, ...
        std::vector<int32_t> hertz;
        int selected;
    } cases[] = {
        {{0, 2, 1, 1, 2, 2, 0, 0}, {50, 60}, 1},  // off, 50, 60
        {{0, 3, 1, 1, 2, 0, 0, 0}, {50, 60}, 0},  // off .. auto; off shows the first
        {{0, 2, 2, 0, 2, 2, 0, 0}, {60}, 0},      // steps 0, 2
        {{0, 0, 1, 0, 2, 0, 0, 0}, {}, 0},        // off only
        {{1, 2, 0, 1, 2, 1, 0, 0}, {50}, 0},      // a step of 0 still ends
        {{INT32_MIN, INT32_MAX, 1, 0, 2, 1, 0, 0}, {50, 60}, 0},
    };
    for (const auto& c : cases) {
        const FrequencyChoices choices = SettingsPowerLineChoices(c.record);
        EXPECT_EQ(choices.hertz, c.hertz) << c.record.min << ".." << c.record.max;
        EXPECT_EQ(choices.selected, c.selected) << c.record.min << ".." << c.record.max;
    }
}

TEST(FilesNames, AfterTheLastBackslashElseFromTheThirdCharacter) {
    EXPECT_EQ(DisplayedFileName(u"C:\\Users\\me\\20240101-101010-001.jpg"),
              u"20240101-101010-001.jpg");
    EXPECT_EQ(DisplayedFileName(u"C:\\显微 镜\\照片 一.jpg"), u"照片 一.jpg");
    EXPECT_EQ(DisplayedFileName(u"photo.jpg"), u"oto.jpg");
    EXPECT_EQ(DisplayedFileName(u"\\a.jpg"), u".jpg");  // the first character is not searched
    EXPECT_EQ(DisplayedFileName(u"C:\\dir\\"), u"");
    EXPECT_EQ(DisplayedFileName(u"ab"), u"");
    EXPECT_EQ(DisplayedFileName(u""), u"");
}

TEST(FilesNames, SortByCodeUnitsPrefixFirst) {
    std::vector<std::u16string> paths = {
        u"C:\\b\\x.jpg", u"C:\\a", u"C:\\B\\x.jpg", u"C:\\a\\2.jpg", u"C:\\a\\10.jpg",
        u"C:\\\uFF21.jpg", u"C:\\\U00020000.jpg",
    };
    SortLatestFiles(paths);
    EXPECT_EQ(paths, (std::vector<std::u16string>{
                         u"C:\\B\\x.jpg", u"C:\\a", u"C:\\a\\10.jpg", u"C:\\a\\2.jpg",
                         u"C:\\b\\x.jpg",
                         // A surrogate pair (D840 DC00) before U+FF21: code units, not points.
                         u"C:\\\U00020000.jpg", u"C:\\\uFF21.jpg"}));
}

TEST(ViewerZoom, StepsOfTheTableAndEverythingElseUnscaled) {
    const int zooms[] = {15, 25, 50, 75, 100, 125, 150, 175, 200, 60, 0};
    const int widths[] = {96, 160, 320, 480, 640, 800, 960, 1120, 1280, 640, 640};
    for (size_t i = 0; i < std::size(zooms); ++i)
        EXPECT_EQ(ViewerScaledExtent(640, zooms[i]), widths[i]) << zooms[i];
    EXPECT_EQ(ViewerScaledExtent(7, 15), 1);  // 1.05 truncated
    EXPECT_EQ(ViewerScaledExtent(481, 25), 120);
}

TEST(ViewerOffsets, ClampedToTheHiddenPartAndCentredOnLoad) {
    EXPECT_EQ(ViewerClampedOffset(220, 640, 200), 220);
    EXPECT_EQ(ViewerClampedOffset(500, 640, 200), 440);
    EXPECT_EQ(ViewerClampedOffset(30, 160, 200), 0);  // fits: no offset
    EXPECT_EQ(ViewerClampedOffset(1, 201, 200), 1);
    EXPECT_EQ(ViewerClampedOffset(-5, 640, 200), 0);
    EXPECT_EQ(ViewerCentredOffset(0, 640, 200), 220);
    EXPECT_EQ(ViewerCentredOffset(0, 160, 200), 0);
}

TEST(ViewerFiles, VideosShowTheirPhotoAndHostileSizesAreRefused) {
    bool video = false;
    EXPECT_EQ(ViewerPathOf(u"C:\\v\\clip.AVI", &video), u"C:\\v\\clip.jpg");
    EXPECT_TRUE(video);
    EXPECT_EQ(ViewerPathOf(u"C:\\v\\clip.aVi", &video), u"C:\\v\\clip.jpg");
    EXPECT_TRUE(video);
    EXPECT_EQ(ViewerPathOf(u"C:\\v\\clip.png", &video), u"C:\\v\\clip.png");
    EXPECT_FALSE(video);
    EXPECT_EQ(ViewerPathOf(u"C:\\v\\avi.jpg", &video), u"C:\\v\\avi.jpg");
    EXPECT_FALSE(video);
    // A path that does not fit is refused, not cut to one that may name another file.
    const std::u16string fits =
        u"C:\\" + std::u16string(kViewerMaxPathChars - 7, u'p') + u".avi";
    EXPECT_EQ(ViewerPathOf(fits, &video).size(), kViewerMaxPathChars);
    EXPECT_TRUE(video);
    EXPECT_EQ(ViewerPathOf(u"C:\\p" + fits.substr(3), &video), u"");
    EXPECT_FALSE(video);
    EXPECT_EQ(ViewerPathOf(u"a.b", &video), u"");

    EXPECT_TRUE(ViewerAcceptsImageSize(1920, 1080));
    EXPECT_TRUE(ViewerAcceptsImageSize(16384, 4096));
    EXPECT_FALSE(ViewerAcceptsImageSize(16385, 1));
    EXPECT_FALSE(ViewerAcceptsImageSize(10000, 10000));
    EXPECT_FALSE(ViewerAcceptsImageSize(0, 480));
    EXPECT_FALSE(ViewerAcceptsImageSize(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ(ViewerStride(1), 4u);
    EXPECT_EQ(ViewerStride(2), 8u);
    EXPECT_EQ(ViewerStride(640), 1920u);
}

}  // namespace
