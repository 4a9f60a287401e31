#pragma once

#include <string>
#include <vector>

class Bitmap;

// Bitmaps up to this many pixels wide and high are drawn in the report.
constexpr int kLargestDrawnBitmap = 128;

// A bitmap as lines of text, two pixel rows to a line: each character is the
// pixel above and the one below it as a Unicode half block (or a space), and
// each line is framed by '|' so that the paper at its edges shows.
std::vector<std::string> HalfBlockLines(const Bitmap& bitmap);
