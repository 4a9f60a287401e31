#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The bitmap that a `bits`, `mask` or `cbits` binary holds: a 16-byte header
// (+4 the bytes a row takes, +8 the bounds as top, left, bottom, right) and
// the rows from +16, top row first, the leftmost pixel in the most
// significant bits.
class Bitmap {
 public:
  // The bitmap of a binary of that class, if its header is possible (bounds
  // not reversed, rows wide enough) and its rows fit in its bytes. `depth` is the bits a pixel of a `cbits` takes, 0 where unknown:
  // then the largest of 8, 4, 2 and 1 that the rows have room for.
  static std::optional<Bitmap> Read(std::string_view className, const uint8_t* bytes,
                                    size_t length, int depth);
  static bool IsBitmapClass(std::string_view className);

  int Width() const { return width; }
  int Height() const { return height; }
  int Depth() const { return depth; }
  unsigned Pixel(int x, int y) const;
  // Black: 1 in `bits` and `mask`, the upper half of the range in `cbits`.
  bool IsInk(int x, int y) const { return Pixel(x, y) >= (1u << depth) / 2; }

 private:
  Bitmap(const uint8_t* rows, uint32_t rowBytes, int width, int height, int depth)
      : rows(rows), rowBytes(rowBytes), width(width), height(height), depth(depth) {}

  const uint8_t* rows;
  uint32_t rowBytes;
  int width, height, depth;
};
