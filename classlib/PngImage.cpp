#include "classlib/PngImage.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "classlib/Files.h"

namespace cls {

namespace {

constexpr unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void Fail(const char* why) { throw EInvalidGraphic(std::string("Invalid PNG picture: ") + why); }

uint32_t BE32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
unsigned BE16(const uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }

struct PngInfo {
    int width = 0, height = 0, depth = 0, colorType = -1;
    bool interlaced = false;
    int channels = 0;
    std::array<uint32_t, 256> palette{};  // opaque BGRA, alpha from tRNS
    int paletteSize = 0;
    bool hasKey = false;                  // tRNS colour key for types 0 and 2
    unsigned key[3] = {};
    bool hasTrns = false;
};

bool ValidDepth(int colorType, int depth) {
    switch (colorType) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2: case 4: case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

int ChannelCount(int colorType) {
    static const int n[7] = {1, 0, 3, 1, 2, 0, 4};
    return n[colorType];
}

size_t RowBytes(const PngInfo& p, int width) { return (size_t(width) * p.channels * p.depth + 7) / 8; }

// Adam7 passes as (x0, y0, dx, dy); a plain picture is the single pass
// (0, 0, 1, 1).
struct Pass { int x0, y0, dx, dy; };
constexpr Pass Adam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                           {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass Whole = {0, 0, 1, 1};

int PassSize(int size, int start, int step) { return size > start ? (size - start + step - 1) / step : 0; }

// Deflate packs at most about 1032 bytes into one.
constexpr size_t MaxInflateRatio = 1100;

// The buffer grows with what the data really gives, so a header that
// claims a huge picture over a little data never costs more than the data.
std::vector<uint8_t> Inflate(const std::string& compressed, size_t expected) {
    if (expected / MaxInflateRatio > compressed.size()) Fail("image data is truncated");
    std::vector<uint8_t> out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) Fail("cannot start decompression");
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    zs.avail_in = static_cast<uInt>(compressed.size());
    int rc = Z_OK;
    try {
        while (rc == Z_OK && zs.total_out < expected) {
            if (zs.avail_out == 0) {
                const size_t done = zs.total_out;
                out.resize(std::min(expected, std::max<size_t>(done * 2, 64 * 1024)));
                zs.next_out = out.data() + done;
                zs.avail_out = static_cast<uInt>(out.size() - done);
            }
            rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_BUF_ERROR) break;  // no progress: the data ended early
        }
    } catch (const std::bad_alloc&) {
        inflateEnd(&zs);
        throw EInvalidGraphic("Picture too large");
    }
    const uLong produced = zs.total_out;
    inflateEnd(&zs);
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR)
        Fail("corrupt image data");
    if (produced != expected) Fail("image data is truncated");
    out.resize(expected);
    return out;
}

int Paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Undoes the filter of one row in place; prior is the previous unfiltered
// row of the same pass (zeros for the first).
void Unfilter(int filter, uint8_t* row, const uint8_t* prior, size_t len, size_t bpp) {
    switch (filter) {
    case 0: break;
    case 1: for (size_t i = bpp; i < len; ++i) row[i] += row[i - bpp]; break;
    case 2: for (size_t i = 0; i < len; ++i) row[i] += prior[i]; break;
    case 3:
        for (size_t i = 0; i < len; ++i) row[i] += uint8_t(((i >= bpp ? row[i - bpp] : 0) + prior[i]) / 2);
        break;
    case 4:
        for (size_t i = 0; i < len; ++i)
            row[i] += uint8_t(Paeth(i >= bpp ? row[i - bpp] : 0, prior[i], i >= bpp ? prior[i - bpp] : 0));
        break;
    default: Fail("unknown row filter");
    }
}

// Converts count pixels of an unfiltered row to BGRA, writing every dx-th
// pixel of dst.
void EmitRow(const PngInfo& p, const uint8_t* row, int count, uint32_t* dst, int dx) {
    const int depth = p.depth;
    auto sample = [&](size_t i) -> unsigned {
        if (depth == 8) return row[i];
        if (depth == 16) return BE16(row + 2 * i);
        size_t bit = i * depth;
        return (row[bit >> 3] >> (8 - depth - int(bit & 7))) & ((1u << depth) - 1);
    };
    auto to8 = [&](unsigned v) -> unsigned {
        return depth == 16 ? v >> 8 : depth == 8 ? v : v * (255 / ((1u << depth) - 1));
    };
    for (int x = 0; x < count; ++x, dst += dx) {
        unsigned r, g, b, a = 255;
        switch (p.colorType) {
        case 0: {
            unsigned v = sample(x);
            r = g = b = to8(v);
            if (p.hasKey && v == p.key[0]) a = 0;
            break;
        }
        case 2: {
            unsigned vr = sample(3 * x), vg = sample(3 * x + 1), vb = sample(3 * x + 2);
            r = to8(vr), g = to8(vg), b = to8(vb);
            if (p.hasKey && vr == p.key[0] && vg == p.key[1] && vb == p.key[2]) a = 0;
            break;
        }
        case 3: {
            unsigned i = sample(x);
            // An index past the palette shows black rather than failing.
            *dst = int(i) < p.paletteSize ? p.palette[i] : MakeBGRA(0, 0, 0);
            continue;
        }
        case 4:
            r = g = b = to8(sample(2 * x));
            a = to8(sample(2 * x + 1));
            break;
        default:
            r = to8(sample(4 * x)), g = to8(sample(4 * x + 1)), b = to8(sample(4 * x + 2));
            a = to8(sample(4 * x + 3));
            break;
        }
        *dst = MakeBGRA(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a));
    }
}

