// The bytes the simulated camera sends: the scene, the colour-bar test frame, or a damaged
// sample in bad mode. Rendering a picture is slow and done ahead; cutting a sample from it
// is a copy. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "simcam/camera_config.h"

// A rendered picture and what it was rendered for.
struct Picture {
    SimFormat format;
    SimMode mode = SimMode::Live;
    SceneControls controls;
    std::vector<uint8_t> good;      // the sample as normally sent
    std::vector<uint8_t> halfSize;  // bad mode, MJPG only: the picture encoded at half size
};

bool SameControls(const SceneControls& a, const SceneControls& b);

// Which sample of the bad-mode cycle a sequence number gets.
enum class SampleDamage { None, WrongSize, Truncated, Corrupt, Short };
SampleDamage DamageFor(const SimFormat& format, SimMode mode, uint64_t sequence);

class FrameMaker {
public:
    // Renders frame `sceneFrame` of the scene (or the colour bars) and packs it; false when
    // no sample of it fits `capacity` bytes.
    bool Render(const SimFormat& format, SimMode mode, const SceneControls& controls,
                uint32_t sceneFrame, size_t capacity, Picture* out);

private:
    std::vector<uint8_t> bgr_;
};

// Writes sample number `sequence` of the picture into `out`; returns its length, 0 when it
// does not fit.
size_t SampleFromPicture(const Picture& picture, uint64_t sequence, uint8_t* out, size_t capacity);
