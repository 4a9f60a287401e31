#pragma once

#include <vector>

#include "media/picture_cursor.h"

// A QuickDraw region read from the cursor (its size, its bounds, then for
// any but a rectangle the rows where it changes, each a run of points where
// it starts or stops) as the rectangles that make it up, band by band. A
// region of more rectangles than can be drawn sensibly is its bounds.
std::vector<QdRect> ReadRegion(PictureCursor& in);
