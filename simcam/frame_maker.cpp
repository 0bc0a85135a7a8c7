#include "simcam/frame_maker.h"

#include <algorithm>
#include <cstring>

#include "pipeline/color_bar.h"

namespace {

constexpr int kJpegQuality = 85;
constexpr int kJpegFallbackQuality = 40;

// White, yellow, cyan, green, magenta, red, blue, black as BGR: the colour-bar frame's bands.
constexpr uint8_t kBarBgr[kColorBarBands][3] = {
    {255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
    {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0},
};

bool SameControls(const SceneControls& a, const SceneControls& b) {
    return a.brightness == b.brightness && a.contrast == b.contrast &&
           a.saturation == b.saturation && a.sharpness == b.sharpness && a.gain == b.gain;
}

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

}  // namespace

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

void FrameMaker::RenderBgr(const SimFormat& format, SimMode mode, const SceneControls& controls,
                           uint32_t sceneFrame) {
    bgr_.resize(static_cast<size_t>(format.width) * format.height * 3);
    if (mode == SimMode::ColorBar)
        FillColorBarBgr(format.width, format.height, bgr_.data());
    else
        RenderSceneBgr(format.width, format.height, sceneFrame, controls, bgr_.data());
}

std::vector<uint8_t> FrameMaker::EncodeFitting(const uint8_t* bgr, int width, int height,
                                               size_t capacity) const {
    std::vector<uint8_t> jpeg = EncodeMjpg(bgr, width, height, kJpegQuality);
    if (jpeg.size() > capacity) jpeg = EncodeMjpg(bgr, width, height, kJpegFallbackQuality);
    if (jpeg.size() > capacity) jpeg.clear();
    return jpeg;
}

bool FrameMaker::MakeGood(const SimFormat& format, SimMode mode, const SceneControls& controls,
                          uint32_t sceneFrame) {
    haveGood_ = false;
    const size_t yuy2Bytes = static_cast<size_t>(format.width) * format.height * 2;
    if (mode == SimMode::ColorBar && format.subtype == SimSubtype::Yuy2 && format.width == 640 &&
        format.height == 480) {
        // The exact frame the program's colour-bar check knows.
        good_.resize(kColorBarSampleLength);
        BuildColorBarFrame(good_.data());
        bgr_.clear();
    } else {
        RenderBgr(format, mode, controls, sceneFrame);
        if (format.subtype == SimSubtype::Yuy2) {
            good_.resize(yuy2Bytes);
            BgrToYuy2(bgr_.data(), format.width, format.height, good_.data());
        } else {
            good_ = EncodeFitting(bgr_.data(), format.width, format.height, capacity_);
            if (good_.empty()) return false;
        }
    }
    haveGood_ = true;
    goodFormat_ = format;
    goodMode_ = mode;
    goodControls_ = controls;
    return true;
}

size_t FrameMaker::Make(const SimFormat& format, SimMode mode, const SceneControls& controls,
                        uint32_t sceneFrame, uint64_t sequence, bool refresh, uint8_t* out,
                        size_t capacity) {
    const bool reusable = haveGood_ && goodFormat_ == format && goodMode_ == mode &&
                          SameControls(goodControls_, controls) && capacity_ == capacity;
    capacity_ = capacity;
    if ((refresh || !reusable) && !MakeGood(format, mode, controls, sceneFrame)) return 0;

    std::vector<uint8_t> damaged;
    const std::vector<uint8_t>* sample = &good_;
    switch (DamageFor(format, mode, sequence)) {
        case SampleDamage::None:
            break;
        case SampleDamage::Short:
            damaged.assign(good_.begin(), good_.begin() + good_.size() / 2);
            sample = &damaged;
            break;
        case SampleDamage::Truncated:
            // Cut inside the entropy-coded data: no end-of-image marker.
            damaged.assign(good_.begin(), good_.begin() + good_.size() / 3);
            sample = &damaged;
            break;
        case SampleDamage::Corrupt:
            // Scramble everything after the start-of-image marker, headers included.
            damaged = good_;
            for (size_t i = 2; i < damaged.size(); ++i)
                damaged[i] = static_cast<uint8_t>(damaged[i] * 73 + i * 151 + 17);
            sample = &damaged;
            break;
        case SampleDamage::WrongSize:
            if (bgr_.empty()) RenderBgr(format, mode, controls, sceneFrame);
            damaged = EncodeFitting(HalveBgr(bgr_, format.width, format.height).data(),
                                    format.width / 2, format.height / 2, capacity);
            sample = &damaged;
            break;
    }
    if (sample->empty() || sample->size() > capacity) return 0;
    std::memcpy(out, sample->data(), sample->size());
    return sample->size();
}
