#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

#include "classlib/Bitmap.h"
#include "classlib/Files.h"
#include "classlib/GifImage.h"
#include "classlib/JpegImage.h"
#include "classlib/Picture.h"
#include "classlib/PngImage.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestPictures.h"

using namespace cls;
using testing_support::JpegSpec;
using testing_support::MakeJpeg;
using testing_support::Near;
using testing_support::RedBlueJpeg;
using testing_support::TempFolder;
using namespace std::string_literals;

namespace {

constexpr uint32_t Red = MakeBGRA(255, 0, 0), Green = MakeBGRA(0, 255, 0), Blue = MakeBGRA(0, 0, 255);

// --- PNG files assembled chunk by chunk ---------------------------------

std::string Chunk(const char* type, const std::string& body) {
    std::string c;
    for (int s = 24; s >= 0; s -= 8) c += char(body.size() >> s);
    c += std::string(type, 4) + body;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(c.size() - 4));
    for (int s = 24; s >= 0; s -= 8) c += char(crc >> s);
    return c;
}

std::string Zip(const std::string& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    out.resize(n);
    return out;
}

// raw: the scan lines with their filter bytes, before compression.
std::string MakePng(int w, int h, int depth, int colorType, const std::string& raw, const std::string& extra = "",
                    bool interlaced = false) {
    std::string ihdr = {0, 0, 0, char(w), 0, 0, 0, char(h), char(depth), char(colorType), 0, 0, char(interlaced)};
    return std::string("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", ihdr) + extra + Chunk("IDAT", Zip(raw)) +
           Chunk("IEND", "");
}

// --- GIF files assembled block by block ---------------------------------

// Codes packed least significant bit first, as GIF stores them.
struct BitWriter {
    std::string bytes;
    uint32_t acc = 0;
    int n = 0;
    void Put(int code, int size) {
        acc |= uint32_t(code) << n;
        for (n += size; n >= 8; n -= 8, acc >>= 8) bytes += char(acc & 255);
    }
    std::string Done() { return n ? bytes + char(acc) : bytes; }
};

// A clear code before every pixel keeps the code size fixed: the simplest
// valid LZW stream, easy to check by hand.
std::string LzwPlain(const std::vector<int>& pixels, int minSize) {
    BitWriter w;
    for (int p : pixels) w.Put(1 << minSize, minSize + 1), w.Put(p, minSize + 1);
    w.Put((1 << minSize) + 1, minSize + 1);
    return w.Done();
}

// A real LZW encoder, so the decoder's dictionary and code growth are
// exercised.
std::string LzwPack(const std::vector<uint8_t>& pixels, int minSize) {
    const int clear = 1 << minSize;
    BitWriter w;
    std::vector<std::vector<int>> table;  // table[code][colour] = next code, or -1
    int size = 0, next = 0;
    auto reset = [&] {
        table.assign(4096, std::vector<int>(clear, -1));
        size = minSize + 1;
        next = clear + 2;
    };
    reset();
    w.Put(clear, size);
    int cur = -1;
    for (uint8_t p : pixels) {
        if (cur < 0) {
            cur = p;
        } else if (table[cur][p] >= 0) {
            cur = table[cur][p];
        } else {
            w.Put(cur, size);
            if (next < 4096) {
                table[cur][p] = next;
                if (next++ == (1 << size) && size < 12) ++size;
            } else {
                w.Put(clear, size);
                reset();
            }
            cur = p;
        }
    }
    if (cur >= 0) w.Put(cur, size);
    w.Put(clear + 1, size);
    return w.Done();
}

std::string SubBlocks(const std::string& data) {
    std::string out;
    for (size_t i = 0; i < data.size(); i += 255) {
        std::string part = data.substr(i, 255);
        out += char(part.size()) + part;
    }
    return out + '\0';
}

std::string U16(int v) { return {char(v & 255), char(v >> 8)}; }

// Palette of 4: black, red, green, blue.
std::string GifHeader(int w, int h) {
    return "GIF89a" + U16(w) + U16(h) + "\x81\0\0"s + std::string("\0\0\0\xFF\0\0\0\xFF\0\0\0\xFF", 12);
}
std::string Gce(int disposal, int delayCs, int transparent = -1) {
    return "\x21\xF9\x04"s + char(disposal << 2 | (transparent >= 0)) + U16(delayCs) + char(std::max(transparent, 0)) +
           '\0';
}
std::string Image(int x, int y, int w, int h, const std::vector<int>& pixels, bool interlaced = false) {
    return "\x2C" + U16(x) + U16(y) + U16(w) + U16(h) + char(interlaced ? 0x40 : 0) + '\x02' +
           SubBlocks(LzwPlain(pixels, 2));
}

