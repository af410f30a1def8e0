// Pictures the windows show: a common interface over bitmaps, JPEG, PNG and
// GIF pictures, so an image control can hold any of them.
#pragma once
#include <windows.h>
#include <memory>
#include <stdexcept>
#include <string>

namespace cls {

class TBitmap;

// A picture that cannot be read: bad signature, corrupt or truncated data,
// or a size beyond what the program is willing to allocate.
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decoders refuse pictures with more pixels than this (128 MB at 32 bits),
// so a hostile header cannot exhaust the 32-bit address space.
constexpr long long MaxGraphicPixels = 32LL * 1024 * 1024;
// Nor a side longer than this; the program's own pictures are far below.
constexpr int MaxGraphicSide = 16384;

// Whether a header's claimed size may be allocated at all.
inline bool GraphicSizeAllowed(long long width, long long height) {
    return width <= MaxGraphicSide && height <= MaxGraphicSide && width * height <= MaxGraphicPixels;
}

class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() == 0 || Height() == 0; }
    // Draws the picture scaled into Rect, honouring its transparency.
    virtual void Draw(HDC dc, const RECT& rect) const = 0;
    // Animated pictures (GIF) have more than one frame.
    virtual int FrameCount() const { return 1; }
    virtual int FrameDelayMs(int frame) const { return 0; }
    virtual void SetFrame(int frame) {}
    virtual int Frame() const { return 0; }
    // True when some pixels are (partly) transparent.
    virtual bool Transparent() const { return false; }
    // The current frame as 32-bit pixels (straight, not premultiplied alpha).
    virtual void ToBitmap(TBitmap& out) const = 0;
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
};

}  // namespace cls
