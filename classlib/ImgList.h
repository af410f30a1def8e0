// A list of same-sized pictures for tool bars, list views and menus, on a
// system image list with 32-bit colour and masks.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "classlib/Colors.h"
#include "classlib/Component.h"
#include "classlib/Raii.h"

namespace cls {

class TGraphic;
class TBitmap;

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool Valid(HIMAGELIST h) { return h != nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};
using ImageList = UniqueResource<HIMAGELIST, ImageListTraits>;

class TImageList : public TComponent {
public:
    struct Props {
        std::wstring Name;
        int Width = 16;
        int Height = 16;
    };

    explicit TImageList(TComponent* owner = nullptr);
    void SetProps(const Props& props);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // A new size empties the list.
    void SetSize(int width, int height);
    HIMAGELIST Handle();
    int Count();

    // Each returns the new image's index, or -1. The list keeps copies:
    // the caller still owns what it passes in.
    int Add(HBITMAP image, HBITMAP mask = nullptr);
    // Pixels of MaskColor become transparent.
    int AddMasked(HBITMAP image, TColor maskColor);
    // The picture scaled to the list's size, its transparency kept.
    int AddGraphic(const TGraphic& graphic);
    void Delete(int index);

    void Draw(HDC dc, int x, int y, int index, bool enabled = true);
    // The image as a 32-bit picture with its transparency.
    void GetBitmap(int index, TBitmap& out);

private:
    int width_ = 16;
    int height_ = 16;
    ImageList handle_;
};

TImageList* NewImageList(TComponent* owner, const TImageList::Props& props);

}  // namespace cls
