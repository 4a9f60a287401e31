#include "media/picture_svg.h"

#include <cmath>
#include <numbers>

#include "objects/errors.h"
#include "media/svg_text.h"

namespace {
std::string ColorText(QdColor color) { return Format("#%02x%02x%02x", color.r, color.g, color.b); }

// The point at `angle` degrees on the oval in `rect`.
std::string ArcPoint(const QdRect& rect, double inset, int angle) {
  double radians = angle * std::numbers::pi / 180;
  double rx = rect.Width() / 2.0 - inset, ry = rect.Height() / 2.0 - inset;
  return Format("%g %g", rect.left + rect.Width() / 2.0 + rx * std::sin(radians),
                rect.top + rect.Height() / 2.0 - ry * std::cos(radians));
}
}  // namespace

void SvgCanvas::SetColors(QdColor pen, QdColor fill, QdColor back) {
  penColor = ColorText(pen);
  fillColor = ColorText(fill);
  background = ColorText(back);
}

std::string SvgCanvas::Paint(QdVerb verb) const {
  switch (verb) {
    case QdVerb::kFrame:
      return Format(" fill=\"none\" stroke=\"%s\" stroke-width=\"%d\"/>\n", penColor.c_str(), pen.h);
    case QdVerb::kPaint:
      return " fill=\"" + penColor + "\"/>\n";
    case QdVerb::kErase:
      return " fill=\"" + background + "\"/>\n";
    case QdVerb::kInvert:
      return " fill=\"#ffffff\" style=\"mix-blend-mode:difference\"/>\n";
    case QdVerb::kFill:
      return " fill=\"" + fillColor + "\"/>\n";
  }
  return "/>\n";
}

void SvgCanvas::Rect(QdVerb verb, const QdRect& rect) {
  double inset = Inset(verb);
  body += Format("<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\"", rect.left + inset,
                 rect.top + inset, std::max(rect.Width() - 2 * inset, 0.0),
                 std::max(rect.Height() - 2 * inset, 0.0));
  body += Paint(verb);
}

void SvgCanvas::RoundRect(QdVerb verb, const QdRect& rect, QdPoint oval) {
  double inset = Inset(verb);
  body += Format("<rect x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" rx=\"%g\" ry=\"%g\"",
                 rect.left + inset, rect.top + inset, std::max(rect.Width() - 2 * inset, 0.0),
                 std::max(rect.Height() - 2 * inset, 0.0), oval.h / 2.0, oval.v / 2.0);
  body += Paint(verb);
}

void SvgCanvas::Oval(QdVerb verb, const QdRect& rect) {
  double inset = Inset(verb);
  body += Format("<ellipse cx=\"%g\" cy=\"%g\" rx=\"%g\" ry=\"%g\"", rect.left + rect.Width() / 2.0,
                 rect.top + rect.Height() / 2.0, std::max(rect.Width() / 2.0 - inset, 0.0),
                 std::max(rect.Height() / 2.0 - inset, 0.0));
  body += Paint(verb);
}

void SvgCanvas::Arc(QdVerb verb, const QdRect& rect, int start, int extent) {
  if (extent < 0) {
    start += extent;
    extent = -extent;
  }
  extent = std::min(extent, 359);
  double inset = Inset(verb);
  std::string arc = Format("M%s A%g %g 0 %d 1 %s", ArcPoint(rect, inset, start).c_str(),
                           rect.Width() / 2.0 - inset, rect.Height() / 2.0 - inset,
                           extent > 180 ? 1 : 0, ArcPoint(rect, inset, start + extent).c_str());
  // Filled, an arc is a wedge from the centre.
  if (verb != QdVerb::kFrame) {
    arc = Format("M%g %g L", rect.left + rect.Width() / 2.0, rect.top + rect.Height() / 2.0) +
          arc.substr(1) + " Z";
  }
  body += "<path d=\"" + arc + "\"";
  body += Paint(verb);
}

void SvgCanvas::Polygon(QdVerb verb, const std::vector<QdPoint>& points) {
  if (points.empty()) return;
  // A framed polygon is open unless its last point is its first.
  body += verb == QdVerb::kFrame ? "<polyline points=\"" : "<polygon points=\"";
  for (size_t i = 0; i < points.size(); ++i) {
    double offset = verb == QdVerb::kFrame ? pen.h / 2.0 : 0;
    body += Format("%s%g,%g", i ? " " : "", points[i].h + offset, points[i].v + offset);
  }
  body += "\"";
  body += Paint(verb);
}

void SvgCanvas::Region(QdVerb verb, const std::vector<QdRect>& rects) {
  if (rects.empty()) return;
  body += "<path d=\"";
  for (const QdRect& r : rects) {
    body += Format("M%d %dh%dv%dh%dZ", r.left, r.top, r.Width(), r.Height(), -r.Width());
  }
  body += "\"";
  body += Paint(verb);
}

void SvgCanvas::Line(QdPoint from, QdPoint to) {
  // The pen hangs below and to the right of the point it is at.
  double dh = pen.h / 2.0, dv = pen.v / 2.0;
  body += Format(
      "<line x1=\"%g\" y1=\"%g\" x2=\"%g\" y2=\"%g\" stroke=\"%s\" stroke-width=\"%d\" "
      "stroke-linecap=\"square\"/>\n",
      from.h + dh, from.v + dv, to.h + dh, to.v + dv, penColor.c_str(), std::max(pen.h, pen.v));
}

void SvgCanvas::Text(QdPoint at, std::string_view macRoman, const QdTextStyle& style) {
  body += Format("<text x=\"%d\" y=\"%d\" font-size=\"%d\" font-family=\"", at.h, at.v, style.size);
  AppendMacRomanXml(body, style.family);
  body += "\"";
  if (style.face & 1) body += " font-weight=\"bold\"";
  if (style.face & 2) body += " font-style=\"italic\"";
  if (style.face & 4) body += " text-decoration=\"underline\"";
  body += " fill=\"" + penColor + "\" xml:space=\"preserve\">";
  AppendMacRomanXml(body, macRoman);
  body += "</text>\n";
}

void SvgCanvas::Image(const QdRect& destination, const PngImage& image) {
  if (image.width == 0 || image.height == 0) return;
  body += Format(
      "<image x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" preserveAspectRatio=\"none\" "
      "style=\"image-rendering:pixelated\" href=\"data:image/png;base64,",
      destination.left, destination.top, destination.Width(), destination.Height());
  body += Base64(EncodePng(image));
  body += "\"/>\n";
}

std::string SvgCanvas::Document(const QdRect& frame) const {
  std::string out = Format(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
      "viewBox=\"%d %d %d %d\">\n",
      std::max(frame.Width(), 0), std::max(frame.Height(), 0), frame.left, frame.top,
      std::max(frame.Width(), 0), std::max(frame.Height(), 0));
  out += body;
  out += "</svg>\n";
  return out;
}
