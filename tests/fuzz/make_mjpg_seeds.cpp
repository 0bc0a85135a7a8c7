// Writes seed inputs for mjpg_fuzz: the frame size as two little-endian 16-bit values, then
// an MJPG frame of the simulated microscope at that size — whole, and cut short.
#include <cstdio>
#include <string>
#include <vector>

#include "simcam/scene.h"

namespace {

bool WriteSeed(const std::string& path, int width, int height, const std::vector<uint8_t>& jpeg,
               size_t keep) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const uint8_t size[4] = {uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                             uint8_t(height >> 8)};
    const bool ok = std::fwrite(size, 1, 4, file) == 4 &&
                    std::fwrite(jpeg.data(), 1, keep, file) == keep;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_mjpg_seeds <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    struct Size { int width, height, quality; };
    for (const Size s : {Size{64, 48, 75}, Size{160, 120, 85}, Size{96, 72, 30}}) {
        std::vector<uint8_t> bgr(size_t(s.width) * s.height * 3);
        RenderSceneBgr(s.width, s.height, 7, SceneControls{}, bgr.data());
        const std::vector<uint8_t> jpeg = EncodeMjpg(bgr.data(), s.width, s.height, s.quality);
        if (jpeg.empty()) return 1;
        const std::string base = folder + "/scene-" + std::to_string(s.width);
        if (!WriteSeed(base + "-whole", s.width, s.height, jpeg, jpeg.size()) ||
            !WriteSeed(base + "-cut", s.width, s.height, jpeg, jpeg.size() * 2 / 3)) {
            return 1;
        }
    }
    return 0;
}
