// The portable half of turning a camera sample into a frame: everything but the locks,
// the clock and the window notices, which the grabber callbacks add around it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "media_subtype.h"
#include "mjpg_decode.h"

enum class FillResult {
    Filled,          // the frame holds this sample's picture
    Unusable,        // wrong size, truncated or corrupt: show the previous frame instead
    UnknownSubtype,  // neither MJPG nor YUY2: the sample is ignored
};

// Decodes MJPG (with `decoder`) or converts YUY2 into `frame` (width * height * 3 bytes).
FillResult FillFrameFromSample(MjpgDecoder& decoder, const MediaSubtype& subtype, int width,
                               int height, const uint8_t* sample, size_t length, uint8_t* frame);
// The same for a single sample, with a decoder of its own.
FillResult FillFrameFromSample(const MediaSubtype& subtype, int width, int height,
                               const uint8_t* sample, size_t length, uint8_t* frame);
