// QuickDraw pictures as packages hold them, some cut short or holding
// opcodes this decoder does not draw: each says where and why it stops, and
// opcodes kept for later versions are stepped over by the lengths they carry.

#include "media/picture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A picture of frame (0, 0, 10, 20): its size word, the frame, the version
// opcode and then `ops`.
std::string Version1(const std::string& ops) { return std::string("\0\0\0\0\0\0\0\x0a\0\x14\x11\x01", 12) + ops; }
std::string Version2(const std::string& ops) { return std::string("\0\0\0\0\0\0\0\x0a\0\x14\0\x11\x02\xff", 14) + ops; }
std::string Bytes(std::initializer_list<int> bytes) {
  std::string all;
  for (int b : bytes) all += static_cast<char>(b);
  return all;
}

QdPicture Decode(const std::string& bytes, bool svg = false) {
  return DecodePicture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), svg);
}

struct Row {
  const char* title;
  std::string bytes;
  const char* stop;  // empty where the picture is decoded to its end
};

}  // namespace

TEST(PictureTest, EachPictureStopsWhereItSays) {
  const Row kRows[] = {
      {"version 1, nothing drawn", Version1("\xff"), ""},
      {"version 2, nothing drawn", Version2(Bytes({0x00, 0xff})), ""},
      {"no end-of-picture opcode", Version1(""), "the picture has no end-of-picture opcode"},
      {"too short for its frame", std::string("\0\0\0\0", 4), "the picture ends before its first opcode"},
      {"a rectangle cut short", Version1(Bytes({0x30, 0, 0})), "the picture ends inside opcode 0x0030 at offset 12"},
      {"a pixel pattern", Version1(Bytes({0x12, 0xff})), "opcode 0x0012 at offset 12 is not decoded"},
      {"direct pixels", Version2(Bytes({0x00, 0x9a, 0x00, 0xff})), "opcode 0x009A at offset 14 is not decoded"},
      // Reserved opcodes: a word of length, none, a long of length, a length
      // in the opcode's high byte, none; then the comments.
      {"reserved opcodes stepped over",
       Version2(Bytes({0x00, 0x92, 0x00, 0x02, 0xaa, 0xbb, 0x00, 0xb0, 0x00, 0xd0, 0x00, 0x00, 0x00, 0x02, 0xaa,
                       0xbb, 0x02, 0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0x80, 0x00, 0x81, 0x00, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0xa0, 0x00, 0x01, 0x00, 0xa1, 0x00, 0x01, 0x00, 0x02, 0xaa, 0xbb, 0x00, 0xff})),
       ""},
      {"a reserved opcode longer than the picture", Version2(Bytes({0x00, 0xd0, 0x7f, 0xff, 0xff, 0xff, 0x00, 0xff})),
       "the picture ends inside opcode 0x00D0 at offset 14"},
      // Version 2 opcodes start on even offsets: the odd byte after one
      // byte of operand is skipped.
      {"an opcode aligned after an odd operand", Version2(Bytes({0x00, 0x04, 0x01, 0x00, 0x00, 0xff})), ""},
      {"a text opcode of its own length", Version2(Bytes({0x00, 0x2e, 0x00, 0x02, 0xaa, 0xbb, 0x00, 0xff})), ""},
  };
  for (const Row& row : kRows) {
    QdPicture picture = Decode(row.bytes);
    EXPECT_EQ(picture.stop, row.stop) << row.title;
    EXPECT_EQ(picture.decoded, *row.stop == '\0') << row.title;
  }
  QdPicture framed = Decode(Version1("\xff"));
  EXPECT_EQ(framed.frame.bottom, 10);
  EXPECT_EQ(framed.frame.right, 20);
}

// Text takes the family the picture names for its font number, else the
// Macintosh's own family of that number.
TEST(PictureTest, TextTakesItsFontsFamily) {
  const std::string text = Bytes({0x28, 0, 5, 0, 5, 2, 'h', 'i'});
  const std::string named = Bytes({0x2c, 0, 8, 0, 200, 5, 'T', 'a', 'h', 'o', 'e', 0x03, 0, 200});
  std::string svg = Decode(Version1(named + text + "\xff"), true).svg;
  EXPECT_NE(svg.find("font-family=\"Tahoe\""), std::string::npos) << svg;
  svg = Decode(Version1(Bytes({0x03, 0, 21}) + text + "\xff"), true).svg;
  EXPECT_NE(svg.find("font-family=\"Helvetica\""), std::string::npos) << svg;
  svg = Decode(Version1(Bytes({0x03, 0, 99}) + text + "\xff"), true).svg;
  EXPECT_NE(svg.find("font-family=\"Geneva\""), std::string::npos) << svg;
}