std::vector<uint32_t> Pixels(const TBitmap& b) {
    return b.Empty() ? std::vector<uint32_t>() : std::vector<uint32_t>(b.ScanLine(0), b.ScanLine(0) + b.Width() * b.Height());
}

TBitmap RandomBitmap(int w, int h, unsigned seed, bool alpha) {
    std::mt19937 rng(seed);
    TBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)  // smooth areas and noise, so every row filter wins somewhere
            b.SetPixel(x, y, (y % 3 ? MakeBGRA(uint8_t(x * 7), uint8_t(y * 5), uint8_t(x + y)) : rng()) |
                                 (alpha ? 0 : 0xFF000000u));
    b.SetHasAlpha(alpha);
    return b;
}

LRESULT CALLBACK RedWindowProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {  // painted only here, as the program's windows do
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        HBRUSH b = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &r, b);
        DeleteObject(b);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

}  // namespace

// ---------------------------------------------------------------- JPEG

TEST(JpegImage, DecodesSizeAndColours) {
    TJPEGImage j;
    j.LoadFromStream(RedBlueJpeg(64, 24));
    ASSERT_EQ(j.Width(), 64);
    ASSERT_EQ(j.Height(), 24);
    EXPECT_FALSE(j.Grayscale());
    EXPECT_FALSE(j.Transparent());
    EXPECT_TRUE(Near(j.Bitmap().Pixel(8, 12), Red, 12));
    EXPECT_TRUE(Near(j.Bitmap().Pixel(56, 12), Blue, 12));
}

TEST(JpegImage, EachScaleRoundsTheSizeUp) {
    struct Case {
        TJPEGScale scale;
        int w, h;
    } cases[] = {{TJPEGScale::Full, 100, 75}, {TJPEGScale::Half, 50, 38},
                 {TJPEGScale::Quarter, 25, 19}, {TJPEGScale::Eighth, 13, 10}};
    for (bool progressive : {false, true}) {
        TJPEGImage j;
        j.LoadFromStream(RedBlueJpeg(100, 75, progressive));
        for (const auto& c : cases) {
            j.SetScale(c.scale);
            EXPECT_EQ(j.Scale(), c.scale);
            EXPECT_EQ(j.Width(), c.w) << int(c.scale);
            EXPECT_EQ(j.Height(), c.h) << int(c.scale);
            EXPECT_EQ(j.FullWidth(), 100);
            EXPECT_EQ(j.FullHeight(), 75);
            EXPECT_TRUE(Near(j.Bitmap().Pixel(1, c.h / 2), Red, 16)) << int(c.scale);
            EXPECT_TRUE(Near(j.Bitmap().Pixel(c.w - 2, c.h / 2), Blue, 16)) << int(c.scale);
        }
    }
    // A scale chosen before loading applies to the first decode.
    TJPEGImage q;
    q.SetScale(TJPEGScale::Quarter);
    q.LoadFromStream(RedBlueJpeg(100, 75));
    EXPECT_EQ(q.Width(), 25);
    TJPEGImage copy(q);
    EXPECT_EQ(copy.Data(), q.Data());
    EXPECT_EQ(copy.Width(), 25);
}

TEST(JpegImage, GrayscaleAndInvertedCmyk) {
    TJPEGImage g;
    g.LoadFromStream(MakeJpeg({16, 16, JCS_GRAYSCALE}, [](int, int) { return 128u; }));
    EXPECT_TRUE(g.Grayscale());
    EXPECT_TRUE(Near(g.Bitmap().Pixel(5, 5), MakeBGRA(128, 128, 128), 3));

    // libjpeg writes CMYK with an Adobe marker, which means inverted values
    // as Photoshop stores them: red is C=255 M=0 Y=0 K=255 here.
    TJPEGImage c;
    c.LoadFromStream(MakeJpeg({16, 16, JCS_CMYK}, [](int, int) { return 0xFF0000FFu; }));
    EXPECT_FALSE(c.Grayscale());
    EXPECT_TRUE(Near(c.Bitmap().Pixel(5, 5), Red, 12));
}

