// A button without a window, painted by its parent: raised, or flat with a
// frame only while the mouse is over it.
#pragma once
#include <windows.h>

#include <string>

#include "classlib/Controls.h"

namespace cls {

class TSpeedButton : public TGraphicControl {
public:
    struct Props {
        std::wstring Caption;
        bool Flat = false;
    };

    explicit TSpeedButton(TComponent* owner);
    void SetProps(const Props& props);

    bool Flat() const { return flat_; }
    // The mouse is over it / the left button is held on it.
    bool Hot() const { return hot_; }
    bool Pressed() const { return pressed_; }

    void Paint(HDC dc) override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;
    void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void DoClick() override;

private:
    bool flat_ = false;
    bool hot_ = false;
    bool pressed_ = false;
};

}  // namespace cls
