// Pictures made inside tests: JPEG files from libjpeg's own compressor, and
// a colour comparison that allows for lossy compression.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include <jpeglib.h>

namespace testing_support {

struct JpegSpec {
    int width, height;
    J_COLOR_SPACE space = JCS_RGB;  // JCS_RGB, JCS_GRAYSCALE or JCS_CMYK
    bool progressive = false;
};

// pixel(x, y) gives the components for the colour space, packed as bytes
// (0xRRGGBB, 0xGG, 0xCCMMYYKK).
std::string MakeJpeg(const JpegSpec& spec, const std::function<uint32_t(int x, int y)>& pixel);

// Left half red, right half blue, split on a block boundary.
std::string RedBlueJpeg(int width, int height, bool progressive = false);

// Each byte of the two 0xAARRGGBB words within tol of the other.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tol = 0);

}  // namespace testing_support