TEST(JpegImage, DamagedDataRaisesAndKeepsThePicture) {
    const std::string good = RedBlueJpeg(64, 48);
    std::string badHeader = good;
    for (size_t i = 2; i + 9 < badHeader.size(); ++i)  // SOF0: make the component count 0
        if (uint8_t(badHeader[i]) == 0xFF && uint8_t(badHeader[i + 1]) == 0xC0) {
            badHeader[i + 9] = 0;
            break;
        }
    // An end marker in the middle of the entropy data of a busy picture.
    std::string badData = MakeJpeg({64, 48}, [](int x, int y) { return uint32_t(x * 4) << 16 | (y * 5) << 8 | (x * y); });
    const size_t sos = badData.find("\xFF\xDA"), mid = (sos + badData.size()) / 2;
    badData[mid] = char(0xFF), badData[mid + 1] = char(0xD9);
    const std::string inputs[] = {"", "\xFF\xD8\xFF", "\xFF\xD8\xFF\xE0 not a jpeg at all", good.substr(0, good.size() / 2),
                                  good.substr(0, good.size() - 40), badHeader, badData};
    TJPEGImage j;
    j.LoadFromStream(RedBlueJpeg(8, 8));
    for (const auto& in : inputs) {
        EXPECT_THROW(j.LoadFromStream(in), EInvalidGraphic) << in.size();
        EXPECT_EQ(j.Width(), 8);
    }
    TempFolder tmp;
    EXPECT_THROW(j.LoadFromFile(tmp.Write(L"empty.jpg", "")), EInvalidGraphic);
    EXPECT_THROW(j.LoadFromFile(tmp.File(L"missing.jpg")), EInvalidGraphic);
    j.LoadFromFile(tmp.Write(L"good.jpg", good));
    EXPECT_EQ(j.Width(), 64);
    EXPECT_EQ(j.Data(), good);
    // Only the end marker missing: every pixel is there, as browsers agree.
    j.LoadFromStream(good.substr(0, good.size() - 2));
    EXPECT_TRUE(Near(j.Bitmap().Pixel(60, 40), Blue, 12));
}

// ---------------------------------------------------------------- PNG

TEST(PngImage, RoundTripsRgbaAndRgb) {
    for (bool alpha : {true, false}) {
        TBitmap src = RandomBitmap(33, 17, 7, alpha);
        TBitmap back = DecodePng(EncodePng(src, alpha));
        ASSERT_EQ(back.Width(), 33);
        ASSERT_EQ(back.Height(), 17);
        EXPECT_EQ(back.HasAlpha(), alpha);
        EXPECT_EQ(Pixels(back), Pixels(src));
    }
    // Saving an alpha bitmap without alpha drops it to opaque.
    TBitmap a(2, 1);
    a.SetPixel(0, 0, MakeBGRA(1, 2, 3, 0));
    EXPECT_EQ(DecodePng(EncodePng(a, false)).Pixel(0, 0), MakeBGRA(1, 2, 3));
    EXPECT_THROW(EncodePng(TBitmap(), true), EInvalidGraphic);

    TempFolder tmp;
    TPNGImage png(RandomBitmap(5, 4, 1, true));
    png.SaveToFile(tmp.File(L"a.png"));
    TPNGImage loaded;
    loaded.LoadFromFile(tmp.File(L"a.png"));
    EXPECT_EQ(Pixels(loaded.Bitmap()), Pixels(png.Bitmap()));
    EXPECT_TRUE(loaded.Transparent());
}

