// The synthetic microscope picture: a stage micrometer with ticks at a known pixel spacing,
// textured cells and fibres, slow drift and sensor noise, shaped by the camera's settings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Picture controls as a sensor applies them; each in the camera's own range, with the
// neutral value meaning "unchanged".
struct SceneControls {
    int brightness = 0;    // -64..64, neutral 0: adds to luma
    int contrast = 32;     // 0..95, neutral 32: scales around mid-gray
    int saturation = 64;   // 0..128, neutral 64: scales chroma
    int sharpness = 3;     // 0..7, neutral 3: below blurs, above sharpens
    int gain = 0;          // 0..100, neutral 0: amplifies signal and noise
};

// Distance in pixels between neighbouring 0.01 mm ticks of the stage micrometer at this
// frame width (the scene is scaled with the width, so the spacing is exact per resolution).
double MicrometerTickSpacing(int width);

// Renders frame number `frame` (30 per second of drift) as packed top-down BGR24.
void RenderSceneBgr(int width, int height, uint32_t frame, const SceneControls& controls,
                    uint8_t* bgr);

// Packs BGR24 as YUY2 (Y0 U Y1 V, BT.601 full range, chroma averaged over each pair).
void BgrToYuy2(const uint8_t* bgr, int width, int height, uint8_t* yuy2);

// Encodes BGR24 as a 4:2:2 JPEG, as webcams send MJPG; empty on failure.
std::vector<uint8_t> EncodeMjpg(const uint8_t* bgr, int width, int height, int quality);
