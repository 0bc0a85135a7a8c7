#include "mjpg_decode.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <climits>
#include <new>
#include <utility>

// The library's own error manager tells the two kinds apart: a warning (extraneous bytes, a
// premature end that it fills in) comes through emit_message and decoding goes on; a fatal
// error comes through error_exit and nothing after it is written. TurboJPEG's one error code
// keeps the warning flag of a call even when a fatal error followed it, so it cannot.

namespace {

constexpr size_t kAlign = 64;     // the library's SIMD code wants 32
constexpr size_t kRowAlign = 128;  // the library pads sample rows to 64; its SIMD reads that far
constexpr size_t kFirstBlock = size_t{256} << 10;
constexpr int kMostBlocks = 16;    // doubling from 256 KB: far beyond any picture's needs
constexpr size_t kMostBytes = 1000000000;  // the library's own limit for one request

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

// The memory of one picture: handed out in order, taken back all at once when the library
// frees its picture pool. Blocks are kept, so the same sequence of requests for the next
// picture of the same size is served without the heap.
class PictureArena {
public:
    void* Take(size_t bytes) {
        bytes = RoundUp(bytes, kAlign);
        for (; current_ < kMostBlocks; ++current_, used_ = 0) {
            if (!blocks_[current_] && !Grow(bytes)) return nullptr;
            uint8_t* start = Start(current_);
            const size_t usable = sizes_[current_] - static_cast<size_t>(start - blocks_[current_].get());
            if (used_ + bytes <= usable) {
                void* taken = start + used_;
                used_ += bytes;
                return taken;
            }
        }
        return nullptr;
    }
    void Rewind() {
        current_ = 0;
        used_ = 0;
    }

private:
    bool Grow(size_t bytes) {
        const size_t previous = current_ > 0 ? sizes_[current_ - 1] : kFirstBlock / 2;
        const size_t size = std::max(previous * 2, bytes + kAlign);
        blocks_[current_].reset(new (std::nothrow) uint8_t[size]);
        sizes_[current_] = blocks_[current_] ? size : 0;
        return static_cast<bool>(blocks_[current_]);
    }
    uint8_t* Start(int block) const {
        const auto at = reinterpret_cast<uintptr_t>(blocks_[block].get());
        return blocks_[block].get() + (RoundUp(at, kAlign) - at);
    }

    std::unique_ptr<uint8_t[]> blocks_[kMostBlocks];
    size_t sizes_[kMostBlocks] = {};
    int current_ = 0;
    size_t used_ = 0;
};

struct DecodeErrors {
    jpeg_error_mgr library;  // first: the library sees a jpeg_error_mgr*
    std::jmp_buf fatal;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<DecodeErrors*>(info->err)->fatal, 1);
}

// Messages go nowhere: a corrupt sample is ordinary for a camera and the caller decides.
void OnMessage(j_common_ptr, int) {}

}  // namespace

struct MjpgDecoder::State {
    jpeg_decompress_struct info = {};
    DecodeErrors errors = {};
    bool created = false;
    PictureArena arena;
    jpeg_memory_mgr library = {};  // the library's own allocator, kept for its lasting pool
    // Tables of earlier samples, taken out of use before each sample and handed back when
    // the library asks its lasting pool for a table: no sample decodes with another's tables,
    // and the pool does not grow by a table per sample.
    void* spareQuantTables[NUM_QUANT_TBLS] = {};
    int spareQuant = 0;
    void* spareHuffmanTables[2 * NUM_HUFF_TBLS] = {};
    int spareHuffman = 0;

    State() {
        info.err = jpeg_std_error(&errors.library);
        errors.library.error_exit = OnFatalError;
        errors.library.emit_message = OnMessage;
        info.client_data = this;
    }
};

