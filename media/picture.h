#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "media/picture_cursor.h"

// A QuickDraw picture (version 1 or 2) drawn as SVG, as far as its opcodes
// are understood: the first opcode that is not ends the drawing there.
struct QdPicture {
  QdRect frame;
  bool decoded = false;  // to the end-of-picture opcode
  std::string stop;      // why it is not, as a sentence
  std::string svg;
};

// Without `svg`, only what the picture holds is worked out, not its drawing.
QdPicture DecodePicture(const uint8_t* bytes, size_t length, bool svg = true);
