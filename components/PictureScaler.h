// Thumbnails of JPEG pictures: decoded at the coarsest JPEG scale that still
// covers the box, shrunk with the aspect ratio kept and centred on a
// background colour. Plain routines without state; GUI thread only.
#pragma once
#include <windows.h>

#include "classlib/Bitmap.h"
#include "classlib/JpegImage.h"

namespace components {

// The decode scale for a picture of fullWidth x fullHeight shown in a box
// of width x height: the coarsest one that still gives at least the box.
cls::TJPEGScale ThumbnailScale(int fullWidth, int fullHeight, int width, int height);

// The largest rectangle at (0, 0) with the proportions of w x h that fits
// into the size of bounds; r is left alone when w or h is below 1.
void FitRect(const RECT& bounds, RECT& r, int w, int h);

// Bilinear resize in place. An empty source gives black pixels of the new
// size; a new size below 1 in either direction leaves the bitmap empty.
void ResampleBitmap(cls::TBitmap& bitmap, int newWidth, int newHeight);

// Bitmap becomes width x height, backColor where the picture does not
// cover it; a box below 1 in either direction leaves it empty. The JPEG's
// decode scale stays changed; a picture that fails to decode at the new
// scale raises cls::EInvalidGraphic.
void MakeJpegThumbnail(cls::TJPEGImage& jpeg, int width, int height, cls::TBitmap& bitmap, COLORREF backColor);
// Works on a copy of a JPEG picture; any other picture is scaled from its
// full-size pixels.
void MakeThumbnail(const cls::TGraphic& graphic, int width, int height, cls::TBitmap& bitmap, COLORREF backColor);

}  // namespace components
