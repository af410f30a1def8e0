// A progress bar that draws itself: a glossy fill in any colour, horizontal
// or vertical, or in marquee mode a tinted band sliding along the bar, with
// an optional position text in the middle. The drawing is a plain routine
// over a look description, so any device context can show a bar.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "classlib/Bitmap.h"
#include "classlib/Colors.h"
#include "classlib/Controls.h"
#include "classlib/Timer.h"

namespace components {

enum TDPBOrientation { vpbHorizontal, vpbVertical };

// Everything a paint of the bar depends on.
struct ProgressBarLook {
    int Min = 0;
    int Max = 100;
    int Position = 0;
    bool Marquee = false;
    uint8_t MarqueeSize = 40;  // band length, percent of the bar
    uint8_t MarqueeFade = 30;  // each faded end, percent of the band
    int MarqueeStep = 0;       // the band's step, 0 .. MarqueeSize + 100
    bool AltMode = false;      // empty part plain instead of glossy grey
    TDPBOrientation Orientation = vpbHorizontal;
    bool Percentage = false;
    bool ShowPosText = false;
    std::wstring PosTextPrefix;
    std::wstring PosTextSuffix;
    cls::TColor Color = cls::clLime;
    HFONT Font = nullptr;  // null: the default GUI font
    cls::TColor FontColor = cls::clWindowText;
};

// B + (A - B) * P%, per channel, system colours resolved (P = 0 gives B,
// 50 the middle); the result is a plain RGB colour.
cls::TColor BlendColors(cls::TColor a, cls::TColor b, uint8_t percent);

// Position kept inside Min..Max; Min when the range is empty or reversed.
int ClampPosition(int position, int min, int max);
// How much of the bar is filled, 0..1 (marquee: the band's step / 100).
double ProgressFraction(const ProgressBarLook& look);
// The part of a w x h bar the fill or the band covers (left, top, right,
// bottom; the fill is drawn one pixel short of right and bottom).
RECT ProgressPartRect(const ProgressBarLook& look, int w, int h);
// The text written in the middle when ShowPosText is on.
std::wstring ProgressText(const ProgressBarLook& look);
// The band's step after one marquee tick.
int NextMarqueeStep(int step, uint8_t marqueeSize);

// The glossy fill of the block inside r; Background paints the empty bar in
// fixed greys instead of Color.
void DrawGlossyFill(cls::TBitmap& bitmap, const RECT& r, cls::TColor color, bool background,
                    TDPBOrientation orientation);
// Tints whole columns (rows when vertical) from r's left (top) toward Color.
void DrawMarqueeBand(cls::TBitmap& bitmap, const RECT& r, cls::TColor color, uint8_t size, uint8_t fade,
                     TDPBOrientation orientation);

// The whole bar of r's size, composed off screen and copied to dc at r's
// top left in one operation.
void ComposeProgressBar(cls::TBitmap& out, int w, int h, const ProgressBarLook& look);
void PaintProgressBar(HDC dc, const RECT& r, const ProgressBarLook& look);

// The bar as a control without a window of its own, 150 x 17 by default.
// Its colour is the control's Color (lime by default), its text font the
// control's Font. In marquee mode a timer of its own moves the band.
class TDrawnProgressBar : public cls::TGraphicControl {
public:
    struct Props {
        int Min = 0;
        int Max = 100;
        int Position = 0;
        bool Marquee = false;
        uint8_t MarqueeSize = 40;
        uint8_t MarqueeFade = 30;
        uint8_t MarqueeSpeed = 25;  // milliseconds per step
        bool AltMode = false;
        TDPBOrientation Orientation = vpbHorizontal;
        bool Percentage = false;
        bool ShowPosText = false;
        std::wstring PosTextPrefix;
        std::wstring PosTextSuffix;
    };

    explicit TDrawnProgressBar(cls::TComponent* owner);
    void SetProps(const Props& props);

    int Min() const { return look_.Min; }
    void SetMin(int value);
    int Max() const { return look_.Max; }
    void SetMax(int value);
    int Position() const { return look_.Position; }
    // Kept within Min..Max.
    void SetPosition(int value);
    void AddPosition(int delta) { SetPosition(look_.Position + delta); }
    bool Marquee() const { return look_.Marquee; }
    // The band moves exactly while this is on; it goes on from where it
    // stopped.
    void SetMarquee(bool value);
    uint8_t MarqueeSize() const { return look_.MarqueeSize; }
    void SetMarqueeSize(uint8_t value);
    uint8_t MarqueeFade() const { return look_.MarqueeFade; }
    void SetMarqueeFade(uint8_t value);
    uint8_t MarqueeSpeed() const { return marqueeSpeed_; }
    void SetMarqueeSpeed(uint8_t value);
    bool AltMode() const { return look_.AltMode; }
    void SetAltMode(bool value);
    TDPBOrientation Orientation() const { return look_.Orientation; }
    void SetOrientation(TDPBOrientation value);
    bool Percentage() const { return look_.Percentage; }
    void SetPercentage(bool value);
    bool ShowPosText() const { return look_.ShowPosText; }
    void SetShowPosText(bool value);
    const std::wstring& PosTextPrefix() const { return look_.PosTextPrefix; }
    void SetPosTextPrefix(const std::wstring& value);
    const std::wstring& PosTextSuffix() const { return look_.PosTextSuffix; }
    void SetPosTextSuffix(const std::wstring& value);

    // The band's step, 1 .. MarqueeSize + 100 once the marquee has run.
    int MarqueeStep() const { return look_.MarqueeStep; }
    bool MarqueeTimerRunning() const { return timer_->Enabled(); }
    unsigned MarqueeTimerInterval() const { return timer_->Interval(); }
    // What a paint shows now.
    ProgressBarLook Look() const;

    // The whole bar with its top left corner at (x, y).
    void Draw(HDC dc, int x, int y) const;
    void Paint(HDC dc) override;

private:
    void MarqueeTick();

    ProgressBarLook look_;
    uint8_t marqueeSpeed_ = 25;
    cls::TTimer* timer_;  // owned as a component
};

}  // namespace components