namespace {

MjpgDecoder::State& StateOf(j_common_ptr info) {
    return *static_cast<MjpgDecoder::State*>(info->client_data);
}

// These run inside library calls, below Decode's setjmp: nothing here has a destructor.
void* TakeForPicture(j_common_ptr info, size_t bytes) {
    void* taken = bytes <= kMostBytes ? StateOf(info).arena.Take(bytes) : nullptr;
    if (taken == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    return taken;
}

void* AllocSmall(j_common_ptr info, int pool, size_t bytes) {
    MjpgDecoder::State& s = StateOf(info);
    if (pool == JPOOL_IMAGE) return TakeForPicture(info, bytes);
    if (bytes == sizeof(JQUANT_TBL) && s.spareQuant > 0) return s.spareQuantTables[--s.spareQuant];
    if (bytes == sizeof(JHUFF_TBL) && s.spareHuffman > 0)
        return s.spareHuffmanTables[--s.spareHuffman];
    return s.library.alloc_small(info, pool, bytes);
}

// What a fresh decompressor starts with: no table defined, so a sample without Huffman
// tables gets the standard ones and one without quantisation tables is refused.
void ForgetTables(MjpgDecoder::State& s) {
    for (JQUANT_TBL*& table : s.info.quant_tbl_ptrs) {
        if (table != nullptr) s.spareQuantTables[s.spareQuant++] = std::exchange(table, nullptr);
    }
    for (JHUFF_TBL** tables : {s.info.dc_huff_tbl_ptrs, s.info.ac_huff_tbl_ptrs}) {
        for (int i = 0; i < NUM_HUFF_TBLS; ++i) {
            if (tables[i] != nullptr)
                s.spareHuffmanTables[s.spareHuffman++] = std::exchange(tables[i], nullptr);
        }
    }
}

void* AllocLarge(j_common_ptr info, int pool, size_t bytes) {
    if (pool != JPOOL_IMAGE) return StateOf(info).library.alloc_large(info, pool, bytes);
    return TakeForPicture(info, bytes);
}

// Row pointers and rows; each row starts aligned and is padded as the library's own are.
template <typename Row>
Row* TakeRows(j_common_ptr info, size_t rowBytes, JDIMENSION rows) {
    if (rows == 0 || rowBytes > kMostBytes / rows) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
    auto* table = static_cast<Row*>(TakeForPicture(info, rows * sizeof(Row)));
    auto* data = static_cast<uint8_t*>(TakeForPicture(info, rowBytes * rows));
    for (JDIMENSION r = 0; r < rows; ++r) table[r] = reinterpret_cast<Row>(data + rowBytes * r);
    return table;
}

JSAMPARRAY AllocSampleRows(j_common_ptr info, int pool, JDIMENSION samples, JDIMENSION rows) {
    if (pool != JPOOL_IMAGE) return StateOf(info).library.alloc_sarray(info, pool, samples, rows);
    return TakeRows<JSAMPROW>(info, RoundUp(size_t{samples} * sizeof(JSAMPLE), kRowAlign), rows);
}

JBLOCKARRAY AllocBlockRows(j_common_ptr info, int pool, JDIMENSION blocks, JDIMENSION rows) {
    if (pool != JPOOL_IMAGE) return StateOf(info).library.alloc_barray(info, pool, blocks, rows);
    return TakeRows<JBLOCKROW>(info, RoundUp(size_t{blocks} * sizeof(JBLOCK), kAlign), rows);
}

// The library's own free_pool still runs: it drops what it made itself for the picture
// (the arrays of a multi-scan picture, which stay with its allocator).
void FreePool(j_common_ptr info, int pool) {
    if (pool == JPOOL_IMAGE) StateOf(info).arena.Rewind();
    StateOf(info).library.free_pool(info, pool);
}

void UsePictureArena(MjpgDecoder::State& s) {
    jpeg_memory_mgr& mem = *s.info.mem;
    s.library = mem;
    mem.alloc_small = AllocSmall;
    mem.alloc_large = AllocLarge;
    mem.alloc_sarray = AllocSampleRows;
    mem.alloc_barray = AllocBlockRows;
    mem.free_pool = FreePool;
}

// Everything between setjmp and the last library call: no object with a destructor may live
// here, since a fatal error jumps over this frame.
MjpgResult DecodeWith(MjpgDecoder::State& s, const uint8_t* sample, size_t length, int width,
                  int height, uint8_t* dst) {
    jpeg_decompress_struct& info = s.info;
    if (setjmp(s.errors.fatal) != 0) return MjpgResult::Corrupt;
    if (!s.created) {
        jpeg_create_decompress(&info);  // keeps err and client_data
        s.created = true;
        UsePictureArena(s);
    }
    ForgetTables(s);
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

MjpgDecoder::MjpgDecoder() : state_(new State) {}

MjpgDecoder::~MjpgDecoder() {
    if (state_->created) jpeg_destroy_decompress(&state_->info);
}

MjpgResult MjpgDecoder::Decode(const uint8_t* sample, size_t length, int width, int height,
                               uint8_t* dst) {
    if (sample == nullptr || dst == nullptr || length == 0 || length > ULONG_MAX || width <= 0 ||
        height <= 0) {
        return MjpgResult::Corrupt;
    }
    const MjpgResult result = DecodeWith(*state_, sample, length, width, height, dst);
    // Back to the start for the next sample, whatever this one ended in.
    if (state_->created) jpeg_abort_decompress(&state_->info);
    return result;
}

MjpgResult DecodeMjpgFrame(const uint8_t* sample, size_t length, int width, int height,
                           uint8_t* dst) {
    MjpgDecoder decoder;
    return decoder.Decode(sample, length, width, height, dst);
}
