#include "reader/half_blocks.h"

#include "reader/bitmap.h"

std::vector<std::string> HalfBlockLines(const Bitmap& bitmap) {
  // Indexed by ink above, times two, plus ink below.
  static const char* const kBlocks[] = {" ", "\u2584", "\u2580", "\u2588"};
  std::vector<std::string> lines;
  for (int y = 0; y < bitmap.Height(); y += 2) {
    std::string line = "|";
    for (int x = 0; x < bitmap.Width(); ++x) {
      bool below = y + 1 < bitmap.Height() && bitmap.IsInk(x, y + 1);
      line += kBlocks[bitmap.IsInk(x, y) * 2 + below];
    }
    lines.push_back(line + "|");
  }
  return lines;
}
