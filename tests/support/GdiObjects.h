// Counts the GDI objects this process holds, by type, from the handle table
// the process environment block points at. GetGuiResources answers 0 under
// Wine, so a leak test cannot ask the system.
#pragma once
#include <array>

namespace testing_support {

// Type numbers as Wine's table records them (not those of Windows: there a
// bitmap is 5).
enum GdiObjectType { gdiDC = 1, gdiRegion = 4, gdiPalette = 8, gdiBitmap = 9, gdiFont = 10, gdiBrush = 16 };

struct GdiObjects {
    std::array<int, 32> ByType{};
    int Total = 0;
    int Bitmaps() const { return ByType[gdiBitmap]; }
};

// Throws std::runtime_error when the process has no table to read.
GdiObjects CountGdiObjects();

}  // namespace testing_support
