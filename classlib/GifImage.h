// GIF pictures (87a and 89a): every frame composed onto a full-size canvas,
// with transparency, disposal methods and frame delays.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/Bitmap.h"

namespace cls {

struct GifAnimation {
    struct Frame {
        std::vector<uint32_t> pixels;  // width * height BGRA, rows top-down
        int delayMs = 0;               // as stored: 0 means "as fast as the viewer likes"
    };
    int width = 0;
    int height = 0;
    int loopCount = -1;  // from the looping extension: 0 = forever, -1 = none given
    std::vector<Frame> frames;
};

// Decodes LZW codes of the given minimum code size into at most outSize
// colour indices; returns how many were produced. Stops quietly at the end
// code, at the end of the input or at a code that cannot occur.
size_t GifLzwDecode(const uint8_t* in, size_t inSize, int minCodeSize, uint8_t* out, size_t outSize);

// Throws EInvalidGraphic when no frame can be read. A picture cut off after
// its first frames keeps those frames, as browsers show them.
GifAnimation DecodeGif(std::string_view data);

class TGIFImage : public TGraphic {
public:
    TGIFImage() = default;

    void LoadFromFile(const std::wstring& fileName);
    void LoadFromStream(std::string_view data);
    int LoopCount() const { return anim_.loopCount; }
    // The current frame.
    const TBitmap& Bitmap() const { return current_; }

    int Width() const override { return anim_.width; }
    int Height() const override { return anim_.height; }
    void Draw(HDC dc, const RECT& rect) const override { current_.Draw(dc, rect); }
    int FrameCount() const override { return int(anim_.frames.size()); }
    int FrameDelayMs(int frame) const override;
    // Out-of-range frames are ignored.
    void SetFrame(int frame) override;
    int Frame() const override { return frame_; }
    bool Transparent() const override { return transparent_; }
    void ToBitmap(TBitmap& out) const override { out = current_; }
    std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TGIFImage>(*this); }

private:
    GifAnimation anim_;
    int frame_ = 0;
    bool transparent_ = false;
    TBitmap current_;
};

}  // namespace cls