TEST(PngImage, DecodesColourTypesDepthsAndTransparency) {
    const std::string plte = Chunk("PLTE", "\xFF\0\0\0\xFF\0\0\0\xFF"s), trns = Chunk("tRNS", "\xFF\x80"s);
    struct Case {
        const char* what;
        int w, depth, type;
        std::string raw, extra;
        std::vector<uint32_t> expected;
        bool alpha;
    } cases[] = {
        {"palette 2-bit with tRNS, index past palette is black", 4, 2, 3, "\0\x1B"s, plte + trns,
         {MakeBGRA(255, 0, 0, 255), MakeBGRA(0, 255, 0, 0x80), MakeBGRA(0, 0, 255), MakeBGRA(0, 0, 0)}, true},
        {"gray 1-bit", 3, 1, 0, "\0\xA0"s, "", {MakeBGRA(255, 255, 255), MakeBGRA(0, 0, 0), MakeBGRA(255, 255, 255)}, false},
        {"gray 4-bit with colour key", 2, 4, 0, "\0\x5F"s, Chunk("tRNS", "\0\x0F"s),
         {MakeBGRA(85, 85, 85), MakeBGRA(255, 255, 255, 0)}, true},
        {"gray 16-bit", 1, 16, 0, "\0\x12\x34"s, "", {MakeBGRA(0x12, 0x12, 0x12)}, false},
        {"gray+alpha 8-bit", 1, 8, 4, "\0\x40\x80"s, "", {MakeBGRA(0x40, 0x40, 0x40, 0x80)}, true},
        {"rgb 16-bit with colour key", 2, 16, 2, "\0\x10\0\x20\0\x30\0\x10\0\x20\0\x30\x01"s,
         Chunk("tRNS", "\x10\0\x20\0\x30\0"s), {MakeBGRA(0x10, 0x20, 0x30, 0), MakeBGRA(0x10, 0x20, 0x30)}, true},
        {"rgba 8-bit, up filter on a single row", 1, 8, 6, "\x02\x01\x02\x03\x04"s, "", {MakeBGRA(1, 2, 3, 4)}, true},
    };
    for (const auto& c : cases) {
        TBitmap b = DecodePng(MakePng(c.w, 1, c.depth, c.type, c.raw, c.extra));
        EXPECT_EQ(Pixels(b), c.expected) << c.what;
        EXPECT_EQ(b.HasAlpha(), c.alpha) << c.what;
    }
}

TEST(PngImage, UndoesEveryRowFilter) {
    // 8-bit gray, 4 wide: none, Paeth (picking up, up-left, left, and up on
    // a tie with up-left), average, sub, up, and up wrapping past 255.
    const std::string raw = "\0\x28\x1E\x1E\x0A"s + "\x04\x0A\0\0\0"s + "\x03\x01\x02\x03\x04"s +
                            "\x01\x07\x01\x01\x01"s + "\x02\x01\x01\x01\x01"s + "\x02\xFA\0\0\0"s;
    const int expected[6][4] = {{40, 30, 30, 10}, {50, 40, 40, 10}, {26, 35, 40, 29},
                                {7, 8, 9, 10},    {8, 9, 10, 11},   {2, 9, 10, 11}};
    TBitmap b = DecodePng(MakePng(4, 6, 8, 0, raw));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 4; ++x) {
            uint8_t v = uint8_t(expected[y][x]);
            EXPECT_EQ(b.Pixel(x, y), MakeBGRA(v, v, v)) << x << "," << y;
        }
}

TEST(PngImage, DecodesAdam7Interlacing) {
    // 10 x 9 gray picture whose value is 10 * y + x, stored in the seven
    // interlace passes.
    const int w = 10, h = 9;
    const int pass[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::string raw;
    for (const auto& p : pass)
        for (int y = p[1]; y < h; y += p[3]) {
            if (p[0] >= w) break;
            raw += '\0';
            for (int x = p[0]; x < w; x += p[2]) raw += char(10 * y + x);
        }
    TBitmap b = DecodePng(MakePng(w, h, 8, 0, raw, "", true));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t v = uint8_t(10 * y + x);
            ASSERT_EQ(b.Pixel(x, y), MakeBGRA(v, v, v)) << x << "," << y;
        }
}

TEST(PngImage, DamagedFilesRaise) {
    const std::string good = EncodePng(RandomBitmap(8, 8, 3, true), true);
    std::string badCrc = good;
    badCrc[20] ^= 1;  // inside IHDR
    const std::string gray = "\0\x10\x20"s;
    std::string zlibBroken = std::string("\x89PNG\r\n\x1A\n", 8) +
                             Chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 0, 0, 0, 0}) + Chunk("IDAT", "\x78\x9C\xFF\xFF\xFF") +
                             Chunk("IEND", "");
    struct Case {
        const char* what;
        std::string data;
    } cases[] = {
        {"checksum", badCrc},
        {"zlib stream", zlibBroken},
        {"truncated", good.substr(0, good.size() - 20)},
        {"no signature", good.substr(1)},
        {"empty", ""},
        {"too little data", MakePng(3, 1, 8, 0, gray)},
        {"bad filter", MakePng(2, 1, 8, 0, "\x07\x10\x20"s)},
        {"bad depth", MakePng(2, 1, 3, 0, gray)},
        {"palette missing", MakePng(2, 1, 8, 3, gray)},
        {"zero width", MakePng(0, 1, 8, 0, gray)},
        {"unknown critical chunk", MakePng(2, 1, 8, 0, gray, Chunk("ABCD", ""))},
    };
    for (const auto& c : cases) EXPECT_THROW(DecodePng(c.data), EInvalidGraphic) << c.what;
    EXPECT_NO_THROW(DecodePng(MakePng(2, 1, 8, 0, gray, Chunk("abCD", ""))));  // ancillary: skipped
}

