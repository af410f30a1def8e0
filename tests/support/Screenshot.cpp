#include "Screenshot.h"

#include "classlib/PngImage.h"

namespace testing_support {

bool CaptureWindow(HWND window, cls::TBitmap& out) {
    RECT r;
    if (!IsWindow(window) || !GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return false;
    out.SetSize(r.right - r.left, r.bottom - r.top);
    out.SetHasAlpha(false);
    // A shown window is copied from its own DC, which under Wine holds what
    // WM_PAINT drew even where other windows cover it; PrintWindow only gets
    // what a window draws for WM_PRINTCLIENT, so it is the fall-back for
    // hidden and minimised windows.
    if (IsWindowVisible(window) && !IsIconic(window)) {
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC dc = GetWindowDC(window);
        if (dc) {
            BOOL ok = BitBlt(out.DC(), 0, 0, out.Width(), out.Height(), dc, 0, 0, SRCCOPY);
            ReleaseDC(window, dc);
            if (ok) return true;
        }
    }
    return PrintWindow(window, out.DC(), 0) != FALSE;
}

bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath) {
    try {
        cls::TBitmap bmp;
        if (!CaptureWindow(window, bmp)) return false;
        cls::TPNGImage(bmp).SaveToFile(pngPath);
        return true;
    } catch (const cls::EInvalidGraphic&) {
        return false;
    }
}

}  // namespace testing_support
