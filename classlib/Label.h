// Text without a window, painted by its parent: fits its size to the text
// when AutoSize is on, wraps, aligns, and clears its background unless it
// is transparent. Clickable labels change their font colour on hover
// through OnMouseEnter / OnMouseLeave.
#pragma once
#include <windows.h>

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
    void SetAutoSize(bool value);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    TEllipsisPosition EllipsisPosition() const { return ellipsis_; }
    void SetEllipsisPosition(TEllipsisPosition value);

    void Paint(HDC dc) override;

protected:
    void FontChanged() override;
    void CaptionChanged() override;

private:
    UINT TextFlags() const;
    void AdjustSize();

    bool autoSize_ = true;
    bool wordWrap_ = false;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool transparent_ = false;
    bool showAccelChar_ = true;
    TEllipsisPosition ellipsis_ = epNone;
};

}  // namespace cls
