#pragma once

#include <cstdint>
#include <string>

#include "media/picture_cursor.h"
#include "media/png.h"

struct QdColor {
  uint8_t r = 0, g = 0, b = 0;
};

// The image of a BitsRect, BitsRgn, PackBitsRect or PackBitsRgn opcode: the
// part of the bitmap or indexed pixel map that `source` names, as RGBA, to be
// drawn over `destination`.
struct PictPixels {
  QdRect source, destination;
  PngImage image;
};

// Reads the opcode's operands from just after the opcode. A 1-bit bitmap is
// drawn in the foreground and background colours, and its 0 bits are clear
// in the srcOr mode. False, with `why` set, where the operands are cut short
// or the pixels are of a kind not decoded. Without `out` the operands are
// only read past.
bool ReadPixels(PictureCursor& in, uint16_t opcode, QdColor foreground, QdColor background,
                PictPixels* out, std::string& why);
