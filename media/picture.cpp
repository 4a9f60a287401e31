#include "media/picture.h"

#include <bit>
#include <map>
#include <vector>

#include "objects/errors.h"
#include "media/picture_pixels.h"
#include "media/picture_region.h"
#include "media/picture_svg.h"

namespace {
const uint16_t kEndOfPicture = 0xFF;
const QdColor kBlack{0, 0, 0}, kWhite{255, 255, 255};

// The Macintosh's first fonts, by number.
const char* FontFamily(int id) {
  static const std::map<int, const char*> kFamilies = {
      {0, "Chicago"}, {1, "Geneva"},    {2, "New York"}, {3, "Geneva"},     {4, "Monaco"},
      {20, "Times"},  {21, "Helvetica"}, {22, "Courier"}, {23, "Symbol"}};
  auto found = kFamilies.find(id);
  return found == kFamilies.end() ? "Geneva" : found->second;
}

// A colour of the eight that version 1 pictures name.
QdColor OldColor(uint32_t value) {
  static const std::map<uint32_t, QdColor> kColors = {
      {30, kWhite},         {69, {255, 255, 0}}, {137, {255, 0, 255}}, {205, {255, 0, 0}},
      {273, {0, 255, 255}}, {341, {0, 255, 0}},  {409, {0, 0, 255}}};
  auto found = kColors.find(value);
  return found == kColors.end() ? kBlack : found->second;
}

QdColor Mix(QdColor ink, QdColor paper, int inkBits) {
  auto channel = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>((a * inkBits + b * (64 - inkBits)) / 64); };
  return {channel(ink.r, paper.r), channel(ink.g, paper.g), channel(ink.b, paper.b)};
}

class PictureDecoder {
 public:
  PictureDecoder(const uint8_t* bytes, size_t length, bool drawing)
      : bytes(bytes), length(length), in(bytes, length), drawing(drawing) {}
  QdPicture Decode();

 private:
  uint16_t NextOpcode();
  bool Step(uint16_t op);
  bool State(uint16_t op);
  bool Text(uint16_t op);
  bool Shape(uint16_t op);
  bool Pixels(uint16_t op);
  bool Reserved(uint16_t op);
  std::vector<QdPoint> ReadPolygon();
  QdVerb Verb(uint16_t op) const { return static_cast<QdVerb>(op & 7); }
  void UpdateColors();

  const uint8_t* bytes;
  size_t length;
  PictureCursor in;
  bool drawing;
  int version = 1;
  SvgCanvas canvas;
  std::string why;
  QdPoint penAt, textAt, oval;
  QdRect last;
  std::vector<QdPoint> lastPolygon;
  std::vector<QdRect> lastRegion;
  QdColor foreground = kBlack, background = kWhite;
  int penInk = 64, fillInk = 64;
  QdTextStyle style;
  std::map<int, std::string> fontNames;
  int font = 0;
};

QdPicture PictureDecoder::Decode() {
  QdPicture picture;
  in.Skip(2);  // the size, which overflows in large pictures
  picture.frame = in.Rect();
  // Version 1 says so in one opcode, version 2 in a word-wide one; a picture
  // with neither is read as version 1.
  if (length >= 12 && LoadBig16(bytes + 10) == 0x1101) {
    in.Skip(2);
  } else if (length >= 14 && LoadBig32(bytes + 10) == 0x001102FF) {
    in.Skip(4);
    version = 2;
  }
  while (!in.Failed()) {
    size_t at = in.Offset();
    uint16_t op = NextOpcode();
    if (in.Failed()) {
      why = "the picture has no end-of-picture opcode";
      break;
    }
    if (op == kEndOfPicture) {
      picture.decoded = true;
      break;
    }
    if (!Step(op)) {
      if (why.empty()) why = Format("opcode 0x%04X at offset %zu is not decoded", op, at);
      break;
    }
    if (in.Failed()) {
      why = Format("the picture ends inside opcode 0x%04X at offset %zu", op, at);
      break;
    }
  }
  if (!picture.decoded && why.empty()) why = "the picture ends before its first opcode";
  picture.stop = why;
  if (drawing) picture.svg = canvas.Document(picture.frame);
  return picture;
}

uint16_t PictureDecoder::NextOpcode() {
  if (version == 1) return in.Byte();
  in.Align();
  return in.Word();
}

bool PictureDecoder::Step(uint16_t op) {
  if (op <= 0x1F || op == 0x0C00) return State(op);
  if (op <= 0x2F) return Text(op);
  if (op == 0x90 || op == 0x91 || op == 0x98 || op == 0x99) return Pixels(op);
  if (op <= 0x8F) return Shape(op);
  return Reserved(op);
}

void PictureDecoder::UpdateColors() {
  canvas.SetColors(Mix(foreground, background, penInk), Mix(foreground, background, fillInk),
                   background);
}

// How much of a pattern is ink, out of 64.
int Ink(PictureCursor& in) {
  const uint8_t* pattern = in.Take(8);
  int bits = 0;
  for (int i = 0; pattern && i < 8; ++i) bits += std::popcount(pattern[i]);
  return bits;
}

QdColor RgbColor(PictureCursor& in) {
  uint16_t r = in.Word(), g = in.Word(), b = in.Word();
  return {static_cast<uint8_t>(r >> 8), static_cast<uint8_t>(g >> 8), static_cast<uint8_t>(b >> 8)};
}