// ---------------------------------------------------------------- GIF

TEST(GifImage, LzwRoundTripsThroughTableGrowthAndResets) {
    std::mt19937 rng(5);
    std::vector<uint8_t> noise(30000), runs(30000);
    for (auto& v : noise) v = uint8_t(rng() & 255);  // fills the table: resets
    for (size_t i = 0; i < runs.size(); ++i) runs[i] = uint8_t((i / 37) % 3);  // long strings
    struct Case {
        const std::vector<uint8_t>* data;
        int minSize;
    } cases[] = {{&noise, 8}, {&runs, 2}};
    for (const auto& c : cases) {
        std::string packed = LzwPack(*c.data, c.minSize);
        std::vector<uint8_t> out(c.data->size());
        EXPECT_EQ(GifLzwDecode(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), c.minSize, out.data(),
                               out.size()),
                  out.size());
        EXPECT_EQ(out, *c.data);
    }
    // "a a a a": the code that names the string being defined.
    std::vector<uint8_t> same(4, 1), got(4);
    std::string packed = LzwPack(same, 2);
    EXPECT_EQ(GifLzwDecode(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), 2, got.data(), 4), 4u);
    EXPECT_EQ(got, same);
}

TEST(GifImage, SingleFrameAndTheClassicTransparentPixel) {
    TGIFImage g;
    g.LoadFromStream(GifHeader(2, 2) + Image(0, 0, 2, 2, {1, 2, 3, 0}) + ";");
    EXPECT_EQ(g.FrameCount(), 1);
    EXPECT_EQ(Pixels(g.Bitmap()), (std::vector<uint32_t>{Red, Green, Blue, MakeBGRA(0, 0, 0)}));
    EXPECT_FALSE(g.Transparent());

    const unsigned char pixel[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
                                   0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
                                   0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    g.LoadFromStream(std::string_view(reinterpret_cast<const char*>(pixel), sizeof pixel));
    EXPECT_EQ(g.Width(), 1);
    EXPECT_EQ(g.Bitmap().Pixel(0, 0) >> 24, 0u);
    EXPECT_TRUE(g.Transparent());
    EXPECT_TRUE(g.Bitmap().HasAlpha());
}

TEST(GifImage, FramesDelaysTransparencyAndDisposal) {
    const std::string loop = "\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"s;
    const std::string gif = GifHeader(2, 2) + loop +
                            Gce(1, 10) + Image(0, 0, 2, 2, {1, 1, 1, 1}) +   // red everywhere, kept
                            Gce(3, 25, 0) + Image(0, 0, 2, 2, {0, 3, 0, 0}) + // blue at (1,0), then restored
                            Gce(2, 0) + Image(0, 1, 1, 1, {2}) +               // green at (0,1), then cleared
                            Gce(0, 7) + Image(1, 1, 1, 1, {3}) + ";";          // blue at (1,1)
    TGIFImage g;
    g.LoadFromStream(gif);
    ASSERT_EQ(g.FrameCount(), 4);
    EXPECT_EQ(g.LoopCount(), 0);
    const int delays[] = {100, 250, 0, 70};
    const uint32_t clear = 0;
    const std::vector<uint32_t> frames[] = {{Red, Red, Red, Red}, {Red, Blue, Red, Red}, {Red, Red, Green, Red},
                                            {Red, Red, clear, Blue}};
    for (int f = 0; f < 4; ++f) {
        g.SetFrame(f);
        EXPECT_EQ(g.Frame(), f);
        EXPECT_EQ(g.FrameDelayMs(f), delays[f]);
        EXPECT_EQ(Pixels(g.Bitmap()), frames[f]) << "frame " << f;
    }
    g.SetFrame(9);
    EXPECT_EQ(g.Frame(), 3);
    EXPECT_TRUE(g.Transparent());
    auto copy = g.Clone();
    EXPECT_EQ(copy->FrameCount(), 4);

    // Cut off inside the third frame: the first two are still shown.
    TGIFImage cut;
    cut.LoadFromStream(gif.substr(0, gif.find("\x21\xF9\x04\x08") + 14));
    EXPECT_EQ(cut.FrameCount(), 2);
}

TEST(GifImage, InterlacedRowsAndLocalPalette) {
    // Rows of values 0..7 sent in interlaced order 0,4,2,6,1,3,5,7, two
    // colours in a local palette whose entry 1 is green.
    std::vector<int> px;
    for (int row : {0, 4, 2, 6, 1, 3, 5, 7}) px.push_back(row % 2);
    const std::string local = "\x2C" + U16(0) + U16(0) + U16(1) + U16(8) + "\xC0"s + std::string("\0\0\0\0\xFF\0", 6) +
                              '\x02' + SubBlocks(LzwPlain(px, 2));
    TGIFImage g;
    g.LoadFromStream(GifHeader(1, 8) + local + ";");
    for (int y = 0; y < 8; ++y) EXPECT_EQ(g.Bitmap().Pixel(0, y), y % 2 ? Green : MakeBGRA(0, 0, 0)) << y;
}

TEST(GifImage, UnreadableFilesRaise) {
    const std::string inputs[] = {"", "GIF89a", "GIF88a" + std::string(20, '\0'), GifHeader(2, 2) + ";",
                                  GifHeader(2, 2) + "\x2C\0\0\0\0"s};
    for (const auto& in : inputs) EXPECT_THROW(DecodeGif(in), EInvalidGraphic) << in.size();
}

// ---------------------------------------------------------------- sizes

// A PNG of any size: 8-bit samples, one IDAT of the given scan lines.
std::string SizedPng(uint32_t w, uint32_t h, int colorType, const std::string& raw) {
    std::string ihdr;
    for (uint32_t v : {w, h})
        for (int s = 24; s >= 0; s -= 8) ihdr += char(v >> s);
    ihdr += {8, char(colorType), 0, 0, 0};
    return std::string("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", Zip(raw)) + Chunk("IEND", "");
}

// A GIF whose screen and only frame claim w x h over a few pixels of data.
std::string SizedGif(int w, int h) {
    return GifHeader(w, h) + "\x2C" + U16(0) + U16(0) + U16(w) + U16(h) + "\0\x02"s +
           SubBlocks(LzwPlain(std::vector<int>(64, 1), 2)) + ";";
}

TEST(Pictures, HugeClaimsAreRefusedBeforeThePixelsAreAllocated) {
    const std::string row = '\0' + std::string(5000 * 4, '\x7F');
    const struct {
        const char* what;
        std::string data;
    } refused[] = {
        {"PNG 5000 x 6400 over four rows", SizedPng(5000, 6400, 6, row + row + row + row)},
        {"PNG 16385 wide", SizedPng(16385, 1, 0, std::string(16386, '\0'))},
        {"GIF 5000 x 6400 over 64 pixels", SizedGif(5000, 6400)},
        {"GIF 16385 wide", SizedGif(16385, 1)},
    };
    testing_support::ResetAllocationPeak();
    std::vector<char> probe(4u << 20);
    *static_cast<volatile char*>(probe.data()) = 1;
    ASSERT_GE(testing_support::AllocationPeakSinceReset(), 4u << 20);  // the counter counts
    for (const auto& c : refused) {
        testing_support::ResetAllocationPeak();
        EXPECT_THROW(TPicture().LoadFromStream(c.data), EInvalidGraphic) << c.what;
        EXPECT_LT(testing_support::AllocationPeakSinceReset(), 2u << 20) << c.what;
    }
    // A real picture packed as tightly as deflate can still loads.
    TPicture flat;
    flat.LoadFromStream(SizedPng(3000, 2000, 0, std::string(3001 * 2000, '\0')));
    EXPECT_EQ(flat.Graphic()->Width(), 3000);
    EXPECT_EQ(flat.Graphic()->Height(), 2000);
}

// ---------------------------------------------------------------- TPicture

TEST(Picture, PicksTheClassByContentNotByName) {
    TempFolder tmp;
    TPicture p;
    p.LoadFromFile(tmp.Write(L"really-png.jpg", EncodePng(RandomBitmap(3, 2, 1, false), false)));
    EXPECT_NE(p.As<TPNGImage>(), nullptr);
    EXPECT_EQ(p.Width(), 3);
    p.LoadFromFile(tmp.Write(L"really-jpeg.gif", RedBlueJpeg(16, 8)));
    EXPECT_NE(p.As<TJPEGImage>(), nullptr);
    p.LoadFromFile(tmp.Write(L"really-gif.png", GifHeader(2, 2) + Image(0, 0, 2, 2, {1, 2, 3, 0}) + ";"));
    EXPECT_NE(p.As<TGIFImage>(), nullptr);

    EXPECT_THROW(p.LoadFromFile(tmp.Write(L"a.bmp", "BM not supported")), EInvalidGraphic);
    EXPECT_THROW(p.LoadFromFile(tmp.File(L"missing.png")), EInvalidGraphic);
    EXPECT_NE(p.As<TGIFImage>(), nullptr);  // kept after the failures
    TPicture copy = p;
    ASSERT_NE(copy.Graphic(), p.Graphic());
    EXPECT_EQ(copy.Width(), 2);
    p.Clear();
    EXPECT_TRUE(p.Empty());
}

TEST(Picture, LoadsFromAModuleResource) {
    // A copy of this executable with a PNG added as RCDATA "PIC".
    TempFolder tmp;
    std::wstring exe = tmp.File(L"withres.exe");
    ASSERT_TRUE(CopyFileW(GetModuleFileNameStr().c_str(), exe.c_str(), FALSE));
    const std::string png = EncodePng(RandomBitmap(6, 5, 2, false), false);
    HANDLE upd = BeginUpdateResourceW(exe.c_str(), FALSE);
    ASSERT_TRUE(upd);
    ASSERT_TRUE(UpdateResourceW(upd, RT_RCDATA, L"PIC", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                const_cast<char*>(png.data()), DWORD(png.size())));
    ASSERT_TRUE(EndUpdateResourceW(upd, FALSE));
    HMODULE mod = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(mod);
    TPicture p;
    p.LoadFromResource(mod, L"PIC");
    EXPECT_EQ(p.Width(), 6);
    EXPECT_THROW(p.LoadFromResource(mod, L"NOPE"), EInvalidGraphic);
    FreeLibrary(mod);
}

// ---------------------------------------------------------------- TBitmap

TEST(Bitmap, DrawScalesOpaqueAndBlendsTransparent) {
    TBitmap src(4, 4);  // left half red, right half blue
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.SetPixel(x, y, x < 2 ? Red : Blue);
    TBitmap dst(8, 8);
    dst.Fill(Green);
    src.Draw(dst.DC(), RECT{0, 0, 8, 8});
    EXPECT_TRUE(Near(dst.Pixel(1, 4) | 0xFF000000u, Red, 8));
    EXPECT_TRUE(Near(dst.Pixel(6, 4) | 0xFF000000u, Blue, 8));

    // Straight alpha: transparent keeps the background, half blends.
    TBitmap a(2, 1);
    a.SetPixel(0, 0, MakeBGRA(255, 0, 0, 0));
    a.SetPixel(1, 0, MakeBGRA(255, 0, 0, 128));
    a.SetHasAlpha(true);
    dst.Fill(Green);
    a.Draw(dst.DC(), RECT{0, 0, 4, 2});
    EXPECT_TRUE(Near(dst.Pixel(0, 0), Green, 2));
    EXPECT_TRUE(Near(dst.Pixel(3, 1) | 0xFF000000u, MakeBGRA(128, 127, 0), 3));
    EXPECT_TRUE(Near(dst.Pixel(6, 6), Green, 0));  // outside the rectangle

    TBitmap copy = src;  // deep copy
    copy.SetPixel(0, 0, Green);
    EXPECT_EQ(src.Pixel(0, 0), Red);
    TBitmap assigned;
    TJPEGImage j;
    j.LoadFromStream(RedBlueJpeg(16, 16));
    assigned.Assign(j);
    EXPECT_EQ(assigned.Width(), 16);
    EXPECT_NE(assigned.Handle(), nullptr);
    EXPECT_THROW(assigned.SetSize(100000, 100000), EInvalidGraphic);
}

// ---------------------------------------------------------------- Screenshot

TEST(Screenshot, SavesADecodablePngOfTheWindow) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RedWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KvScreenshotTest";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"shot", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 160, 120, nullptr,
                             nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(w);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    TempFolder tmp;
    ASSERT_TRUE(testing_support::SaveWindowScreenshot(w, tmp.File(L"shot.png")));
    RECT wr, cr;
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    POINT centre{cr.right / 2, cr.bottom / 2};
    ClientToScreen(w, &centre);
    TPNGImage png;
    png.LoadFromFile(tmp.File(L"shot.png"));
    EXPECT_EQ(png.Width(), wr.right - wr.left);
    EXPECT_EQ(png.Height(), wr.bottom - wr.top);
    EXPECT_EQ(png.Bitmap().Pixel(centre.x - wr.left, centre.y - wr.top), Red);
    DestroyWindow(w);
    EXPECT_FALSE(testing_support::SaveWindowScreenshot(w, tmp.File(L"gone.png")));
}

