#include "classlib/GifImage.h"

#include <algorithm>
#include <cstring>

#include "classlib/Files.h"

namespace cls {

namespace {

[[noreturn]] void Fail(const char* why) { throw EInvalidGraphic(std::string("Invalid GIF picture: ") + why); }

// Raised inside the decoder where the data ends or makes no sense; frames
// read before it are kept.
struct Stop {};

class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool AtEnd() const { return pos_ >= n_; }
    uint8_t U8() {
        if (pos_ >= n_) throw Stop{};
        return p_[pos_++];
    }
    unsigned U16() {
        unsigned lo = U8();
        return lo | unsigned(U8()) << 8;
    }
    const uint8_t* Take(size_t k) {
        if (n_ - pos_ < k) throw Stop{};
        const uint8_t* r = p_ + pos_;
        pos_ += k;
        return r;
    }
    // Data sub-blocks up to the empty one; truncated data keeps what came.
    std::vector<uint8_t> SubBlocks(bool* truncated = nullptr) {
        std::vector<uint8_t> out;
        for (;;) {
            if (AtEnd()) {
                if (!truncated) throw Stop{};
                *truncated = true;
                return out;
            }
            size_t len = U8();
            if (len == 0) return out;
            len = std::min(len, n_ - pos_);
            out.insert(out.end(), p_ + pos_, p_ + pos_ + len);
            pos_ += len;
        }
    }
    void SkipSubBlocks() {
        for (size_t len; (len = U8()) != 0;) Take(len);
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

std::vector<uint32_t> ReadPalette(Reader& r, int flags) {
    const int count = 2 << (flags & 7);
    const uint8_t* p = r.Take(size_t(count) * 3);
    std::vector<uint32_t> pal(count);
    for (int i = 0; i < count; ++i) pal[i] = MakeBGRA(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
    return pal;
}

// Interlaced frames store every 8th row from 0, every 8th from 4, every 4th
// from 2, then every 2nd from 1.
int InterlacedRow(int i, int height) {
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        int rows = height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (i < rows) return start[pass] + i * step[pass];
        i -= rows;
    }
    return -1;
}

// The most pixels Size bytes of LZW codes can give: every code takes at
// least MinCodeSize + 1 bits and stands for at most 4096 pixels.
long long LzwOutputBound(size_t size, int minCodeSize) {
    return static_cast<long long>(size) * 8 / (std::max(minCodeSize, 1) + 1) * 4096;
}

}  // namespace

size_t GifLzwDecode(const uint8_t* in, size_t inSize, int minCodeSize, uint8_t* out, size_t outSize) {
    if (minCodeSize < 1 || minCodeSize > 11) return 0;
    const int clear = 1 << minCodeSize, end = clear + 1;
    uint16_t prefix[4096];
    uint8_t suffix[4096];
    uint8_t stack[4096];
    for (int i = 0; i < clear; ++i) suffix[i] = uint8_t(i);
    int codeSize = minCodeSize + 1, next = end + 1, prev = -1;
    uint32_t bits = 0;
    int bitCount = 0;
    size_t pos = 0, produced = 0;
    while (produced < outSize) {
        while (bitCount < codeSize) {
            if (pos >= inSize) return produced;
            bits |= uint32_t(in[pos++]) << bitCount;
            bitCount += 8;
        }
        const int code = int(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = end + 1;
            prev = -1;
            continue;
        }
        if (code == end) break;
        if (prev < 0) {  // first code after a clear: a plain colour
            if (code > clear) return produced;
            out[produced++] = uint8_t(code);
            prev = code;
            continue;
        }
        if (code > next) return produced;
        // code == next is the one string the decoder has not built yet:
        // the previous string plus its own first colour.
        int c = code == next ? prev : code;
        int depth = 0;
        while (c > end) {  // prefixes always point to lower codes
            stack[depth++] = suffix[c];
            c = prefix[c];
        }
        const uint8_t firstColour = uint8_t(c);
        stack[depth++] = firstColour;
        while (depth > 0 && produced < outSize) out[produced++] = stack[--depth];
        if (code == next && produced < outSize) out[produced++] = firstColour;
        if (next < 4096) {
            prefix[next] = uint16_t(prev);
            suffix[next] = firstColour;
            if (++next == (1 << codeSize) && codeSize < 12) ++codeSize;
        }
        prev = code;
    }
    return produced;
}

GifAnimation DecodeGif(std::string_view data) {
    const auto* d = reinterpret_cast<const uint8_t*>(data.data());
    if (data.size() < 13 || (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0))
        Fail("no GIF signature");
    Reader r(d + 6, data.size() - 6);
    GifAnimation anim;
    anim.width = int(r.U16());
    anim.height = int(r.U16());
    const int screenFlags = r.U8();
    r.Take(2);  // background colour and aspect ratio: browsers ignore both
    std::vector<uint32_t> global, canvas, saved;
    long long totalPixels = 0;
    int delayMs = 0, disposal = 0, transparentIndex = -1;
    try {
        if (screenFlags & 0x80) global = ReadPalette(r, screenFlags);
        for (bool done = false; !done && !r.AtEnd();) {
            switch (r.U8()) {
            case 0x21: {  // extension
                const int label = r.U8();
                std::vector<uint8_t> body = r.SubBlocks();
                if (label == 0xF9 && body.size() >= 4) {  // graphic control
                    disposal = (body[0] >> 2) & 7;
                    delayMs = int(body[1] | body[2] << 8) * 10;
                    transparentIndex = (body[0] & 1) ? body[3] : -1;
                } else if (label == 0xFF && body.size() >= 14 && std::memcmp(body.data(), "NETSCAPE2.0", 11) == 0 &&
                           body[11] == 1) {
                    anim.loopCount = body[12] | body[13] << 8;
                }
                break;
            }
            case 0x2C: {  // image
                const int left = int(r.U16()), top = int(r.U16()), fw = int(r.U16()), fh = int(r.U16());
                const int flags = r.U8();
                std::vector<uint32_t> local;
                if (flags & 0x80) local = ReadPalette(r, flags);
                const std::vector<uint32_t>& pal = local.empty() ? global : local;
                const int minCode = r.U8();
                bool truncated = false;
                std::vector<uint8_t> codes = r.SubBlocks(&truncated);
                // Nothing is allocated for pixels before the data has been
                // seen to be able to give them.
                const long long framePixels = static_cast<long long>(fw) * fh;
                const long long canGive = LzwOutputBound(codes.size(), minCode);
                if (anim.frames.empty()) {
                    // Some writers leave the screen size 0; the first frame gives it.
                    if (anim.width == 0 || anim.height == 0) anim.width = left + fw, anim.height = top + fh;
                    if (anim.width == 0 || anim.height == 0) Fail("empty picture");
                    if (!GraphicSizeAllowed(anim.width, anim.height)) throw EInvalidGraphic("Picture too large");
                    if (minCode < 1 || minCode > 11 || canGive < framePixels) Fail("image data is truncated");
                    canvas.assign(size_t(anim.width) * anim.height, 0);
                }
                totalPixels += static_cast<long long>(anim.width) * anim.height;
                if (totalPixels > MaxGraphicPixels) throw Stop{};  // keep the frames so far
                if (minCode < 1 || minCode > 11 || !GraphicSizeAllowed(fw, fh)) throw Stop{};
                // A cut-off later frame keeps what its data gives.
                std::vector<uint8_t> indices(size_t(std::min(framePixels, canGive)));
                const size_t got = GifLzwDecode(codes.data(), codes.size(), minCode, indices.data(), indices.size());
                if (disposal == 3) saved = canvas;
                for (size_t i = 0; i < got; ++i) {
                    const int row = (flags & 0x40) ? InterlacedRow(int(i / fw), fh) : int(i / fw);
                    const int x = left + int(i % fw), y = top + row;
                    const int index = indices[i];
                    if (index == transparentIndex || x >= anim.width || y >= anim.height) continue;
                    canvas[size_t(y) * anim.width + x] = index < int(pal.size()) ? pal[index] : MakeBGRA(0, 0, 0);
                }
                anim.frames.push_back({canvas, delayMs});
                if (disposal == 2) {  // background: browsers clear to transparent
                    for (int y = top; y < std::min(top + fh, anim.height); ++y)
                        for (int x = left; x < std::min(left + fw, anim.width); ++x)
                            canvas[size_t(y) * anim.width + x] = 0;
                } else if (disposal == 3) {
                    canvas.swap(saved);
                }
                delayMs = disposal = 0;
                transparentIndex = -1;
                if (truncated) done = true;
                break;
            }
            case 0x3B: done = true; break;
            default: throw Stop{};
            }
        }
    } catch (const Stop&) {
        // A damaged or cut-off tail keeps the frames read before it.
    }
    if (anim.frames.empty()) Fail("no frame");
    return anim;
}

void TGIFImage::LoadFromFile(const std::wstring& fileName) {
    std::string data;
    if (!ReadFileBytes(fileName, data)) throw EInvalidGraphic("Cannot read the picture file");
    LoadFromStream(data);
}

void TGIFImage::LoadFromStream(std::string_view data) {
    GifAnimation anim = DecodeGif(data);
    TBitmap first(anim.width, anim.height);
    anim_ = std::move(anim);
    current_ = std::move(first);
    transparent_ = false;
    for (const auto& f : anim_.frames)
        transparent_ = transparent_ || std::any_of(f.pixels.begin(), f.pixels.end(), [](uint32_t c) { return c >> 24 != 255; });
    current_.SetHasAlpha(transparent_);
    frame_ = -1;
    SetFrame(0);
}

int TGIFImage::FrameDelayMs(int frame) const {
    return frame >= 0 && frame < FrameCount() ? anim_.frames[frame].delayMs : 0;
}

void TGIFImage::SetFrame(int frame) {
    if (frame < 0 || frame >= FrameCount() || frame == frame_) return;
    frame_ = frame;
    const auto& px = anim_.frames[frame].pixels;
    std::copy(px.begin(), px.end(), current_.ScanLine(0));
}

}  // namespace cls
