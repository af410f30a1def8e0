// The font of a control: name, height, styles and colour, with the GDI
// font made on first use. A control listens to OnChange to redraw.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "classlib/Colors.h"
#include "classlib/Raii.h"

namespace cls {

using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1;
constexpr TFontStyles fsItalic = 2;
constexpr TFontStyles fsUnderline = 4;
constexpr TFontStyles fsStrikeOut = 8;

// The program's font unless a window says otherwise.
constexpr const wchar_t* DefaultFontName = L"Tahoma";
constexpr int DefaultFontHeight = -11;

// The screen's logical pixels per inch, for sizes given in points.
int ScreenPixelsPerInch();

// Font settings of a form resource: what is set overrides the font the
// control would otherwise take from its parent.
struct TFontSpec {
    std::optional<std::wstring> Name;
    std::optional<int> Height;  // pixels; negative means character height
    std::optional<int> Size;    // points; used when Height is not given
    std::optional<TFontStyles> Style;
    std::optional<TColor> Color;
};

class TFont {
public:
    TFont() = default;
    // Copies the attributes only; the listener stays with its control.
    TFont(const TFont& other);
    TFont& operator=(const TFont& other);

    const std::wstring& Name() const { return name_; }
    int Height() const { return height_; }
    int Size() const;
    TFontStyles Style() const { return style_; }
    TColor Color() const { return color_; }
    void SetName(const std::wstring& name);
    void SetStyle(TFontStyles style);
    void SetColor(TColor color);
    void Apply(const TFontSpec& spec);
    bool SameAs(const TFont& other) const;

    // Valid until the next change of name, height or style.
    HFONT Handle() const;

    std::function<void()> OnChange;

private:
    void Changed(bool shapeChanged);

    std::wstring name_ = DefaultFontName;
    int height_ = DefaultFontHeight;
    TFontStyles style_ = 0;
    TColor color_ = clWindowText;
    mutable cls::Font handle_;
};

}  // namespace cls