// ---------------------------------------------------------------- robustness

// Random damage to valid files of every kind: each must load or raise
// EInvalidGraphic, never crash or raise anything else. PNG chunks get their
// checksums mended so the damage reaches the decoder behind them.
// KV_FUZZ_ROUNDS asks for a longer run than the default.
TEST(PicturesFuzz, MutatedFilesNeverCrash) {
    const char* env = std::getenv("KV_FUZZ_ROUNDS");
    const int rounds = env ? std::atoi(env) : 400;
    std::mt19937 rng(env ? unsigned(GetTickCount()) : 20240611u);
    auto mendCrcs = [](std::string& s) {
        for (size_t pos = 8; pos + 12 <= s.size();) {
            auto* d = reinterpret_cast<unsigned char*>(s.data()) + pos;
            size_t len = size_t(d[0]) << 24 | d[1] << 16 | d[2] << 8 | d[3];
            if (len > s.size() - pos - 12) break;
            uLong crc = crc32(0, d + 4, uInt(len + 4));
            for (int i = 0; i < 4; ++i) d[8 + len + i] = uint8_t(crc >> (24 - 8 * i));
            pos += 12 + len;
        }
    };
    std::string gray8;
    for (int y = 0; y < 16; ++y) gray8 += '\x04' + std::string(16, char(y * 9));
    std::string adam7;  // 5 x 5 gray: the rows of the seven passes, "sub" filtered
    for (int n : {1, 1, 2, 1, 1, 3, 2, 2, 2, 5, 5}) adam7 += '\x01' + std::string(n, char(n * 40));
    std::vector<uint8_t> noise(900);
    for (auto& v : noise) v = uint8_t(rng() % 4);
    std::string busy = GifHeader(30, 30) + "\x2C" + U16(0) + U16(0) + U16(30) + U16(30) + "\0\x02"s +
                       SubBlocks(LzwPack(noise, 2)) + ";";
    const std::string seeds[] = {
        RedBlueJpeg(48, 32), RedBlueJpeg(40, 24, true),
        EncodePng(RandomBitmap(12, 9, 4, true), true),
        MakePng(4, 1, 2, 3, "\0\x1B"s, Chunk("PLTE", "\xFF\0\0\0\xFF\0\0\0\xFF"s) + Chunk("tRNS", "\xFF\x80"s)),
        MakePng(16, 16, 8, 0, gray8, "", false),
        MakePng(5, 5, 8, 0, adam7, "", true),
        busy,
        GifHeader(2, 2) + Gce(1, 10) + Image(0, 0, 2, 2, {1, 1, 1, 1}) + Gce(3, 25, 0) + Image(0, 0, 2, 2, {0, 3, 0, 0}, true) + ";",
    };
    int loaded = 0, rejected = 0;
    for (const auto& seed : seeds) {
        ASSERT_NO_THROW(TPicture().LoadFromStream(seed)) << seed.size();
        const bool png = DetectPictureKind(seed) == TPictureKind::Png;
        for (int i = 0; i < rounds; ++i) {
            std::string s = seed;
            switch (rng() % 3) {
            case 0:
                for (int k = 1 + rng() % 4; k > 0; --k) s[rng() % s.size()] = char(rng());
                break;
            case 1: s.resize(rng() % s.size()); break;
            default: s.insert(rng() % s.size(), std::string(1 + rng() % 8, char(rng())));
            }
            if (png) mendCrcs(s);
            TPicture p;
            try {
                p.LoadFromStream(s);
                TBitmap b(8, 8);
                for (int f = 0; f < p.Graphic()->FrameCount(); ++f) p.Graphic()->SetFrame(f);
                p.Draw(b.DC(), RECT{0, 0, 8, 8});
                ++loaded;
            } catch (const EInvalidGraphic&) {
                ++rejected;
            } catch (const std::exception& e) {
                ADD_FAILURE() << "unexpected exception " << e.what();
            }
        }
    }
    // Both outcomes must occur, or the mutations test nothing.
    EXPECT_GT(loaded, rounds / 4) << rejected;
    EXPECT_GT(rejected, rounds / 4) << loaded;
}