void ParseHeader(PngInfo& p, const uint8_t* d, uint32_t len) {
    if (len != 13) Fail("bad header");
    uint32_t w = BE32(d), h = BE32(d + 4);
    p.depth = d[8];
    p.colorType = d[9];
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) Fail("bad size");
    if (!GraphicSizeAllowed(w, h)) throw EInvalidGraphic("Picture too large");
    if (!ValidDepth(p.colorType, p.depth)) Fail("bad colour type or bit depth");
    if (d[10] != 0 || d[11] != 0 || d[12] > 1) Fail("unknown compression, filter or interlace method");
    p.width = int(w);
    p.height = int(h);
    p.interlaced = d[12] == 1;
    p.channels = ChannelCount(p.colorType);
}

}  // namespace

TBitmap DecodePng(std::string_view data) {
    const auto* d = reinterpret_cast<const uint8_t*>(data.data());
    const size_t size = data.size();
    if (size < 8 || std::memcmp(d, Signature, 8) != 0) Fail("no PNG signature");
    PngInfo p;
    std::string idat;
    bool ended = false;
    for (size_t pos = 8; !ended;) {
        if (size - pos < 12) Fail("file is truncated");
        const uint32_t len = BE32(d + pos);
        if (len > size - pos - 12) Fail("file is truncated");
        const uint8_t* type = d + pos + 4;
        const uint8_t* body = d + pos + 8;
        if (crc32(0, type, len + 4) != BE32(body + len)) Fail("checksum error");
        const std::string_view name(reinterpret_cast<const char*>(type), 4);
        if (p.colorType < 0 && name != "IHDR") Fail("header missing");
        if (name == "IHDR") {
            if (p.colorType >= 0) Fail("second header");
            ParseHeader(p, body, len);
        } else if (name == "PLTE") {
            if (len % 3 != 0 || len == 0 || len > 768) Fail("bad palette");
            p.paletteSize = int(len / 3);
            for (int i = 0; i < p.paletteSize; ++i)
                p.palette[i] = MakeBGRA(body[3 * i], body[3 * i + 1], body[3 * i + 2]);
        } else if (name == "tRNS") {
            if (p.colorType == 3) {
                for (uint32_t i = 0; i < len && i < 256; ++i)
                    p.palette[i] = (p.palette[i] & 0x00FFFFFF) | uint32_t(body[i]) << 24;
                p.hasTrns = true;
            } else if ((p.colorType == 0 && len >= 2) || (p.colorType == 2 && len >= 6)) {
                for (int c = 0; c < (p.colorType == 0 ? 1 : 3); ++c) p.key[c] = BE16(body + 2 * c);
                p.hasKey = p.hasTrns = true;
            }
        } else if (name == "IDAT") {
            idat.append(reinterpret_cast<const char*>(body), len);
        } else if (name == "IEND") {
            ended = true;
        } else if (!(type[0] & 0x20)) {
            Fail("unknown critical chunk");
        }
        pos += 12 + size_t(len);
    }
    if (idat.empty()) Fail("no image data");
    if (p.colorType == 3 && p.paletteSize == 0) Fail("palette missing");

    const Pass* passes = p.interlaced ? Adam7 : &Whole;
    const int passCount = p.interlaced ? 7 : 1;
    size_t expected = 0;
    for (int i = 0; i < passCount; ++i) {
        int pw = PassSize(p.width, passes[i].x0, passes[i].dx), ph = PassSize(p.height, passes[i].y0, passes[i].dy);
        if (pw && ph) expected += size_t(ph) * (1 + RowBytes(p, pw));
    }
    std::vector<uint8_t> raw = Inflate(idat, expected);

    TBitmap bmp(p.width, p.height);
    const size_t bpp = std::max<size_t>(1, size_t(p.channels) * p.depth / 8);
    std::vector<uint8_t> zeros(RowBytes(p, p.width));
    uint8_t* in = raw.data();
    for (int i = 0; i < passCount; ++i) {
        const Pass& ps = passes[i];
        int pw = PassSize(p.width, ps.x0, ps.dx), ph = PassSize(p.height, ps.y0, ps.dy);
        if (!pw || !ph) continue;
        const size_t rowLen = RowBytes(p, pw);
        const uint8_t* prior = zeros.data();
        for (int y = 0; y < ph; ++y) {
            uint8_t* row = in + 1;
            Unfilter(in[0], row, prior, rowLen, bpp);
            EmitRow(p, row, pw, bmp.ScanLine(ps.y0 + y * ps.dy) + ps.x0, ps.dx);
            prior = row;
            in += 1 + rowLen;
        }
    }
    bmp.SetHasAlpha(p.colorType == 4 || p.colorType == 6 || p.hasTrns);
    return bmp;
}

