#include "mjpg_decode.h"

#include <turbojpeg.h>

#include <climits>

MjpgResult DecodeMjpgFrame(const uint8_t* sample, size_t length, int width, int height,
                           uint8_t* dst) {
    if (sample == nullptr || dst == nullptr || length == 0 || length > ULONG_MAX) {
        return MjpgResult::Corrupt;
    }
    tjhandle handle = tjInitDecompress();
    if (handle == nullptr) return MjpgResult::Corrupt;

    MjpgResult result = MjpgResult::Corrupt;
    int jpegWidth = 0, jpegHeight = 0, subsampling = 0, colorspace = 0;
    unsigned char* jpeg = const_cast<unsigned char*>(sample);
    const unsigned long jpegSize = static_cast<unsigned long>(length);
    if (tjDecompressHeader3(handle, jpeg, jpegSize, &jpegWidth, &jpegHeight, &subsampling,
                            &colorspace) == 0) {
        if (jpegWidth != width || jpegHeight != height) {
            result = MjpgResult::SizeMismatch;
        } else if (tjDecompress2(handle, jpeg, jpegSize, dst, jpegWidth, 3 * jpegWidth,
                                 jpegHeight, TJPF_BGR, 0) == 0 ||
                   tjGetErrorCode(handle) == TJERR_WARNING) {
            // A warning (such as a premature end of data) still leaves a whole frame.
            result = MjpgResult::Decoded;
        }
    }
    tjDestroy(handle);
    return result;
}
