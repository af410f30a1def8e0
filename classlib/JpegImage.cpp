#include "classlib/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

#include "classlib/Files.h"

namespace cls {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool readingRows;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    cinfo->err->format_message(cinfo, err->message);
    longjmp(err->jump, 1);
}

// Damaged or cut-off picture data only draws a warning from libjpeg, which
// then pads the picture with grey; the program wants that to fail like any
// other damage. Harmless oddities still pass: stray bytes between markers,
// and the end of the data while reading rows, because the row decoder reads
// ahead and so also meets it in a picture that lacks only its end marker;
// rows that really miss data raise the hit-marker warning.
void EmitMessage(j_common_ptr cinfo, int level) {
    const int code = cinfo->err->msg_code;
    if (level < 0 && (code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
                      (code == JWRN_JPEG_EOF && !reinterpret_cast<ErrorManager*>(cinfo->err)->readingRows)))
        ErrorExit(cinfo);
}

// Progressive pictures with thousands of tiny scans take ages to decode.
void ProgressMonitor(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > 500) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::strcpy(err->message, "too many scans");
        longjmp(err->jump, 1);
    }
}

struct DecodeResult {
    int fullWidth, fullHeight;
    bool grayscale;
    // The picture was too large at the scale asked for: it was decoded at
    // 1/8 to check its data, and its pixels are not wanted.
    bool checkedOnly;
};

// Where the decoder puts the pixels; returns null when it cannot allocate.
using AllocFn = uint32_t* (*)(void* ctx, int width, int height);

// Every libjpeg call lives in this one function and owns nothing with a
// destructor, so the longjmp of ErrorExit skips no C++ clean-up. Returns
// false with the message filled when the picture is unusable.
bool DecodeJpegC(const unsigned char* data, unsigned long size, int denom, AllocFn alloc, void* ctx,
                 DecodeResult* result, char* message) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    JSAMPROW volatile cmykRow = nullptr;
    std::memset(&cinfo, 0, sizeof cinfo);  // so a failure before creation destroys nothing
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.message[0] = 0;
    err.readingRows = false;
    if (setjmp(err.jump)) {
        std::strcpy(message, err.message);
        jpeg_destroy_decompress(&cinfo);
        std::free(cmykRow);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    progress.progress_monitor = ProgressMonitor;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, size);
    // Huge progressive pictures keep all their coefficients in memory; past
    // this libjpeg fails cleanly instead of exhausting the address space.
    cinfo.mem->max_memory_to_use = 256L * 1024 * 1024;
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // Photoshop writes CMYK inverted and says so in its Adobe marker.
    const bool inverted = cinfo.saw_Adobe_marker;
    result->fullWidth = int(cinfo.image_width);
    result->fullHeight = int(cinfo.image_height);
    result->grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    cinfo.scale_num = 1;
    cinfo.scale_denom = unsigned(denom);
    jpeg_calc_output_dimensions(&cinfo);
    // Large photos are fine when decoded small, so the output size counts;
    // one too large at this scale is still read through at 1/8, so damage
    // shows now and a smaller scale can be chosen later.
    result->checkedOnly = static_cast<long long>(cinfo.output_width) * cinfo.output_height > MaxGraphicPixels;
    if (result->checkedOnly) {
        cinfo.scale_denom = 8;
        jpeg_calc_output_dimensions(&cinfo);
    }
    if (static_cast<long long>(cinfo.output_width) * cinfo.output_height > MaxGraphicPixels) {
        std::strcpy(message, "Picture too large");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    err.readingRows = true;
    const int w = int(cinfo.output_width), h = int(cinfo.output_height);
    uint32_t* pixels = alloc(ctx, w, h);
    if (!pixels) {
        std::strcpy(message, "Not enough memory for the picture");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cmyk) {
        cmykRow = static_cast<JSAMPROW>(std::malloc(size_t(w) * 4));
        if (!cmykRow) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        uint32_t* out = pixels + size_t(cinfo.output_scanline) * w;
        JSAMPROW row = cmyk ? cmykRow : reinterpret_cast<JSAMPROW>(out);
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;  // finish_decompress then complains
        if (!cmyk) continue;
        for (int x = 0; x < w; ++x) {
            unsigned c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
            if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
            out[x] = MakeBGRA(uint8_t(c * k / 255), uint8_t(m * k / 255), uint8_t(y * k / 255));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::free(cmykRow);
    return true;
}

int Denominator(TJPEGScale scale) {
    switch (scale) {
    case TJPEGScale::Half: return 2;
    case TJPEGScale::Quarter: return 4;
    case TJPEGScale::Eighth: return 8;
    default: return 1;
    }
}

}  // namespace

void TJPEGImage::Decode(std::string_view data, TJPEGScale scale) {
    if (data.empty()) throw EInvalidGraphic("Invalid JPEG picture: empty file");
    TBitmap bmp;
    auto alloc = [](void* ctx, int w, int h) noexcept -> uint32_t* {
        auto* b = static_cast<TBitmap*>(ctx);
        try {
            b->SetSize(w, h);
        } catch (...) {
            return nullptr;
        }
        return b->ScanLine(0);
    };
    DecodeResult r{};
    char message[JMSG_LENGTH_MAX] = {};
    if (!DecodeJpegC(reinterpret_cast<const unsigned char*>(data.data()), static_cast<unsigned long>(data.size()),
                     Denominator(scale), alloc, &bmp, &r, message))
        throw EInvalidGraphic(std::string("Invalid JPEG picture: ") + message);
    if (r.checkedOnly) bmp = TBitmap();
    bitmap_ = std::move(bmp);
    fullWidth_ = r.fullWidth;
    fullHeight_ = r.fullHeight;
    grayscale_ = r.grayscale;
    scale_ = scale;
}

void TJPEGImage::LoadFromFile(const std::wstring& fileName) {
    std::string data;
    if (!ReadFileBytes(fileName, data)) throw EInvalidGraphic("Cannot read the picture file");
    Decode(data, scale_);
    data_ = std::move(data);
}

void TJPEGImage::LoadFromStream(std::string_view data) {
    Decode(data, scale_);
    data_.assign(data);
}

void TJPEGImage::SetScale(TJPEGScale scale) {
    if (scale == scale_) return;
    if (data_.empty())
        scale_ = scale;
    else
        Decode(data_, scale);
}

}  // namespace cls
