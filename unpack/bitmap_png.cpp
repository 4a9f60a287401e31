#include "unpack/bitmap_png.h"

namespace {
// A pixel's grey, in the bitmap's depth: 0 is black.
unsigned Grey(const Bitmap& bitmap, int x, int y) {
  return ((1u << bitmap.Depth()) - 1) - bitmap.Pixel(x, y);
}
}  // namespace

PngImage BitmapImage(const Bitmap& bitmap) {
  PngImage image;
  image.width = static_cast<uint32_t>(bitmap.Width());
  image.height = static_cast<uint32_t>(bitmap.Height());
  image.depth = static_cast<uint8_t>(bitmap.Depth());
  image.color = PngImage::kGrey;
  size_t rowBytes = image.RowBytes();
  image.rows.assign(rowBytes * image.height, '\0');
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      size_t bit = static_cast<size_t>(x) * image.depth;
      image.rows[y * rowBytes + bit / 8] |= static_cast<char>(Grey(bitmap, x, y) << (8 - image.depth - bit % 8));
    }
  }
  return image;
}

bool MaskCovers(const Bitmap& bits, const Bitmap& mask) {
  if (mask.Width() < bits.Width() || mask.Height() < bits.Height()) return false;
  for (int y = 0; y < bits.Height(); ++y) {
    for (int x = 0; x < bits.Width(); ++x) {
      if (bits.IsInk(x, y) && !mask.IsInk(x, y)) return false;
    }
  }
  return true;
}

PngImage MaskedImage(const Bitmap& bits, const Bitmap& mask) {
  PngImage image;
  image.width = static_cast<uint32_t>(bits.Width());
  image.height = static_cast<uint32_t>(bits.Height());
  image.color = PngImage::kGreyAlpha;
  unsigned top = (1u << bits.Depth()) - 1;
  for (int y = 0; y < bits.Height(); ++y) {
    for (int x = 0; x < bits.Width(); ++x) {
      image.rows += static_cast<char>(Grey(bits, x, y) * 255 / top);
      image.rows += static_cast<char>(mask.IsInk(x, y) ? 255 : 0);
    }
  }
  return image;
}
