#include "mjpg_decode.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <climits>

// The library's own error manager tells the two kinds apart: a warning (extraneous bytes, a
// premature end that it fills in) comes through emit_message and decoding goes on; a fatal
// error comes through error_exit and nothing after it is written. TurboJPEG's one error code
// keeps the warning flag of a call even when a fatal error followed it, so it cannot.

namespace {

struct DecodeErrors {
    jpeg_error_mgr library;  // first: the library sees a jpeg_error_mgr*
    std::jmp_buf fatal;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->fatal, 1);
}

// Messages go nowhere: a corrupt sample is ordinary for a camera and the caller decides.
void OnMessage(j_common_ptr, int) {}

// Everything between setjmp and the last library call: no object with a destructor may live
// here, since a fatal error jumps over this frame.
MjpgResult Decode(jpeg_decompress_struct& info, DecodeErrors& errors, const uint8_t* sample,
                  size_t length, int width, int height, uint8_t* dst) {
    if (setjmp(errors.fatal) != 0) return MjpgResult::Corrupt;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, sample, static_cast<unsigned long>(length));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return MjpgResult::Corrupt;
    if (info.image_width != static_cast<JDIMENSION>(width) ||
        info.image_height != static_cast<JDIMENSION>(height)) {
        return MjpgResult::SizeMismatch;
    }
    info.out_color_space = JCS_EXT_BGR;
    if (!jpeg_start_decompress(&info) || info.output_width != static_cast<JDIMENSION>(width) ||
        info.output_height != static_cast<JDIMENSION>(height) || info.output_components != 3) {
        return MjpgResult::Corrupt;
    }
    const size_t stride = static_cast<size_t>(width) * 3;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = dst + stride * info.output_scanline;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) return MjpgResult::Corrupt;
    }
    jpeg_finish_decompress(&info);
    return MjpgResult::Decoded;
}

}  // namespace

MjpgResult DecodeMjpgFrame(const uint8_t* sample, size_t length, int width, int height,
                           uint8_t* dst) {
    if (sample == nullptr || dst == nullptr || length == 0 || length > ULONG_MAX || width <= 0 ||
        height <= 0) {
        return MjpgResult::Corrupt;
    }
    jpeg_decompress_struct info = {};
    DecodeErrors errors = {};
    info.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = OnFatalError;
    errors.library.emit_message = OnMessage;
    const MjpgResult result = Decode(info, errors, sample, length, width, height, dst);
    jpeg_destroy_decompress(&info);
    return result;
}
