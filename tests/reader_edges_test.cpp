// Values at the edges of what the report and the JSON show: escapes,
// infinities, signs, offsets, and bitmaps whose rows are wider than their
// width, shorter than their header says, or as wide as a drawing may be.

#include <gtest/gtest.h>

#include "tests/function_builder.h"
#include "tests/test_support.h"

namespace {

// A bitmap's 16-byte header: rows of `rowBytes`, bounds 0, 0, height, width.
std::string BitmapHeader(int rowBytes, int width, int height) {
  std::string header(16, '\0');
  header[5] = static_cast<char>(rowBytes);
  header[12] = static_cast<char>(height >> 8), header[13] = static_cast<char>(height);
  header[14] = static_cast<char>(width >> 8), header[15] = static_cast<char>(width);
  return header;
}

// A package whose root holds one frame of the slots given, each a binary of
// its class or an integer.
Built Values(const std::vector<std::tuple<std::string, std::string, std::string>>& binaries,
             std::vector<std::pair<std::string, Ref>> more = {}) {
  PackageObjects objects;
  for (const auto& [name, cls, bytes] : binaries) {
    more.emplace_back(name, objects.New({"", 0x40, {objects.Sym(cls)}, bytes}));
  }
  return objects.Package(objects.Frame(more), false);
}

}  // namespace

TEST(ReaderEdgesTest, JsonEscapesInfinitiesSignsAndOffsets) {
  Built built = Values({{"text", "string", Utf16("a\tb")},
                        {"far", "real", std::string("\x7F\xF0\0\0\0\0\0\0", 8)}},
                       {{"numArgs", static_cast<uint32_t>(-1) << 2}});
  Inspection json = InspectBytes(built.bytes, InspectMode::kJson);
  EXPECT_EQ(json.status, 0) << json.err;
  // A raw tab is no JSON; a string says where it lies.
  EXPECT_NE(json.out.find("\"text\":{\"string\":\"a\\u0009b\",\"offset\":"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"far\":{\"real\":\"Infinity\"}"), std::string::npos);
  EXPECT_NE(json.out.find("\"numArgs\":-1"), std::string::npos);
  // A file name's bytes that are no UTF-8, as the overlong C0 AF that a loose
  // decoder takes for '/', are each U+FFFD.
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  Inspect({InspectMode::kJson, "a\xC0\xAF" "b.pkg"}, std::vector<uint8_t>(built.bytes.begin(), built.bytes.end()),
          out, stderr);
  std::fclose(out);
  std::string named(text, size);
  std::free(text);
  EXPECT_EQ(named.rfind("{\"file\":\"a\xEF\xBF\xBD\xEF\xBF\xBD" "b.pkg\",", 0), 0u) << named.substr(0, 40);
}

TEST(ReaderEdgesTest, BitmapRowsAndBounds) {
  const std::string rows("\xFF\x00\x0F\x00", 4);
  Built built = Values({{"wide", "bits", BitmapHeader(2, 8, 2) + rows},
                        {"short", "bits", BitmapHeader(2, 8, 3) + rows},
                        {"widest", "bits", BitmapHeader(16, 128, 1) + std::string(16, '\xFF')},
                        {"tooWide", "bits", BitmapHeader(18, 129, 1) + std::string(18, '\xFF')}});
  Inspection report = InspectBytes(built.bytes);
  EXPECT_EQ(report.status, 0) << report.err;
  // Rows wider than the width needs: only the width is drawn.
  EXPECT_NE(report.out.find("class bits\n            |\u2580\u2580\u2580\u2580\u2588\u2588\u2588\u2588|\n"),
            std::string::npos) << report.out;
  // One row more than the binary holds: no picture, the bytes as they are.
  EXPECT_NE(report.out.find("short: \n            // BINARY OBJECT, size=20, class bits\n            // 00 00"),
            std::string::npos);
  // 128 pixels wide is drawn, 129 is not.
  std::string top;
  for (int i = 0; i < 128; ++i) top += "\u2580";
  EXPECT_NE(report.out.find("class bits\n            |" + top + "|\n"), std::string::npos);
  EXPECT_NE(report.out.find("tooWide: \n            // BINARY OBJECT, size=34, class bits\n            // 00 00"),
            std::string::npos);
  Inspection json = InspectBytes(built.bytes, InspectMode::kJson);
  EXPECT_NE(json.out.find("\"rows\":[\"11111111\",\"00001111\"]"), std::string::npos) << json.out;
}

// A name that a large frame holds twice, past the few keys kept in a list,
// gets the first suffix that no other slot has taken.
TEST(ReaderEdgesTest, RepeatedNamesInALargeFrameGetFreeSuffixes) {
  std::vector<std::pair<std::string, Ref>> slots;
  for (int i = 0; i < 34; ++i) slots.emplace_back(std::string("s").append(std::to_string(i)), static_cast<uint32_t>(i) << 2);
  for (const char* name : {"dup", "dup#2", "dup", "s5"}) slots.emplace_back(name, 0u);
  Built built = Values({}, slots);
  std::string json = InspectBytes(built.bytes, InspectMode::kJson).out;
  EXPECT_NE(json.find("\"s33\":33,\"dup\":0,\"dup#2\":0,\"dup#3\":0,\"s5#2\":0}"), std::string::npos) << json;
}
