#include "media/picture_region.h"

#include <algorithm>

namespace {
const int kEndMark = 0x7FFF;
const size_t kMostRects = 100000;

// The points of `b` toggled in the sorted set `a`.
std::vector<int> Toggle(const std::vector<int>& a, const std::vector<int>& b) {
  std::vector<int> out;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}
}  // namespace

std::vector<QdRect> ReadRegion(PictureCursor& in) {
  size_t size = in.Word();
  QdRect bounds = in.Rect();
  if (size <= 10 || in.Failed()) return {bounds};
  size_t end = in.Offset() + size - 10;
  std::vector<QdRect> rects;
  std::vector<int> inside;  // where the band above starts and stops, sorted
  int top = bounds.top;
  while (in.Offset() + 2 <= end && !in.Failed()) {
    int y = in.Short();
    if (y == kEndMark) break;
    std::vector<int> points;
    for (int x = in.Short(); x != kEndMark && !in.Failed(); x = in.Short()) points.push_back(x);
    std::sort(points.begin(), points.end());
    for (size_t i = 0; i + 1 < inside.size() && y > top; i += 2) {
      rects.push_back({top, inside[i], y, inside[i + 1]});
    }
    if (rects.size() > kMostRects) {
      rects = {bounds};
      break;
    }
    inside = Toggle(inside, points);
    top = y;
  }
  if (in.Offset() < end) in.Skip(end - in.Offset());
  return rects;
}
