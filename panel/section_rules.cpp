#include "panel/section_rules.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

std::u16string WidenAscii(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c != '\0'; ++c) wide.push_back(static_cast<char16_t>(*c));
    return wide;
}

int32_t ClampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

constexpr unsigned Bit(PreviewSwitch which) { return 1u << which; }

constexpr int32_t PreviewFlags::*kSwitchFields[kPreviewSwitchCount] = {
    &PreviewFlags::flipHorizontal, &PreviewFlags::flipVertical, &PreviewFlags::gray,
    &PreviewFlags::binary,         &PreviewFlags::invert,       &PreviewFlags::emboss};

bool IsFilter(PreviewSwitch which) { return which >= kSwitchGray; }

}  // namespace

std::vector<std::u16string> FormatListEntries(const FormatMap& mjpg, const FormatMap& yuy2) {
    std::vector<std::u16string> entries;
    if (!mjpg.empty()) entries.push_back(u"MJPG");
    if (!yuy2.empty()) entries.push_back(u"YUY2");
    return entries;
}

int FormatListSelection(const MediaSubtype& open, const FormatMap& mjpg) {
    if (SameSubtype(open, kSubtypeMjpg)) return 0;
    return mjpg.empty() ? 0 : 1;
}

std::optional<MediaSubtype> SubtypeOfFormatChoice(int selection, const FormatMap& mjpg,
                                                  const FormatMap& yuy2) {
    if (!mjpg.empty() && !yuy2.empty()) {
        if (selection == 0) return kSubtypeMjpg;
        if (selection == 1) return kSubtypeYuy2;
        return std::nullopt;
    }
    if (!mjpg.empty()) return kSubtypeMjpg;
    if (!yuy2.empty()) return kSubtypeYuy2;
    return std::nullopt;
}

const FormatMap& MapOfSubtype(const MediaSubtype& subtype, const FormatMap& mjpg,
                              const FormatMap& yuy2) {
    return SameSubtype(subtype, kSubtypeMjpg) ? mjpg : yuy2;
}

std::vector<std::u16string> ResolutionListEntries(const FormatMap& map) {
    std::vector<std::u16string> entries;
    for (const auto& [pixels, entry] : map) {
        char text[32];
        std::snprintf(text, sizeof text, "%dx%d", static_cast<int>(entry.width),
                      static_cast<int>(entry.height));
        entries.push_back(WidenAscii(text));
    }
    return entries;
}

int ResolutionListSelection(const FormatMap& map, int pictureWidth, int pictureHeight) {
    int index = 0;
    for (const auto& [pixels, entry] : map) {
        if (entry.width == pictureWidth && entry.height == pictureHeight) return index;
        ++index;
    }
    return 0;
}

std::optional<RequestedFormat> ResolutionChoice(const FormatMap& map, int selection,
                                                int pictureWidth, int pictureHeight) {
    if (selection < 0 || static_cast<size_t>(selection) >= map.size()) return std::nullopt;
    const FormatEntry& entry = std::next(map.begin(), selection)->second;
    if (entry.width == pictureWidth && entry.height == pictureHeight) return std::nullopt;
    return RequestedFormat{entry.subtype, entry.width, entry.height, entry.interpolated};
}

bool SwitchOn(const PreviewFlags& flags, PreviewSwitch which) {
    return flags.*kSwitchFields[which] != 0;
}

unsigned ToggleSwitch(PreviewFlags& flags, PreviewSwitch which) {
    int32_t& field = flags.*kSwitchFields[which];
    field = field != 0 ? 0 : 1;
    unsigned redraw = Bit(which);
    if (!IsFilter(which) || field == 0) return redraw;
    for (int other = kSwitchGray; other < kPreviewSwitchCount; ++other) {
        if (other == which) continue;
        flags.*kSwitchFields[other] = 0;
        redraw |= Bit(static_cast<PreviewSwitch>(other));
    }
    return redraw;
}

int SliderPosition(int code, int thumb, int currentPosition) {
    constexpr int kThumbPosition = 4, kThumbTrack = 5;  // TB_THUMBPOSITION, TB_THUMBTRACK
    return code == kThumbPosition || code == kThumbTrack ? thumb : currentPosition;
}

std::u16string RatioLabel(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    return WidenAscii(text);
}

ValueSlider ValueSliderOf(int32_t min, int32_t max, int32_t value) {
    ValueSlider slider;
    slider.span = std::max(ClampToInt32(static_cast<int64_t>(max) - min), 0);
    slider.position = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(value) - min, 0, slider.span));
    return slider;
}

int32_t ValueAtSliderPosition(int32_t min, int32_t position) {
    return ClampToInt32(static_cast<int64_t>(min) + position);
}

PropertyRow PropertyRowOf(const CameraProperty& record) {
    const ValueSlider slider = ValueSliderOf(record.min, record.max, record.value);
    return {record.flags >= kPropertyFlagManual, slider.span, slider.position};
}

int32_t PropertyValueAt(const CameraProperty& record, int32_t position) {
    return ValueAtSliderPosition(record.min, position);
}

FrequencyChoices PowerLineChoices(const CameraProperty& record) {
    constexpr int32_t kFiftyHertzValue = 1, kSixtyHertzValue = 2;
    FrequencyChoices choices{{}, 0};
    if (record.min == 0 || record.max == 0 || record.min > record.max) return choices;
    for (int64_t v = record.min; v <= record.max; v += record.step) {
        if (v != kFiftyHertzValue && v != kSixtyHertzValue) break;
        if (v == record.value) choices.selected = static_cast<int>(choices.hertz.size());
        choices.hertz.push_back(v == kFiftyHertzValue ? 50 : 60);
        // A step of 0 or less would never leave the range.
        if (record.step <= 0) break;
    }
    return choices;
}

std::u16string FrequencyLabel(int32_t hertz) {
    char text[16];
    std::snprintf(text, sizeof text, "%d Hz", static_cast<int>(hertz));
    return WidenAscii(text);
}

std::u16string_view DisplayedFileName(std::u16string_view path) {
    for (size_t i = path.size(); i-- > 1;) {
        if (path[i] == u'\\') return path.substr(i + 1);
    }
    return path.size() > 2 ? path.substr(2) : std::u16string_view();
}

void SortLatestFiles(std::vector<std::u16string>& paths) { std::sort(paths.begin(), paths.end()); }