bool PictureDecoder::State(uint16_t op) {
  // Operands of opcodes that change nothing drawn here, by opcode.
  static const std::map<uint16_t, size_t> kSkipped = {
      {0x00, 0}, {0x02, 8}, {0x05, 2}, {0x06, 4}, {0x08, 2}, {0x10, 8},  {0x11, 1}, {0x15, 2},
      {0x16, 2}, {0x17, 0}, {0x18, 0}, {0x19, 0}, {0x1C, 0}, {0x1D, 6},  {0x1E, 0}, {0x1F, 6},
      {0x0C00, 24}};
  if (auto skipped = kSkipped.find(op); skipped != kSkipped.end()) {
    in.Skip(skipped->second);
    return true;
  }
  switch (op) {
    case 0x01:  // the clip region, which every drawing here stays inside of
      in.Skip(std::max(in.Word() - 2, 0));
      return true;
    case 0x03:
      font = in.Short();
      style.family = fontNames.count(font) ? fontNames[font] : FontFamily(font);
      return true;
    case 0x04:
      style.face = in.Byte();
      return true;
    case 0x07:
      canvas.SetPen(in.Point());
      return true;
    case 0x09:
      penInk = Ink(in);
      break;
    case 0x0A:
      fillInk = Ink(in);
      break;
    case 0x0B:
      oval = in.Point();
      return true;
    case 0x0D:
      style.size = in.Short();
      return true;
    case 0x0E:
      foreground = OldColor(in.Long());
      break;
    case 0x0F:
      background = OldColor(in.Long());
      break;
    case 0x1A:
      foreground = RgbColor(in);
      break;
    case 0x1B:
      background = RgbColor(in);
      break;
    default:
      return false;  // the origin and pixel patterns
  }
  UpdateColors();
  return true;
}

bool PictureDecoder::Text(uint16_t op) {
  if (op <= 0x23) {
    QdPoint from = op == 0x20 || op == 0x22 ? in.Point() : penAt;
    QdPoint to = from;
    if (op == 0x20 || op == 0x21) {
      to = in.Point();
    } else {
      to.h += static_cast<int8_t>(in.Byte());
      to.v += static_cast<int8_t>(in.Byte());
    }
    canvas.Line(from, to);
    penAt = to;
    return true;
  }
  if (op == 0x2C) {
    int length = in.Word();
    int id = in.Short();
    int nameLength = in.Byte();
    const uint8_t* name = in.Take(static_cast<size_t>(nameLength));
    if (name) fontNames[id] = std::string(reinterpret_cast<const char*>(name), nameLength);
    in.Skip(std::max(length - 3 - nameLength, 0));
    return true;
  }
  if (op < 0x28 || op > 0x2B) {
    in.Skip(in.Word());
    return true;
  }
  if (op == 0x28) textAt = in.Point();
  if (op == 0x29 || op == 0x2B) textAt.h += in.Byte();
  if (op == 0x2A || op == 0x2B) textAt.v += in.Byte();
  size_t count = in.Byte();
  const uint8_t* text = in.Take(count);
  if (text) canvas.Text(textAt, std::string_view(reinterpret_cast<const char*>(text), count), style);
  return true;
}

std::vector<QdPoint> PictureDecoder::ReadPolygon() {
  int size = in.Word();
  in.Rect();
  std::vector<QdPoint> points;
  for (int i = 0; i < (size - 10) / 4 && !in.Failed(); ++i) points.push_back(in.Point());
  return points;
}

bool PictureDecoder::Shape(uint16_t op) {
  bool same = (op & 0x0F) >= 8, drawn = (op & 7) < 5;
  int kind = op >> 4;
  if (kind <= 6 && !same) last = in.Rect();
  int start = 0, extent = 0;
  if (kind == 6) {
    start = in.Short();
    extent = in.Short();
  }
  if (kind == 7 && !same) lastPolygon = ReadPolygon();
  if (kind == 8 && !same) lastRegion = ReadRegion(in);
  if (!drawn || in.Failed()) return true;
  QdVerb verb = Verb(op);
  switch (kind) {
    case 3:
      canvas.Rect(verb, last);
      break;
    case 4:
      canvas.RoundRect(verb, last, oval);
      break;
    case 5:
      canvas.Oval(verb, last);
      break;
    case 6:
      canvas.Arc(verb, last, start, extent);
      break;
    case 7:
      canvas.Polygon(verb, lastPolygon);
      break;
    default:
      canvas.Region(verb, lastRegion);
      break;
  }
  return true;
}

bool PictureDecoder::Pixels(uint16_t op) {
  PictPixels pixels;
  if (!ReadPixels(in, op, foreground, background, drawing ? &pixels : nullptr, why)) return false;
  if (drawing) canvas.Image(pixels.destination, pixels.image);
  return true;
}

// Opcodes kept for later versions of QuickDraw carry their length, so that
// readers can step over them.
bool PictureDecoder::Reserved(uint16_t op) {
  if (op == 0xA0) {
    in.Skip(2);
  } else if (op == 0xA1) {
    in.Skip(2);
    in.Skip(in.Word());
  } else if ((op >= 0x92 && op <= 0x97) || (op >= 0x9C && op <= 0xAF)) {
    in.Skip(in.Word());
  } else if (op >= 0xB0 && op <= 0xCF) {
  } else if ((op >= 0xD0 && op <= 0xFE) || op >= 0x8100) {
    in.Skip(in.Long());
  } else if (op >= 0x0100 && op <= 0x7FFF) {
    in.Skip(static_cast<size_t>(op >> 8) * 2);
  } else if (op < 0x8000 || op > 0x80FF) {
    return false;  // direct pixels, 0x9A and 0x9B
  }
  return true;
}
}  // namespace

QdPicture DecodePicture(const uint8_t* bytes, size_t length, bool svg) {
  return PictureDecoder(bytes, length, svg).Decode();
}
