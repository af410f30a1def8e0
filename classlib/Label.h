// Text without a window, painted by its parent: fits its size to the text
// when AutoSize is on, wraps, aligns, and clears its background unless it
// is transparent. Clickable labels change their font colour on hover
// through OnMouseEnter / OnMouseLeave.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "classlib/Controls.h"

namespace cls {

enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TEllipsisPosition { epNone, epEndEllipsis };

class TLabel : public TGraphicControl {
public:
    struct Props {
        std::wstring Caption;
        bool AutoSize = true;
        bool WordWrap = false;
        TAlignment Alignment = taLeftJustify;
        TTextLayout Layout = tlTop;
        bool Transparent = false;
        bool ShowAccelChar = true;  // "&" marks a hot key instead of showing
        TEllipsisPosition EllipsisPosition = epNone;
    };

    explicit TLabel(TComponent* owner);
    void SetProps(const Props& props);

    bool AutoSize() const { return autoSize_; }
    bool WordWrap() const { return wordWrap_; }
    TAlignment Alignment() const { return alignment_; }
    TTextLayout Layout() const { return layout_; }
    bool Transparent() const { return transparent_; }
    bool ShowAccelChar() const { return showAccelChar_; }
    TEllipsisPosition EllipsisPosition() const { return ellipsis_; }

    void Paint(HDC dc) override;

protected:
    void FontChanged() override;
    void CaptionChanged() override;

private:
    UINT TextFlags() const;
    void AdjustSize();
    // The size of a caption that is one line without tabs or a hot key,
    // drawn unshortened: its underline is drawn by the label. Nothing for
    // any other caption.
    std::optional<SIZE> PlainLineExtent(HDC dc) const;
    void DrawUnderline(HDC dc, const RECT& r, UINT flags, SIZE extent) const;

    bool autoSize_ = true;
    bool wordWrap_ = false;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool transparent_ = false;
    bool showAccelChar_ = true;
    TEllipsisPosition ellipsis_ = epNone;
};

}  // namespace cls
