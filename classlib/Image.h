// A picture without a window: bitmap, JPEG, PNG or GIF, drawn as it is,
// stretched, scaled to fit or centred. With Animate on, a timer steps an
// animated picture through its frames at their own delays.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "classlib/Controls.h"
#include "classlib/Picture.h"
#include "classlib/Timer.h"

namespace cls {

// Where a picture of the given size goes in a control of the given size.
RECT ImageDestRect(SIZE picture, SIZE client, bool stretch, bool proportional, bool center);
// The delay shown for a frame: pictures that ask for none (or nearly none)
// would otherwise spin as fast as the timer can go.
unsigned FrameDelay(int delayMs);

class TImage : public TGraphicControl {
public:
    struct Props {
        bool Stretch = false;
        bool Proportional = false;  // scaled down to fit, keeping its shape
        bool Center = false;
        bool Transparent = false;
        bool AutoSize = false;
        bool Animate = false;
    };

    explicit TImage(TComponent* owner);
    ~TImage() override;
    void SetProps(const Props& props);

    const TPicture& Picture() const { return picture_; }
    TGraphic* Graphic() const { return picture_.Graphic(); }
    // Throws EInvalidGraphic for a file that is not a picture.
    void LoadFromFile(const std::wstring& fileName);
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    void AssignPicture(const TPicture& picture);
    void Clear();

    bool Stretch() const { return stretch_; }
    bool Proportional() const { return proportional_; }
    bool Center() const { return center_; }
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool AutoSize() const { return autoSize_; }
    bool Animate() const { return animate_; }
    void SetAnimate(bool value);

    void Paint(HDC dc) override;

private:
    void PictureChanged();
    void UpdateAnimation();
    void NextFrame();

    TPicture picture_;
    bool stretch_ = false;
    bool proportional_ = false;
    bool center_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
    bool animate_ = false;
    std::unique_ptr<TTimer> timer_;
};

}  // namespace cls
