#include "media/picture_pixels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "objects/errors.h"

namespace {
// Enough for any screen the pictures were drawn for, and a bound on what
// a few bytes of packed rows can claim.
const uint64_t kMostPixels = 1 << 24;
const uint16_t kPixMapFlag = 0x8000;
const uint16_t kDeviceColorTable = 0x8000;
const int kSrcOr = 1;

struct Layout {
  uint32_t rowBytes = 0;
  int pixelSize = 1;
  bool pixMap = false;
  QdRect bounds;
  std::array<QdColor, 256> palette{};  // by pixel value, for pixels of up to 8 bits
};

QdColor Channel16(uint16_t r, uint16_t g, uint16_t b) {
  return {static_cast<uint8_t>(r >> 8), static_cast<uint8_t>(g >> 8), static_cast<uint8_t>(b >> 8)};
}

// A pixel map's fields after its bounds, and its colour table.
bool ReadPixMap(PictureCursor& in, Layout& layout, std::string& why) {
  in.Skip(2 + 2 + 4 + 4 + 4 + 2);  // version, pack type and size, resolutions, pixel type
  layout.pixelSize = in.Word();
  in.Skip(2 + 2 + 4 + 4 + 4);  // components, plane bytes, table handle, reserved
  if (layout.pixelSize != 1 && layout.pixelSize != 2 && layout.pixelSize != 4 &&
      layout.pixelSize != 8) {
    why = Format("pixels of %d bits are not decoded", layout.pixelSize);
    return false;
  }
  in.Skip(4);  // seed
  bool device = in.Word() & kDeviceColorTable;
  int entries = in.Word() + 1;
  for (int i = 0; i < entries && !in.Failed(); ++i) {
    uint16_t value = in.Word();
    uint16_t r = in.Word(), g = in.Word(), b = in.Word();
    size_t index = device ? static_cast<size_t>(i) : value;
    if (index < layout.palette.size()) layout.palette[index] = Channel16(r, g, b);
  }
  return true;
}

// One row of PackBits: a count n below 128 is followed by n + 1 bytes as
// they are; above, by one byte that stands 257 - n times.
void Unpack(const uint8_t* packed, size_t length, uint8_t* row, size_t rowBytes) {
  size_t out = 0;
  for (size_t i = 0; i < length && out < rowBytes;) {
    int n = static_cast<int8_t>(packed[i++]);
    if (n >= 0) {
      size_t run = std::min<size_t>({static_cast<size_t>(n) + 1, length - i, rowBytes - out});
      std::copy(packed + i, packed + i + run, row + out);
      i += static_cast<size_t>(n) + 1;
      out += run;
    } else if (n != -128 && i < length) {
      size_t run = std::min<size_t>(static_cast<size_t>(1 - n), rowBytes - out);
      std::fill(row + out, row + out + run, packed[i++]);
      out += run;
    }
  }
}

// The rows, or with `rows` null only where they end.
bool ReadRows(PictureCursor& in, bool packed, const Layout& layout, std::vector<uint8_t>* rows) {
  size_t height = static_cast<size_t>(std::max(layout.bounds.Height(), 0));
  if (!packed || layout.rowBytes < 8) {
    const uint8_t* data = in.Take(layout.rowBytes * height);
    if (data && rows) rows->assign(data, data + layout.rowBytes * height);
    return data != nullptr;
  }
  if (rows) rows->assign(layout.rowBytes * height, 0);
  for (size_t y = 0; y < height && !in.Failed(); ++y) {
    size_t count = layout.rowBytes > 250 ? in.Word() : in.Byte();
    const uint8_t* data = in.Take(count);
    if (data && rows) Unpack(data, count, rows->data() + y * layout.rowBytes, layout.rowBytes);
  }
  return !in.Failed();
}

// The part of the rows that `source` names, as an image of the same pixel
// values and depth, with the layout's palette.
PngImage Crop(const Layout& layout, const std::vector<uint8_t>& rows, const QdRect& source,
              bool clearZeros) {
  QdRect part{std::max(source.top, layout.bounds.top), std::max(source.left, layout.bounds.left),
              std::min(source.bottom, layout.bounds.bottom),
              std::min(source.right, layout.bounds.right)};
  PngImage image;
  image.color = PngImage::kIndexed;
  if (part.Width() <= 0 || part.Height() <= 0) return image;
  image.width = static_cast<uint32_t>(part.Width());
  image.height = static_cast<uint32_t>(part.Height());
  const unsigned size = static_cast<unsigned>(layout.pixelSize), mask = (1u << size) - 1;
  image.depth = static_cast<uint8_t>(size);
  for (unsigned value = 0; value <= mask; ++value) {
    const QdColor& color = layout.palette[value];
    image.palette += {static_cast<char>(color.r), static_cast<char>(color.g), static_cast<char>(color.b),
                      static_cast<char>(clearZeros && value == 0 ? 0 : 255)};
  }
  size_t rowBytes = image.RowBytes();
  image.rows.assign(rowBytes * image.height, '\0');
  size_t first = static_cast<size_t>(part.left - layout.bounds.left) * size;
  for (int y = part.top; y < part.bottom; ++y) {
    const uint8_t* row = rows.data() + static_cast<size_t>(y - layout.bounds.top) * layout.rowBytes;
    char* out = image.rows.data() + static_cast<size_t>(y - part.top) * rowBytes;
    if (first % 8 == 0) {
      std::memcpy(out, row + first / 8, rowBytes);
      // Bits past the image's width in its last byte are nobody's pixels.
      if (size_t spare = rowBytes * 8 - image.width * size) out[rowBytes - 1] &= static_cast<char>(0xFF << spare);
      continue;
    }
    for (size_t x = 0, bit = first; x < image.width; ++x, bit += size) {
      unsigned pixel = row[bit / 8] >> (8 - size - bit % 8) & mask;
      size_t at = x * size;
      out[at / 8] = static_cast<char>(out[at / 8] | pixel << (8 - size - at % 8));
    }
  }
  return image;
}
}  // namespace

bool ReadPixels(PictureCursor& in, uint16_t opcode, QdColor foreground, QdColor background,
                PictPixels* out, std::string& why) {
  Layout layout;
  uint16_t rowWord = in.Word();
  layout.pixMap = rowWord & kPixMapFlag;
  layout.rowBytes = rowWord & 0x3FFF;
  layout.bounds = in.Rect();
  layout.palette[0] = background;
  layout.palette[1] = foreground;
  if (layout.pixMap && !ReadPixMap(in, layout, why)) return false;
  QdRect source = in.Rect(), destination = in.Rect();
  int mode = in.Word();
  if (opcode & 1) in.Skip(std::max<int>(in.Word() - 2, 0));  // the mask region
  uint64_t width = static_cast<uint64_t>(std::max(layout.bounds.Width(), 0));
  uint64_t height = static_cast<uint64_t>(std::max(layout.bounds.Height(), 0));
  if (in.Failed() || width * layout.pixelSize > uint64_t{layout.rowBytes} * 8 ||
      width * height > kMostPixels || layout.rowBytes * height > kMostPixels) {
    why = in.Failed() ? "the picture ends inside a bitmap" : "the bitmap's bounds do not fit its rows";
    return false;
  }
  std::vector<uint8_t> rows;
  if (!ReadRows(in, opcode >= 0x98, layout, out ? &rows : nullptr)) {
    why = "the picture ends inside a bitmap's rows";
    return false;
  }
  if (!out) return true;
  out->source = source;
  out->destination = destination;
  out->image = Crop(layout, rows, source, !layout.pixMap && (mode & 0x3F) == kSrcOr);
  return true;
}
