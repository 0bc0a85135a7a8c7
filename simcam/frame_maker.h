// Produces the bytes of one sample the simulated camera sends: the scene, the colour-bar
// test frame, or a damaged sample in bad mode. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "simcam/camera_config.h"

// Which sample of the bad-mode cycle a sequence number gets.
enum class SampleDamage { None, WrongSize, Truncated, Corrupt, Short };
SampleDamage DamageFor(const SimFormat& format, SimMode mode, uint64_t sequence);

class FrameMaker {
public:
    // Writes the sample into `out` and returns its length, 0 when nothing fits.
    // `sceneFrame` drives the scene's drift; `sequence` counts this stream's samples.
    // With `refresh` false a picture made before for the same format, mode and controls
    // is sent again instead of rendering anew (keeps the frame rate on a slow machine).
    size_t Make(const SimFormat& format, SimMode mode, const SceneControls& controls,
                uint32_t sceneFrame, uint64_t sequence, bool refresh, uint8_t* out,
                size_t capacity);

private:
    bool MakeGood(const SimFormat& format, SimMode mode, const SceneControls& controls,
                  uint32_t sceneFrame);
    void RenderBgr(const SimFormat& format, SimMode mode, const SceneControls& controls,
                   uint32_t sceneFrame);
    std::vector<uint8_t> EncodeFitting(const uint8_t* bgr, int width, int height,
                                       size_t capacity) const;

    std::vector<uint8_t> bgr_;   // last rendered picture
    std::vector<uint8_t> good_;  // last good sample made from it
    bool haveGood_ = false;
    SimFormat goodFormat_;
    SimMode goodMode_ = SimMode::Live;
    SceneControls goodControls_;
    size_t capacity_ = 0;
};
