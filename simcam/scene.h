// The synthetic microscope picture: a stage micrometer with ticks at a known pixel spacing,
// textured cells and fibres, slow drift and sensor noise, shaped by the camera's settings.
//
// The specimen is laid out in units of the frame width around the frame centre, so every
// resolution shows the same scene (a wider aspect ratio shows less of it above and below).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Picture controls as a sensor applies them; each in the camera's own range, with the
// neutral value meaning "unchanged". Values outside a range act as its nearest end.
struct SceneControls {
    int brightness = 0;   // -64..64, neutral 0: adds to luma
    int contrast = 32;    // 0..95, neutral 32: scales around mid-gray
    int saturation = 64;  // 0..128, neutral 64: scales chroma
    int sharpness = 3;    // 0..7, neutral 3: below blurs, above sharpens
    int gain = 0;         // 0..100, neutral 0: amplifies signal and noise
};

// Frames larger than this on either side are not rendered (the caches would not fit).
constexpr int kMaxSceneSide = 8192;

// Distance in pixels between neighbouring 0.01 mm ticks of the stage micrometer at this
// frame width (the scene is scaled with the width, so the spacing is exact per resolution):
// width / 64, i.e. 10 px at 640 wide and 30 px at 1920. 0 for a width <= 0.
double MicrometerTickSpacing(int width);

// Whole-pixel stage drift of frame `frame`: the picture content moves by (dx, dy).
// Periodic (8 s at 30 frames per second), zero at frame 0, a few pixels at most.
struct SceneShift {
    int dx = 0;
    int dy = 0;
};
SceneShift SceneDrift(int width, uint32_t frame);

// Where the stage micrometer lies in frame `frame`, in pixel units with pixel i centred at i.
// The scale is a horizontal line with ticks rising from it: tick k (0..divisions) is centred
// on column originX + k * spacing; every 5th is longer, every 10th longer still and numbered
// 0, 10, 20 ... above.
struct MicrometerPlacement {
    double originX = 0;    // column of tick 0
    double baselineY = 0;  // row through the middle of the line
    double spacing = 0;    // MicrometerTickSpacing(width)
    int divisions = 0;     // number of 0.01 mm divisions
    double lineHalfThickness = 0;
    double shortTickLength = 0;  // from the line's middle up to the tip of a plain tick
};
MicrometerPlacement PlaceMicrometer(int width, int height, uint32_t frame);

// Renders scene frames and keeps what does not change between them: the specimen for the
// last frame size (built on the first frame of a size, then only shifted, lit, noised and
// adjusted per frame). Not thread-safe: give each streaming thread its own renderer.
class SceneRenderer {
public:
    SceneRenderer();
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    // Writes width * height * 3 bytes of packed top-down BGR24. Returns false, writing
    // nothing, for a null buffer, a side outside 1..kMaxSceneSide, or when out of memory.
    bool Render(int width, int height, uint32_t frame, const SceneControls& controls, uint8_t* bgr);

private:
    struct Cache;
    std::unique_ptr<Cache> cache_;
};

// Renders frame number `frame` (30 per second of drift) as packed top-down BGR24 through a
// small pool of cached renderers: two threads or two frame sizes keep their caches; a third
// at the same moment gets a private renderer, which is correct but builds the specimen anew
// (about 150 ms at 1920 x 1080). Writes nothing where SceneRenderer::Render would refuse.
void RenderSceneBgr(int width, int height, uint32_t frame, const SceneControls& controls,
                    uint8_t* bgr);

// Packs BGR24 as YUY2 (Y0 U Y1 V, BT.601 full range, the inverse of the program's decoder),
// chroma averaged over each pair. Pixels are paired in one run over the whole frame, as the
// program's decoder reads a sample, so with an odd width a pair can span two rows. With an
// odd pixel count the last pixel pairs with itself and only its Y and U fit: exactly
// width * height * 2 bytes are written. Does nothing for a size <= 0 or a null pointer.
void BgrToYuy2(const uint8_t* bgr, int width, int height, uint8_t* yuy2);

// Encodes BGR24 as a 4:2:2 JPEG, as webcams send MJPG (quality clamped to 1..100); empty on
// failure or for a size <= 0.
std::vector<uint8_t> EncodeMjpg(const uint8_t* bgr, int width, int height, int quality);
