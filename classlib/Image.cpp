#include "Image.h"

#include <algorithm>

namespace cls {

RECT ImageDestRect(SIZE picture, SIZE client, bool stretch, bool proportional, bool center) {
    double w = picture.cx, h = picture.cy;
    double cw = client.cx, ch = client.cy;
    if (stretch || (proportional && (w > cw || h > ch))) {
        if (proportional && w > 0 && h > 0) {
            double aspect = w / h;
            if (w > h) {
                w = cw;
                h = cw / aspect;
                if (h > ch) {
                    h = ch;
                    w = ch * aspect;
                }
            } else {
                h = ch;
                w = ch * aspect;
                if (w > cw) {
                    w = cw;
                    h = cw / aspect;
                }
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int iw = static_cast<int>(w), ih = static_cast<int>(h);
    int x = 0, y = 0;
    if (center) {
        x = (client.cx - iw) / 2;
        y = (client.cy - ih) / 2;
    }
    return {x, y, x + iw, y + ih};
}

unsigned FrameDelay(int delayMs) { return delayMs < 20 ? 100u : static_cast<unsigned>(delayMs); }

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    width_ = 105;
    height_ = 105;
}

TImage::~TImage() = default;

void TImage::SetProps(const Props& p) {
    stretch_ = p.Stretch;
    proportional_ = p.Proportional;
    center_ = p.Center;
    transparent_ = p.Transparent;
    autoSize_ = p.AutoSize;
    SetAnimate(p.Animate);
    Invalidate();
}

void TImage::LoadFromFile(const std::wstring& fileName) {
    picture_.LoadFromFile(fileName);
    PictureChanged();
}

void TImage::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    picture_.SetGraphic(std::move(graphic));
    PictureChanged();
}

void TImage::AssignPicture(const TPicture& picture) {
    picture_ = picture;
    PictureChanged();
}

void TImage::Clear() {
    picture_.Clear();
    PictureChanged();
}

void TImage::SetTransparent(bool value) {
    transparent_ = value;
    Invalidate();
}

void TImage::SetAnimate(bool value) {
    animate_ = value;
    UpdateAnimation();
}

void TImage::PictureChanged() {
    if (autoSize_ && !picture_.Empty()) SetBounds(left_, top_, picture_.Width(), picture_.Height());
    UpdateAnimation();
    Invalidate();
}

void TImage::UpdateAnimation() {
    TGraphic* g = picture_.Graphic();
    if (!animate_ || !g || g->FrameCount() < 2) {
        timer_.reset();
        return;
    }
    if (!timer_) {
        timer_ = std::make_unique<TTimer>(nullptr);
        timer_->OnTimer = [this](TComponent*) { NextFrame(); };
    }
    timer_->SetEnabled(false);
    timer_->SetInterval(FrameDelay(g->FrameDelayMs(g->Frame())));
    timer_->SetEnabled(true);
}

void TImage::NextFrame() {
    TGraphic* g = picture_.Graphic();
    if (!g || g->FrameCount() < 2) return;
    int next = (g->Frame() + 1) % g->FrameCount();
    g->SetFrame(next);
    timer_->SetEnabled(false);
    timer_->SetInterval(FrameDelay(g->FrameDelayMs(next)));
    timer_->SetEnabled(true);
    Invalidate();
}

void TImage::Paint(HDC dc) {
    if (picture_.Empty()) return;
    RECT r = ImageDestRect({picture_.Width(), picture_.Height()}, {width_, height_}, stretch_, proportional_, center_);
    picture_.Draw(dc, r);
}

}  // namespace cls
