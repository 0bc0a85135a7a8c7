#include "sample_processing.h"

#include "yuy2_convert.h"

FillResult FillFrameFromSample(MjpgDecoder& decoder, const MediaSubtype& subtype, int width,
                               int height, const uint8_t* sample, size_t length, uint8_t* frame) {
    if (SameSubtype(subtype, kSubtypeMjpg)) {
        return decoder.Decode(sample, length, width, height, frame) == MjpgResult::Decoded
                   ? FillResult::Filled
                   : FillResult::Unusable;
    }
    if (SameSubtype(subtype, kSubtypeYuy2)) {
        return ConvertYuy2Frame(sample, length, width, height, frame) ? FillResult::Filled
                                                                      : FillResult::Unusable;
    }
    return FillResult::UnknownSubtype;
}

FillResult FillFrameFromSample(const MediaSubtype& subtype, int width, int height,
                               const uint8_t* sample, size_t length, uint8_t* frame) {
    MjpgDecoder decoder;
    return FillFrameFromSample(decoder, subtype, width, height, sample, length, frame);
}
