// A container that scrolls its controls up and down when they reach below
// its bottom edge. Controls aligned to the top stack from the top of the
// scrolled area.
#pragma once
#include <windows.h>

#include "classlib/Controls.h"
#include "classlib/Forms.h"

namespace cls {

class TScrollBox : public TCustomControl {
public:
    struct Props {
        TFormBorderStyle BorderStyle = bsSingle;  // bsNone or bsSingle
        int Increment = 8;  // pixels per arrow click
    };

    explicit TScrollBox(TComponent* owner);
    void SetProps(const Props& props);

    int ScrollPos() const { return scrollPos_; }
    // Scrolls so the content's Pos-th pixel row is at the top.
    void SetScrollPos(int pos);
    // The height of everything inside, scrolled or not.
    int ContentHeight() const;
    int Increment = 8;

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    RECT AlignRect() const override;
    void ControlsChanged() override;

private:
    void UpdateScrollBar();

    TFormBorderStyle borderStyle_ = bsSingle;
    int scrollPos_ = 0;
    bool scrolling_ = false;
};

}  // namespace cls
