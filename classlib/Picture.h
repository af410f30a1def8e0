// A picture of any supported kind, chosen by the data's signature rather
// than by the file name, as pictures from the web often lie about theirs.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "classlib/Graphics.h"

namespace cls {

enum class TPictureKind { Unknown, Jpeg, Png, Gif };

TPictureKind DetectPictureKind(std::string_view data);

class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture& other);
    TPicture& operator=(const TPicture& other);
    TPicture(TPicture&&) noexcept = default;
    TPicture& operator=(TPicture&&) noexcept = default;

    // Null while empty.
    TGraphic* Graphic() const { return graphic_.get(); }
    void SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }
    template <typename T>
    T* As() const { return dynamic_cast<T*>(graphic_.get()); }

    // These raise EInvalidGraphic for unreadable or unknown data and then
    // keep the previous picture.
    void LoadFromFile(const std::wstring& fileName);
    void LoadFromStream(std::string_view data);
    // A resource of the module, by default of type RCDATA.
    void LoadFromResource(HINSTANCE instance, const wchar_t* name, const wchar_t* type = RT_RCDATA);
    void Clear() { graphic_.reset(); }

    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    bool Empty() const { return !graphic_ || graphic_->Empty(); }
    void Draw(HDC dc, const RECT& rect) const {
        if (graphic_) graphic_->Draw(dc, rect);
    }

private:
    std::unique_ptr<TGraphic> graphic_;
};

}  // namespace cls
