// One MJPG sample into a packed top-down BGR24 frame through libjpeg-turbo.
#pragma once
#include <cstddef>
#include <cstdint>

enum class MjpgResult {
    Decoded,       // the frame holds the picture (warnings allowed: a truncated tail is filled)
    SizeMismatch,  // a JPEG of another size: nothing written
    Corrupt,       // unreadable header or a fatal decoding error: the frame may be partly written
};

// A decompressor is created and destroyed for every sample: a camera's samples arrive on
// one thread, but a handle kept across device changes would outlive its format.
MjpgResult DecodeMjpgFrame(const uint8_t* sample, size_t length, int width, int height,
                           uint8_t* dst);
