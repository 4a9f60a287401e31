#pragma once

#include <cstdint>
#include <string>

// An image as PNG holds it: `rows` is `height` rows of RowBytes() bytes,
// packed in the colour type and depth given, leftmost pixel first.
struct PngImage {
  enum Color : uint8_t { kGrey = 0, kRgb = 2, kIndexed = 3, kGreyAlpha = 4, kRgba = 6 };
  uint32_t width = 0, height = 0;
  uint8_t depth = 8;  // bits a sample takes: 1, 2, 4 or 8 for grey and indexed, else 8
  Color color = kGrey;
  std::string rows;
  // kIndexed: four bytes, red, green, blue and alpha, for each pixel value.
  std::string palette;

  size_t RowBytes() const;
};

// The PNG file, its image data in stored (uncompressed) deflate blocks: the
// pictures of a package are small, and any decoder reads them.
std::string EncodePng(const PngImage& image);
