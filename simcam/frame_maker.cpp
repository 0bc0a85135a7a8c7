#include "simcam/frame_maker.h"

#include <cstring>

#include "pipeline/color_bar.h"
#include "pipeline/mjpg_tables.h"

namespace {

constexpr int kJpegQuality = 85;
constexpr int kJpegFallbackQuality = 40;

// White, yellow, cyan, green, magenta, red, blue, black as BGR: the colour-bar frame's bands.
constexpr uint8_t kBarBgr[kColorBarBands][3] = {
    {255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
    {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0},
};

void FillColorBarBgr(int width, int height, uint8_t* bgr) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* c = kBarBgr[static_cast<int64_t>(y) * kColorBarBands / height];
        uint8_t* row = bgr + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) std::memcpy(row + x * 3, c, 3);
    }
}

// Every second pixel of every second row: the picture at half size.
std::vector<uint8_t> HalveBgr(const std::vector<uint8_t>& bgr, int width, int height) {
    const int w = width / 2, h = height / 2;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(&out[(static_cast<size_t>(y) * w + x) * 3],
                        &bgr[(static_cast<size_t>(y) * 2 * width + x * 2) * 3], 3);
    return out;
}

std::vector<uint8_t> EncodeFitting(const uint8_t* bgr, int width, int height, size_t capacity) {
    std::vector<uint8_t> jpeg = EncodeMjpg(bgr, width, height, kJpegQuality);
    if (jpeg.size() > capacity) jpeg = EncodeMjpg(bgr, width, height, kJpegFallbackQuality);
    if (jpeg.size() > capacity) jpeg.clear();
    return jpeg;
}

}  // namespace

bool SameControls(const SceneControls& a, const SceneControls& b) {
    return a.brightness == b.brightness && a.contrast == b.contrast &&
           a.saturation == b.saturation && a.sharpness == b.sharpness && a.gain == b.gain;
}

SampleDamage DamageFor(const SimFormat& format, SimMode mode, uint64_t sequence) {
    if (mode != SimMode::Bad) return SampleDamage::None;
    if (format.subtype == SimSubtype::Yuy2)
        return sequence % 2 == 1 ? SampleDamage::Short : SampleDamage::None;
    switch (sequence % 4) {
        case 1: return SampleDamage::WrongSize;
        case 2: return SampleDamage::Truncated;
        case 3: return SampleDamage::Corrupt;
        default: return SampleDamage::None;
    }
}

bool FrameMaker::Render(const SimFormat& format, SimMode mode, const SceneControls& controls,
                        uint32_t sceneFrame, size_t capacity, Picture* out) {
    out->format = format;
    out->mode = mode;
    out->controls = controls;
    out->halfSize.clear();
    if (mode == SimMode::ColorBar && format.subtype == SimSubtype::Yuy2 && format.width == 640 &&
        format.height == 480) {
        // The exact frame the program's colour-bar check knows.
        out->good.resize(kColorBarSampleLength);
        BuildColorBarFrame(out->good.data());
        return out->good.size() <= capacity;
    }
    bgr_.resize(static_cast<size_t>(format.width) * format.height * 3);
    if (mode == SimMode::ColorBar)
        FillColorBarBgr(format.width, format.height, bgr_.data());
    else
        RenderSceneBgr(format.width, format.height, sceneFrame, controls, bgr_.data());
    if (format.subtype == SimSubtype::Yuy2) {
        out->good.resize(static_cast<size_t>(format.width) * format.height * 2);
        BgrToYuy2(bgr_.data(), format.width, format.height, out->good.data());
        return out->good.size() <= capacity;
    }
    out->good = EncodeFitting(bgr_.data(), format.width, format.height, capacity);
    if (mode == SimMode::NoHuffman) RemoveHuffmanTables(&out->good);
    if (mode == SimMode::Bad)
        out->halfSize = EncodeFitting(HalveBgr(bgr_, format.width, format.height).data(),
                                      format.width / 2, format.height / 2, capacity);
    return !out->good.empty();
}

size_t SampleFromPicture(const Picture& picture, uint64_t sequence, uint8_t* out,
                         size_t capacity) {
    const std::vector<uint8_t>& good = picture.good;
    const uint8_t* from = good.data();
    size_t length = good.size();
    switch (DamageFor(picture.format, picture.mode, sequence)) {
        case SampleDamage::None:
            break;
        case SampleDamage::Short:
            length = good.size() / 2;
            break;
        case SampleDamage::Truncated:
            // Cut inside the entropy-coded data: no end-of-image marker.
            length = good.size() / 3;
            break;
        case SampleDamage::WrongSize:
            if (picture.halfSize.empty()) break;  // nothing smaller to send: a good one
            from = picture.halfSize.data();
            length = picture.halfSize.size();
            break;
        case SampleDamage::Corrupt:
            if (length > capacity) return 0;
            // Scrambles everything after the start-of-image marker, headers included.
            std::memcpy(out, from, length);
            for (size_t i = 2; i < length; ++i)
                out[i] = static_cast<uint8_t>(out[i] * 73 + i * 151 + 17);
            return length;
    }
    if (length == 0 || length > capacity) return 0;
    std::memcpy(out, from, length);
    return length;
}
