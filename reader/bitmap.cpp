#include "reader/bitmap.h"

#include "objects/symbol.h"
#include "packaging/big_endian.h"

namespace {
const size_t kHeaderSize = 16;

struct Header {
  uint32_t rowBytes;
  int32_t width, height;
};

Header ReadHeader(const uint8_t* bytes) {
  auto bound = [&](int at) { return static_cast<int16_t>(LoadBig16(bytes + at)); };
  return {LoadBig16(bytes + 4), bound(14) - bound(10), bound(12) - bound(8)};
}
}  // namespace

bool Bitmap::IsBitmapClass(std::string_view className) {
  return NamesEqualIgnoringCase(className, "bits") || NamesEqualIgnoringCase(className, "mask") ||
         NamesEqualIgnoringCase(className, "cbits");
}

std::optional<Bitmap> Bitmap::Read(std::string_view className, const uint8_t* bytes,
                                   size_t length, int depth) {
  if (!IsBitmapClass(className) || length < kHeaderSize) return std::nullopt;
  Header header = ReadHeader(bytes);
  if (header.width <= 0 || header.height <= 0 ||
      kHeaderSize + uint64_t{header.rowBytes} * header.height > length) {
    return std::nullopt;
  }
  uint64_t room = uint64_t{header.rowBytes} * 8;
  if (!NamesEqualIgnoringCase(className, "cbits")) {
    depth = 1;
  } else if (depth != 1 && depth != 2 && depth != 4 && depth != 8) {
    for (depth = 8; depth > 1 && static_cast<uint64_t>(header.width) * depth > room; depth /= 2) {
    }
  }
  if (static_cast<uint64_t>(header.width) * depth > room) return std::nullopt;
  return Bitmap(bytes + kHeaderSize, header.rowBytes, header.width, header.height, depth);
}

unsigned Bitmap::Pixel(int x, int y) const {
  uint64_t bit = static_cast<uint64_t>(x) * depth;
  uint8_t byte = rows[static_cast<uint64_t>(y) * rowBytes + bit / 8];
  return byte >> (8 - depth - bit % 8) & ((1u << depth) - 1);
}