std::string EncodePng(const TBitmap& bitmap, bool withAlpha) {
    if (bitmap.Empty()) throw EInvalidGraphic("Cannot save an empty picture as PNG");
    const int w = bitmap.Width(), h = bitmap.Height(), bpp = withAlpha ? 4 : 3;
    const size_t rowLen = size_t(w) * bpp;
    std::vector<uint8_t> filtered;
    filtered.reserve((rowLen + 1) * h);
    std::vector<uint8_t> prior(rowLen), cur(rowLen), best(rowLen), trial(rowLen);
    for (int y = 0; y < h; ++y) {
        const uint32_t* s = bitmap.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            uint8_t* o = &cur[size_t(x) * bpp];
            o[0] = uint8_t(s[x] >> 16), o[1] = uint8_t(s[x] >> 8), o[2] = uint8_t(s[x]);
            if (withAlpha) o[3] = uint8_t(s[x] >> 24);
        }
        // Each row takes the filter with the smallest sum of signed
        // residuals, the usual cheap predictor of the deflated size.
        long bestCost = -1;
        int bestFilter = 0;
        for (int f = 0; f <= 4; ++f) {
            long cost = 0;
            for (size_t i = 0; i < rowLen; ++i) {
                int a = i >= size_t(bpp) ? cur[i - bpp] : 0, b = prior[i], c = i >= size_t(bpp) ? prior[i - bpp] : 0;
                int pred = f == 0 ? 0 : f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : Paeth(a, b, c);
                trial[i] = uint8_t(cur[i] - pred);
                cost += std::abs(int(int8_t(trial[i])));
            }
            if (bestCost < 0 || cost < bestCost) bestCost = cost, bestFilter = f, best.swap(trial);
        }
        filtered.push_back(uint8_t(bestFilter));
        filtered.insert(filtered.end(), best.begin(), best.end());
        prior.swap(cur);
    }

    z_stream zs{};
    if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) throw EInvalidGraphic("Cannot start compression");
    std::vector<uint8_t> packed(deflateBound(&zs, uLong(filtered.size())));
    zs.next_in = filtered.data();
    zs.avail_in = uInt(filtered.size());
    zs.next_out = packed.data();
    zs.avail_out = uInt(packed.size());
    int rc = deflate(&zs, Z_FINISH);
    packed.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END) throw EInvalidGraphic("Cannot compress the picture");

    std::string out(reinterpret_cast<const char*>(Signature), 8);
    auto chunk = [&out](const char* type, const uint8_t* body, size_t len) {
        std::string c;
        for (int s = 24; s >= 0; s -= 8) c += char(len >> s);
        c.append(type, 4);
        c.append(reinterpret_cast<const char*>(body), len);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.data() + 4), uInt(len + 4));
        for (int s = 24; s >= 0; s -= 8) c += char(crc >> s);
        out += c;
    };
    uint8_t ihdr[13] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                        uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h),
                        8, uint8_t(withAlpha ? 6 : 2), 0, 0, 0};
    chunk("IHDR", ihdr, sizeof ihdr);
    chunk("IDAT", packed.data(), packed.size());
    chunk("IEND", nullptr, 0);
    return out;
}

void TPNGImage::LoadFromFile(const std::wstring& fileName) {
    std::string data;
    if (!ReadFileBytes(fileName, data)) throw EInvalidGraphic("Cannot read the picture file");
    LoadFromStream(data);
}

void TPNGImage::LoadFromStream(std::string_view data) { bitmap_ = DecodePng(data); }

void TPNGImage::SaveToFile(const std::wstring& fileName) const {
    if (!WriteFileBytes(fileName, SaveToStream())) throw EInvalidGraphic("Cannot write the picture file");
}

}  // namespace cls
