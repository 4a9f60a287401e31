#include "media/png.h"

#include <algorithm>

#include "media/byte_string.h"
#include "media/checksums.h"

namespace {
const char kSignature[] = "\x89PNG\r\n\x1a\n";
const size_t kLongestStoredBlock = 65535;

void AppendChunk(std::string& out, const char* type, const std::string& data) {
  AppendBig32(out, static_cast<uint32_t>(data.size()));
  size_t start = out.size();
  out += type;
  out += data;
  const uint8_t* checked = reinterpret_cast<const uint8_t*>(out.data()) + start;
  AppendBig32(out, Crc32(checked, out.size() - start));
}

// A zlib stream of stored blocks.
std::string Stored(const std::string& data) {
  std::string out = "\x78\x01";
  size_t at = 0;
  do {
    size_t length = std::min(kLongestStoredBlock, data.size() - at);
    bool last = at + length == data.size();
    out += static_cast<char>(last ? 1 : 0);
    AppendLittle16(out, static_cast<uint16_t>(length));
    AppendLittle16(out, static_cast<uint16_t>(~length));
    out.append(data, at, length);
    at += length;
  } while (at < data.size());
  AppendBig32(out, Adler32(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
  return out;
}

int SamplesPerPixel(PngImage::Color color) {
  switch (color) {
    case PngImage::kGrey: case PngImage::kIndexed:
      return 1;
    case PngImage::kGreyAlpha:
      return 2;
    case PngImage::kRgb:
      return 3;
    case PngImage::kRgba:
      return 4;
  }
  return 1;
}
}  // namespace

size_t PngImage::RowBytes() const {
  return (static_cast<size_t>(width) * SamplesPerPixel(color) * depth + 7) / 8;
}

std::string EncodePng(const PngImage& image) {
  std::string header;
  AppendBig32(header, image.width);
  AppendBig32(header, image.height);
  header += static_cast<char>(image.depth);
  header += static_cast<char>(image.color);
  header.append(3, '\0');  // deflate, adaptive filters, no interlace
  // Each row is preceded by its filter type, 0: none.
  std::string filtered;
  size_t rowBytes = image.RowBytes();
  filtered.reserve((rowBytes + 1) * image.height);
  for (uint32_t y = 0; y < image.height; ++y) {
    filtered += '\0';
    filtered.append(image.rows, y * rowBytes, rowBytes);
  }
  std::string out(kSignature, 8);
  AppendChunk(out, "IHDR", header);
  if (image.color == PngImage::kIndexed) {
    std::string colors, alphas;
    for (size_t at = 0; at + 4 <= image.palette.size(); at += 4) {
      colors.append(image.palette, at, 3);
      alphas += image.palette[at + 3];
    }
    AppendChunk(out, "PLTE", colors);
    AppendChunk(out, "tRNS", alphas);
  }
  AppendChunk(out, "IDAT", Stored(filtered));
  AppendChunk(out, "IEND", "");
  return out;
}
