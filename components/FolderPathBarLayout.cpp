#include "components/FolderPathBarLayout.h"

#include <algorithm>

#include "classlib/Bitmap.h"
#include "classlib/Raii.h"

namespace components {

namespace {

bool IsPressed(TspItemState s) { return s == spButtonPressed || s == spArrowPressed; }

void Line(HDC dc, int x1, int y1, int x2, int y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// Selects a solid pen of a colour for the scope.
class PenScope {
public:
    PenScope(HDC dc, COLORREF color) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, color)) {
        old_ = SelectObject(dc_, pen_.get());
    }
    ~PenScope() { SelectObject(dc_, old_); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    HDC dc_;
    cls::Pen pen_;
    HGDIOBJ old_;
};

}  // namespace

int CalcPathOff(const std::vector<int>& textWidths, bool emptyPath, bool showArrow, int clientWidth) {
    if (emptyPath) return 0;
    // 36 is the root arrow's right edge; End is the last element's.
    int end = kPartsLeft + kArrowWidth;
    for (int w : textWidths) end += w + kPartWidth;
    if (!showArrow) end -= kArrowWidth;
    if (end < clientWidth - 8) return 0;
    int over = end - (clientWidth - 8);
    int hidden = 0;
    while (over > 0 && hidden < static_cast<int>(textWidths.size())) over -= textWidths[hidden++] + kPartWidth;
    return hidden;
}

std::vector<PathBarElement> LayoutPathBar(const std::vector<std::wstring>& parts,
                                          const std::vector<std::wstring>& captions,
                                          const std::vector<int>& textWidths, int pathOff, bool showArrow,
                                          bool emptyPath) {
    const int count = static_cast<int>(std::min({parts.size(), captions.size(), textWidths.size()}));
    pathOff = std::clamp(pathOff, 0, count);
    std::vector<PathBarElement> out;
    std::wstring path;
    for (int j = 0; j < pathOff; ++j) path += parts[j] + L"\\";
    int left = kPartsLeft;
    out.push_back({pathOff - 1, false, true, left, left + kArrowWidth, HomeFolderMarker, L""});
    left += kArrowWidth;
    for (int k = pathOff; k < count; ++k) {
        path += parts[k] + L"\\";
        const std::wstring folder = emptyPath ? std::wstring() : path;
        const int buttonRight = left + textWidths[k] + kButtonPadding;
        out.push_back({k, true, false, left, buttonRight, folder, captions[k]});
        left = buttonRight;
        // The last part has an arrow only when its folder has sub-folders.
        if (k < count - 1 || showArrow) out.push_back({k, false, false, left, left + kArrowWidth, folder, captions[k]});
        left += kArrowWidth;
    }
    return out;
}

int HitElement(const std::vector<PathBarElement>& elements, int x) {
    int hit = -1;
    for (size_t i = 0; i < elements.size(); ++i)
        if (elements[i].Left <= x && x <= elements[i].Right) hit = static_cast<int>(i);
    return hit;
}

int KeyNavEdge(const std::vector<int>& textWidths, int pathOff, int k) {
    int edge = kPartsLeft;
    const int last = std::min(k, static_cast<int>(textWidths.size()) - 1);
    for (int i = std::max(pathOff, 0); i <= last; ++i) edge += textWidths[i] + kPartWidth;
    return edge;
}

POINT FolderIconPos(int clientHeight) { return {kIconLeft, (clientHeight - 16) / 2 + 1}; }

std::vector<COLORREF> GradientRows(cls::TColor c1, cls::TColor c2, int h) {
    std::vector<COLORREF> rows;
    if (h <= 0) return rows;
    const COLORREF a = cls::ColorToRGB(c1), b = cls::ColorToRGB(c2);
    const int a3[3] = {GetRValue(a), GetGValue(a), GetBValue(a)};
    const int b3[3] = {GetRValue(b), GetGValue(b), GetBValue(b)};
    int m3[3];
    // The middle colour lies beyond C2 as seen from C1: the glassy edge.
    for (int i = 0; i < 3; ++i) m3[i] = std::clamp(a3[i] + (b3[i] - a3[i]) * 15 / 9, 0, 255);
    const int half = h / 2;
    rows.reserve(h);
    for (int y = 0; y < h; ++y) {
        int c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = y < half - 1 ? a3[i] + (b3[i] - a3[i]) * y / half : m3[i] + (b3[i] - m3[i]) * y / h;
        rows.push_back(RGB(c[0], c[1], c[2]));
    }
    return rows;
}

void DrawGradient(HDC dc, const RECT& r, cls::TColor c1, cls::TColor c2) {
    const int h = r.bottom - r.top - 1;
    if (h <= 0 || r.right <= r.left) return;
    const std::vector<COLORREF> rows = GradientRows(c1, c2, h);
    cls::TBitmap strip(1, h);
    for (int y = 0; y < h; ++y)
        strip.SetPixel(0, y, cls::MakeBGRA(GetRValue(rows[y]), GetGValue(rows[y]), GetBValue(rows[y])));
    const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, strip.DC(), 0, 0, 1, h, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
}

void DrawArrow(HDC dc, int x, int y, bool down, COLORREF pen) {
    PenScope p(dc, pen);
    if (down) {
        MoveToEx(dc, x + 3, y + 3, nullptr);
        LineTo(dc, x + 7, y + 3);
        LineTo(dc, x + 5, y + 5);
        LineTo(dc, x + 3, y + 3);
        LineTo(dc, x + 6, y + 5);
        Line(dc, x + 2, y + 2, x + 9, y + 2);
    } else {
        MoveToEx(dc, x + 4, y, nullptr);
        LineTo(dc, x + 4, y + 4);
        LineTo(dc, x + 6, y + 2);
        LineTo(dc, x + 4, y);
        LineTo(dc, x + 5, y + 3);
        LineTo(dc, x + 3, y - 1);
        LineTo(dc, x + 3, y + 6);
    }
}

void DrawPart(HDC dc, const RECT& rect, bool isButton, TspItemState state, const std::wstring& text,
              const PathBarColors& colors, cls::TColor fontColor) {
    RECT r = rect;
    if (!isButton) r.left -= 1;  // an arrow's edge line covers its button's
    COLORREF textColor = cls::ColorToRGB(fontColor);
    const bool pressed = IsPressed(state);
    if (state != spNormal) {
        textColor = RGB(0, 0, 0);
        cls::TColor g1, g2, pen;
        if (isButton && state == spArrowHot) {
            // The button of a hot arrow is only hinted at, in grey.
            g1 = colors.C[ciBtnGreyGrad1], g2 = colors.C[ciBtnGreyGrad2], pen = colors.C[ciBtnPenGray];
        } else if (!isButton && state == spArrowHot) {
            g1 = colors.C[ciBtnNormGrad1], g2 = colors.C[ciBtnNormGrad2], pen = colors.C[ciBtnPenNorm];
        } else {
            g1 = colors.C[ciBtnHotGrad1], g2 = colors.C[ciBtnHotGrad2], pen = colors.C[ciBtnPenNorm];
        }
        {
            PenScope p(dc, cls::ColorToRGB(pen));
            Line(dc, r.left, r.top, r.left, r.bottom);
            Line(dc, r.right - 1, r.top, r.right - 1, r.bottom);
        }
        r = {r.left + 2, r.top + 1, r.right - 2, r.bottom - 1};
        if (!pressed) {
            DrawGradient(dc, r, g1, g2);
        } else {
            DrawGradient(dc, {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1}, g1, g2);
            r.top = rect.top;
            r.bottom = rect.bottom;
            {
                // Dark along the left and top, light inside it and along the bottom.
                PenScope p(dc, cls::ColorToRGB(colors.C[ciBtnPenShade1]));
                MoveToEx(dc, r.left - 1, r.bottom - 1, nullptr);
                LineTo(dc, r.left - 1, r.top);
                LineTo(dc, r.right + 1, r.top);
            }
            MoveToEx(dc, r.right, r.top + 1, nullptr);
            PenScope p(dc, cls::ColorToRGB(colors.C[ciBtnPenShade2]));
            LineTo(dc, r.left, r.top + 1);
            LineTo(dc, r.left, r.bottom - 1);
            LineTo(dc, r.right + 1, r.bottom - 1);
        }
    }
    if (isButton) {
        SetBkMode(dc, TRANSPARENT);
        if (pressed) ++r.left, ++r.top, ++r.bottom;
        SetTextColor(dc, textColor);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else {
        const COLORREF pen = state == spNormal ? textColor : cls::ColorToRGB(colors.C[ciBtnPenArrow]);
        DrawArrow(dc, rect.right - 12, (rect.bottom - rect.top - 7) / 2 + 2, pressed, pen);
    }
}

// --- the bar's layout and painting ---------------------------------------------

int TFolderPathBar::TextWidth(const std::wstring& text) const {
    cls::MemoryDC dc;
    HGDIOBJ old = SelectObject(dc.get(), Font().Handle());
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc.get(), old);
    return size.cx;
}

std::vector<int> TFolderPathBar::CaptionWidths() const {
    std::vector<int> widths;
    for (const std::wstring& caption : pathsShow_.Lines()) widths.push_back(TextWidth(caption));
    return widths;
}

int TFolderPathBar::CalcPathOff() const {
    return components::CalcPathOff(CaptionWidths(), path_.empty(), showArrow_, ClientWidth());
}

void TFolderPathBar::HitTest() {
    const std::vector<int> widths = CaptionWidths();
    pathOff_ = components::CalcPathOff(widths, path_.empty(), showArrow_, ClientWidth());
    state_ = spNormal;
    const auto elements = LayoutPathBar(paths_.Lines(), pathsShow_.Lines(), widths, pathOff_, showArrow_, path_.empty());
    const int hit = HitElement(elements, hotPt_.x);
    if (hit < 0) return;
    const PathBarElement& e = elements[hit];
    if (clicked_)
        state_ = e.Button ? spButtonPressed : spArrowPressed;
    else
        state_ = e.Button ? spButtonHot : spArrowHot;
    popupPos_ = ClientToScreen({e.Right - 22, ClientHeight() - 1});
    popupPath_ = e.Path;
    hotPos_ = e.Index;
}

void TFolderPathBar::ComposeView() {
    const int w = ClientWidth(), h = ClientHeight();
    if (w <= 0 || h <= 0) {
        bmp_.SetSize(0, 0);
        return;
    }
    bmp_.SetSize(w, h);
    HDC dc = bmp_.DC();
    const int saved = SaveDC(dc);
    // Declared before any selection, so they outlive it.
    cls::Brush brush(CreateSolidBrush(cls::ColorToRGB(Color())));
    cls::Pen pen(CreatePen(PS_SOLID, 1, cls::ColorToRGB(framed_ ? borderColor_ : Color())));
    if (transparent_) {
        DrawParentBackground(dc);
    } else {
        SelectObject(dc, brush.get());
        SelectObject(dc, pen.get());
        Rectangle(dc, 0, 0, w, h);
    }
    RECT work{0, 0, w, h};
    if (framed_) InflateRect(&work, -1, -1);
    if (!editMode_) {
        if (imageIdx_ != -1 && images_) {
            const POINT at = FolderIconPos(h);
            ImageList_Draw(images_, imageIdx_, dc, at.x, at.y, ILD_TRANSPARENT);
        }
        const auto elements =
            LayoutPathBar(paths_.Lines(), pathsShow_.Lines(), CaptionWidths(), pathOff_, showArrow_, path_.empty());
        auto alive = alive_;
        for (const PathBarElement& e : elements) {
            const RECT r{e.Left, work.top, e.Right, work.bottom};
            const TspItemState st = state_ != spNormal && e.Index == hotPos_ ? state_ : spNormal;
            if (ownerDraw_ && OnOwnerDraw) {
                OnOwnerDraw(this, dc, r, e.Caption, st, e.Button);
                if (!*alive) return;  // the handler freed the bar
            } else {
                SelectObject(dc, Font().Handle());
                DrawPart(dc, r, e.Button, st, e.Caption, colors_, Font().Color());
            }
        }
    }
    RestoreDC(dc, saved);
    GdiFlush();
}

void TFolderPathBar::DrawParentBackground(HDC dc) {
    cls::TWinControl* parent = Parent();
    if (!parent || !parent->HandleAllocated()) return;
    const int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, -Left(), -Top(), nullptr);
    IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
    // The parent paints its background and its own drawing into our DC.
    parent->Perform(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    RestoreDC(dc, saved);
}

void TFolderPathBar::UpdateView() {
    HitTest();
    ComposeView();
    if (!HandleAllocated() || bmp_.Empty()) return;
    HDC dc = GetDC(Handle());
    BitBlt(dc, 0, 0, bmp_.Width(), bmp_.Height(), bmp_.DC(), 0, 0, SRCCOPY);
    ReleaseDC(Handle(), dc);
}

void TFolderPathBar::Paint(HDC dc, const RECT&) {
    HitTest();
    ComposeView();
    if (!bmp_.Empty()) BitBlt(dc, 0, 0, bmp_.Width(), bmp_.Height(), bmp_.DC(), 0, 0, SRCCOPY);
}

void TFolderPathBar::Resize() {
    pathOff_ = CalcPathOff();
    Invalidate();
}

}  // namespace components
