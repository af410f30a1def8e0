// Screenshots of windows for tests: captured into a bitmap and saved as PNG,
// so a failing GUI test can leave a picture of what it saw.
#pragma once
#include <windows.h>
#include <string>

#include "classlib/Bitmap.h"

namespace testing_support {

// The whole window, frame included, at its current size. False when the
// window is gone or cannot be drawn.
bool CaptureWindow(HWND window, cls::TBitmap& out);
// Captures and saves as a 24-bit PNG; false when either step fails.
bool SaveWindowScreenshot(HWND window, const std::wstring& pngPath);

}  // namespace testing_support
