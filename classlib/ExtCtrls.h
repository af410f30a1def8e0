// Panels that hold controls, bevel lines and shapes.
#pragma once
#include <windows.h>

#include <string>

#include "classlib/Controls.h"

namespace cls {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// Draws a 3D frame inside Rect and moves Rect in by Width.
void Frame3D(HDC dc, RECT& rect, TColor topLeft, TColor bottomRight, int width);

class TPanel : public TCustomControl {
public:
    struct Props {
        std::wstring Caption;
        TBevelCut BevelOuter = bvRaised;
        TBevelCut BevelInner = bvNone;
        int BevelWidth = 1;
        TAlignment Alignment = taCenter;
    };

    explicit TPanel(TComponent* owner);
    void SetProps(const Props& props);

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return bevelWidth_; }
    TAlignment Alignment() const { return alignment_; }

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint(HDC dc, const RECT& client) override;
    void CaptionChanged() override;
    void FontChanged() override;

private:
    TBevelCut bevelOuter_ = bvRaised;
    TBevelCut bevelInner_ = bvNone;
    int bevelWidth_ = 1;
    TAlignment alignment_ = taCenter;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
    struct Props {
        TBevelShape Shape = bsBox;
        TBevelStyle Style = bsLowered;
    };

    explicit TBevel(TComponent* owner);
    void SetProps(const Props& props);

    TBevelShape Shape() const { return shape_; }
    TBevelStyle Style() const { return style_; }

    void Paint(HDC dc) override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stEllipse, stCircle };

class TShape : public TGraphicControl {
public:
    struct Props {
        TShapeType Shape = stRectangle;
        TColor PenColor = clBlack;
        int PenWidth = 1;
        TColor BrushColor = clWhite;
        bool BrushClear = false;  // outline only
    };

    explicit TShape(TComponent* owner);
    void SetProps(const Props& props);

    TShapeType Shape() const { return shape_; }
    TColor PenColor() const { return penColor_; }
    void SetPenColor(TColor value);
    TColor BrushColor() const { return brushColor_; }

    void Paint(HDC dc) override;

private:
    TShapeType shape_ = stRectangle;
    TColor penColor_ = clBlack;
    int penWidth_ = 1;
    TColor brushColor_ = clWhite;
    bool brushClear_ = false;
};

}  // namespace cls
