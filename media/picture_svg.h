#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "media/picture_cursor.h"
#include "media/picture_pixels.h"

// What a QuickDraw shape opcode does to its shape.
enum class QdVerb { kFrame, kPaint, kErase, kInvert, kFill };

struct QdTextStyle {
  std::string family = "Geneva";
  int size = 12;
  int face = 0;  // bold 1, italic 2, underline 4, and others drawn plain
};

// A QuickDraw picture drawn as SVG elements, one per drawing opcode. A frame
// is stroked inside its shape, as QuickDraw's pen hangs inside it.
class SvgCanvas {
 public:
  void SetPen(QdPoint size) { pen = size; }
  void SetColors(QdColor penColor, QdColor fillColor, QdColor background);

  void Rect(QdVerb verb, const QdRect& rect);
  void RoundRect(QdVerb verb, const QdRect& rect, QdPoint oval);
  void Oval(QdVerb verb, const QdRect& rect);
  // Angles in degrees, clockwise from twelve o'clock.
  void Arc(QdVerb verb, const QdRect& rect, int start, int extent);
  void Polygon(QdVerb verb, const std::vector<QdPoint>& points);
  // A region as the rectangles that make it up.
  void Region(QdVerb verb, const std::vector<QdRect>& rects);
  void Line(QdPoint from, QdPoint to);
  void Text(QdPoint at, std::string_view macRoman, const QdTextStyle& style);
  void Image(const QdRect& destination, const PngImage& image);

  // The whole SVG file, its view box the picture's frame.
  std::string Document(const QdRect& frame) const;

 private:
  std::string Paint(QdVerb verb) const;
  double Inset(QdVerb verb) const { return verb == QdVerb::kFrame ? pen.h / 2.0 : 0; }

  std::string body;
  QdPoint pen{1, 1};
  std::string penColor = "#000000", fillColor = "#000000", background = "#ffffff";
};
