// A progress bar that draws itself: a glossy fill in any colour, horizontal
// or vertical, or in marquee mode a tinted band sliding along the bar, with
// an optional position text in the middle. The drawing is a plain routine
// over a look description, so any device context can show a bar.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "classlib/Bitmap.h"

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
    COLORREF Color = RGB(0, 255, 0);
    HFONT Font = nullptr;  // null: the default GUI font
    COLORREF FontColor = RGB(0, 0, 0);
};

// Colours may name a system colour as 0xFF000000 | COLOR_xxx.
COLORREF ResolveColor(COLORREF color);
// B + (A - B) * P%, per channel (P = 0 gives B, 50 the middle).
COLORREF BlendColors(COLORREF a, COLORREF b, uint8_t percent);

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
void DrawGlossyFill(cls::TBitmap& bitmap, const RECT& r, COLORREF color, bool background,
                    TDPBOrientation orientation);
// Tints whole columns (rows when vertical) from r's left (top) toward Color.
void DrawMarqueeBand(cls::TBitmap& bitmap, const RECT& r, COLORREF color, uint8_t size, uint8_t fade,
                     TDPBOrientation orientation);

// The whole bar of r's size, composed off screen and copied to dc at r's
// top left in one operation.
void ComposeProgressBar(cls::TBitmap& out, int w, int h, const ProgressBarLook& look);
void PaintProgressBar(HDC dc, const RECT& r, const ProgressBarLook& look);

}  // namespace components
