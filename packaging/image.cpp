#include "packaging/image.h"

#include <algorithm>
#include <cstring>

void Image::Cover(size_t size) {
  if (size <= covered) return;
  // The large sizing comes once, after the directory, and only the
  // directory's few bytes move. The runs of large data files are holes.
  Pages grown(size, Pages::kWithHoles);
  if (covered > 0) std::memcpy(grown.Data(), buffer.Data(), covered);
  buffer = std::move(grown);
  covered = size;
}

void Image::Refer(const uint8_t* bytes, size_t count, size_t location, int fd) {
  if (count > 0) referred.push_back({location, {bytes, count, fd}});
}

std::vector<Piece> Image::Pieces(size_t size) const {
  std::vector<Referred> runs = referred;
  // An object reached twice is written twice, at the same place.
  std::sort(runs.begin(), runs.end(),
            [](const Referred& a, const Referred& b) { return a.location < b.location; });
  std::vector<Piece> pieces;
  size_t at = 0;
  for (const Referred& run : runs) {
    if (run.location < at) continue;
    if (run.location > at) pieces.push_back({Data() + at, run.location - at});
    pieces.push_back(run.piece);
    at = run.location + run.piece.count;
  }
  if (at < size) pieces.push_back({Data() + at, size - at});
  return pieces;
}
