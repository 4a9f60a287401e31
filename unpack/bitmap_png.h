#pragma once

#include "media/png.h"
#include "reader/bitmap.h"

// A bitmap as greys of its depth: ink black, as the Newton shows it.
PngImage BitmapImage(const Bitmap& bitmap);
// Whether `mask` is as large as `bits` and inked wherever `bits` is.
bool MaskCovers(const Bitmap& bits, const Bitmap& mask);
// `bits` drawn over `mask`: opaque where the mask is inked, clear elsewhere.
PngImage MaskedImage(const Bitmap& bits, const Bitmap& mask);
