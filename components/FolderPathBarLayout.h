// Layout, hit-testing and drawing of the folder path bar, as plain routines
// over the captions' widths and a device context, so they can be checked
// without a window.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "classlib/Colors.h"
#include "components/FolderPathBar.h"

namespace components {

// Fixed geometry, in pixels of the control's client area.
constexpr int kIconLeft = 4;
constexpr int kPartsLeft = 22;     // left edge of the root arrow
constexpr int kArrowWidth = 14;
constexpr int kButtonPadding = 9;  // a button is its text plus this
constexpr int kPartWidth = 23;     // a button and its arrow: text plus this

// One element of the bar: the root arrow, a part's button or its arrow.
struct PathBarElement {
    int Index;    // the part; the root arrow has PathOff - 1
    bool Button;
    bool Root;    // the root arrow
    int Left;     // both edges belong to the element when hit-testing
    int Right;
    std::wstring Path;     // the folder with "\", the HomeFolder marker for the root arrow
    std::wstring Caption;  // the button's caption; an arrow has its button's, the root arrow none
};

// How many leading parts are hidden so that the rest fit ClientWidth.
int CalcPathOff(const std::vector<int>& textWidths, bool emptyPath, bool showArrow, int clientWidth);
// The elements drawn, in layout order from x = 22. The empty path's single
// button stands for the empty path itself, not for a folder named after it.
std::vector<PathBarElement> LayoutPathBar(const std::vector<std::wstring>& parts,
                                          const std::vector<std::wstring>& captions,
                                          const std::vector<int>& textWidths, int pathOff, bool showArrow,
                                          bool emptyPath);
// The element hit at x (on a shared edge the right-hand one); -1 for none.
int HitElement(const std::vector<PathBarElement>& elements, int x);
// The right edge of button K as keyboard navigation measures it (22 when K
// is below PathOff); parts beyond the last are not counted.
int KeyNavEdge(const std::vector<int>& textWidths, int pathOff, int k);
// Top left of the 16 x 16 folder icon.
POINT FolderIconPos(int clientHeight);

// The rows of a glassy gradient H rows high: the upper half runs from C1
// almost to C2, the lower half from beyond C2 back to it.
std::vector<COLORREF> GradientRows(cls::TColor c1, cls::TColor c2, int h);
// The gradient stretched over R (one row short, as the bar always drew it).
void DrawGradient(HDC dc, const RECT& r, cls::TColor c1, cls::TColor c2);
// The small arrow glyph at (X, Y): pointing right, or down.
void DrawArrow(HDC dc, int x, int y, bool down, COLORREF pen);
// One element in its state; the caller has selected the font.
void DrawPart(HDC dc, const RECT& rect, bool isButton, TspItemState state, const std::wstring& text,
              const PathBarColors& colors, cls::TColor fontColor);

}  // namespace components
