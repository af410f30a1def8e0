#include "tests/support/TestPictures.h"

#include <cstdlib>
#include <vector>

namespace testing_support {

std::string MakeJpeg(const JpegSpec& s, const std::function<uint32_t(int x, int y)>& pixel) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    const int comps = s.space == JCS_GRAYSCALE ? 1 : s.space == JCS_CMYK ? 4 : 3;
    c.image_width = s.width;
    c.image_height = s.height;
    c.input_components = comps;
    c.in_color_space = s.space;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    if (s.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(s.width) * comps);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < s.width; ++x) {
            uint32_t p = pixel(x, int(c.next_scanline));
            for (int k = 0; k < comps; ++k) row[size_t(x) * comps + k] = uint8_t(p >> (8 * (comps - 1 - k)));
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    std::string out(reinterpret_cast<char*>(buf), size);
    jpeg_destroy_compress(&c);
    std::free(buf);
    return out;
}

std::string RedBlueJpeg(int w, int h, bool progressive) {
    return MakeJpeg({w, h, JCS_RGB, progressive}, [w](int x, int) { return x < w / 2 ? 0xFF0000u : 0x0000FFu; });
}

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tol) {
    for (int s = 0; s < 32; s += 8)
        if (std::abs(int((actual >> s) & 255) - int((expected >> s) & 255)) > tol)
            return ::testing::AssertionFailure() << std::hex << actual << " is not " << expected;
    return ::testing::AssertionSuccess();
}

}  // namespace testing_support
