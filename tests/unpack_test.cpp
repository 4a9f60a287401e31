#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/function_builder.h"
#include "tests/package_builder.h"
#include "tests/test_support.h"
#include "unpack/file_names.h"
#include "unpack/package_folder.h"

namespace {

// Bytes from hex digits; anything else (spaces, the comments' words after
// '|') is left out.
std::string Hex(const std::vector<const char*>& lines) {
  std::string bytes;
  for (const char* line : lines) {
    int half = -1;
    for (const char* c = line; *c && *c != '|'; ++c) {
      int digit = std::isdigit(static_cast<unsigned char>(*c)) ? *c - '0'
                  : *c >= 'A' && *c <= 'F'                     ? *c - 'A' + 10
                                                                : -1;
      if (digit < 0) continue;
      if (half < 0) {
        half = digit;
      } else {
        bytes += static_cast<char>(half << 4 | digit);
        half = -1;
      }
    }
  }
  return bytes;
}

// A version 1 picture with each opcode that is drawn or kept track of.
std::string EveryOpcodePicture() {
  return Hex({
      "0000 0000 0000 0040 0080 1101",          "| size, frame, version 1",
      "01 000A 0000 0000 0040 0080",            "| clip",
      "02 AA55AA55AA55AA55 05 0001 06 00010000", "| background pattern, text mode, space extra",
      "2C 000A 0100 07 4368696361676F",         "| font name 256 Chicago",
      "03 0100 04 03 0D 000C",                  "| font 256, bold italic, size 12",
      "07 0002 0002 08 0008",                   "| pen size, pen mode",
      "09 FFFFFFFFFFFFFFFF 0A 8822882288228822", "| pen and fill patterns",
      "0B 0008 0008 0E 000000CD 0F 0000001E",   "| oval size, red on white",
      "20 0004 0004 0004 0020 21 0010 0020",    "| line, line from",
      "22 0014 0004 08 00 23 00 04",            "| short line, short line from",
      "28 0030 0004 02 3C26 29 10 02 486F",     "| text '<&' at 48,4, then 'Ho' 16 to the right",
      "2A 08 01 21 2B 04 04 01 2E",             "| '!' 8 down, '.' 4 right and down",
      "30 0002 0040 0010 0060 31 0002 0062 0010 0070", "| frame and paint rects",
      "32 0012 0040 0018 0048 33 0012 0048 0018 0050", "| erase and invert rects",
      "34 0012 0050 0018 0058 38",              "| fill rect, frame the same",
      "40 0020 0040 0030 0060 48",              "| round rect, the same",
      "50 0020 0062 0030 0072 58",              "| oval, the same",
      "60 0032 0040 003E 0050 0000 005A 68 00B4 FFA6", "| arc, the same backwards",
      "70 0016 0032 0060 003E 0070 0032 0060 003E 0068 0032 0070", "| framed polygon",
      "71 0016 0032 0060 003E 0070 0032 0060 003E 0068 0032 0070 78", "| painted, framed again",
      "80 0024 0000 0070 0014 0080 0000 0070 0080 7FFF", "| L-shaped region",
      "000A 0078 0080 7FFF 0014 0070 0078 7FFF 7FFF",
      "81 000A 0000 0078 0004 007C 88",         "| rectangular region, the same framed",
      "90 0002 0000 0000 0002 0010 0000 0000 0002 0010 0038 0000 003A 0010 0000 F00F 0FF0",
      "91 0002 0000 0000 0002 0010 0000 0000 0002 0010 003A 0000 003C 0010 0001 000A 0000 0000 0002 0010 AAAA 5555",
      "98 0008 0000 0000 0002 0040 0000 0000 0002 0040 003C 0000 003E 0040 0000",
      "02 F9AA 09 07 0102030405060708",           "| packed rows",
      "99 0008 0000 0000 0001 0040 0000 0000 0001 0040 003E 0000 003F 0040 0001 000A 0000 0000 0001 0040",
      "02 F9FF",
      "A0 0001 A1 0064 0002 ABCD FF",           "| comments, end",
  });
}

// Version 2: a 4 x 4 pixel map of two colours, at 8 bits a pixel.
std::string PixelMapPicture() {
  return Hex({
      "0000 0000 0000 0004 0004 0011 02FF",
      "0C00 FFFE 0000 0048 0000 0048 0000 0000 0000 0004 0004 0000 0000",
      "001A FFFF 0000 0000 001B 0000 0000 FFFF 001F 0000 0000 0000",
      "0098 8004 0000 0000 0004 0004 0000 0000 00000000 00480000 00480000",
      "0000 0008 0001 0008 00000000 00000000 00000000",
      "00000000 0000 0001 0000 FFFF FFFF FFFF 0001 1111 2222 3333",
      "0000 0000 0004 0004 0000 0000 0004 0004 0000",
      "00010001 01000100 00010001 01000100",
      "00FF",
  });
}

// A picture that moves its origin, which is not decoded: drawn up to there.
std::string OriginPicture() {
  return Hex({"0000 0000 0000 0010 0010 1101 30 0000 0000 0008 0008 0C 0004 0004 FF"});
}

Built MediaPackage() {
  PackageObjects o;
  auto binary = [&](const char* className, const std::string& bytes) {
    return o.New({"", 0x40, {o.Sym(className)}, bytes});
  };
  auto ring = [](int x, int y, int inner) {
    int d = (2 * x - 15) * (2 * x - 15) + (2 * y - 15) * (2 * y - 15);
    return d < 14 * 14 && d >= inner * inner;
  };
  std::string icon = o.Frame({{"bits", binary("bits", BitmapBytes(16, 16, 1, [&](int x, int y) { return ring(x, y, 8); }))},
                              {"mask", binary("mask", BitmapBytes(16, 16, 1, [&](int x, int y) { return ring(x, y, 0); }))}});
  std::string shades = o.Frame({{"cbits", binary("cbits", BitmapBytes(8, 4, 4, [](int x, int y) { return x + 8 * (y % 2); }))},
                                {"bitDepth", 16u}});
  std::string ramp;
  for (int i = 0; i < 1000; ++i) ramp += static_cast<char>(i % 256);
  auto sound = [&](Ref rate, uint32_t dataType, uint32_t compression) {
    return o.Frame({{"sndFrameType", o.Sym("simpleSound")}, {"samples", binary("samples", ramp)},
                    {"samplingRate", rate}, {"dataType", dataType << 2}, {"compressionType", compression << 2}});
  };
  std::string realRate = binary("real", Hex({"40D5BC8000000000"}));  // 22258
  std::string fixedRate = binary("fixed", Hex({"56EE8BA3"}));  // 22254.5, as 16.16
  std::string sounds = o.Frame({{"hit", sound(11025u << 2, 1, 0)}, {"long", sound(realRate, 2, 0)},
                                {"squeezed", sound(8000u << 2, 1, 1)}, {"fixed", sound(fixedRate, 1, 0)}});
  std::string pictures = o.New({"", 0x41, {2u, binary("picture", EveryOpcodePicture()),
                                          binary("picture", PixelMapPicture()), binary("picture", OriginPicture())}, ""});
  std::string root = o.Frame({{"icon", icon}, {"shades", shades}, {"sounds", sounds},
                              {"book", o.Frame({{"contents", pictures}})},
                              {"font", binary("sfnt", Hex({"00010000 0000 0000 0000 0000"}))},
                              {"native", binary("code", Hex({"E1A0F00E"}))},
                              {"label", binary("string.nohint", Utf16("No hint"))}});
  return o.Package(root, false);
}

}  // namespace

// Every file of a package's folder opens in a real reader: PNG (each chunk's
// CRC, zlib, and the pixels against the JSON's rows), WAV (rate and frames
// against the JSON), SVG (an XML parser), and the others byte for byte what
// --extract gives.
TEST(UnpackTest, EveryFileOpensInARealReader) {
  TempDir dir;
  // The page test opens the same package, kept as a file.
  if (MediaPackage().bytes != ReadFile(GOLDEN_DIR "/media.pkg")) WriteFile("media.actual", MediaPackage().bytes);
  ASSERT_EQ(MediaPackage().bytes, ReadFile(GOLDEN_DIR "/media.pkg")) << "the package is in media.actual";
  WriteFile(dir / "media.pkg", MediaPackage().bytes);
  ToolResult run = RunTool(PKGINSPECT_PATH, dir.Path(), {"--unpack", "out", "media.pkg"}, "pkginspect");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir / "out/media/index.tsv"), ReadFile(GOLDEN_DIR "/media.index.tsv"));
  EXPECT_EQ(ReadFile(dir / "out/media/book.contents[0].svg"), ReadFile(GOLDEN_DIR "/every_opcode.svg"));
  // The folder's program is the package's source, which builds it again.
  EXPECT_EQ(ReadFile(dir / "out/media/package.ns"), InspectBytes(MediaPackage().bytes, InspectMode::kSource).out);
  ExpectRebuiltFromSource(MediaPackage().bytes);
  if (!*PYTHON_PATH) GTEST_SKIP() << "Python 3 was not found: the files are not opened";
  std::vector<std::string> args = {CHECK_UNPACK_SCRIPT, dir / "out/media", dir / "media.pkg"};
  if (IsWrapped()) args.push_back(TOOL_WRAPPER);
  args.push_back(PKGINSPECT_PATH);
  ToolResult check = RunTool(PYTHON_PATH, dir.Path(), args, "python3");
  EXPECT_EQ(check.status, 0) << check.out << check.err;
}

// Names from the package never lead out of its folder: every binary is
// written once, inside it, under a name no other file has in any letter
// case; and nothing there is replaced without --force.
TEST(UnpackTest, HostileNamesStayInTheFolder) {
  const std::vector<std::string> names = {
      "../up", "/etc/passwd", "a\\b", "C:x", "CON", "nul.txt", "com1", "a\x01" "b\x7f",
      std::string(300, 'n'), "Same", "same", ".hidden", "-rf", "\xE9t\xE9"};
  PackageObjects o;
  std::vector<std::pair<std::string, Ref>> slots;
  for (const std::string& name : names) slots.push_back({name, o.New({"", 0x40, {o.Sym("data")}, name})});
  slots.push_back({"..", o.Frame({{"..", o.New({"", 0x40, {o.Sym("data")}, "deep"})}})});
  TempDir dir;
  std::string bytes = o.Package(o.Frame(slots), false).bytes;
  WriteFile(dir / "hostile.pkg", bytes);
  WriteFile(dir / "..pkg", bytes);
  std::vector<std::string> args = {"--unpack", "out", "hostile.pkg", "./hostile.pkg", "..pkg"};
  ToolResult run = RunTool(PKGINSPECT_PATH, dir.Path(), args, "pkginspect");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ListDir(dir.Path()), (std::vector<std::string>{"..pkg", "hostile.pkg", "out"}));
  EXPECT_EQ(ListDir(dir / "out"), (std::vector<std::string>{"_._", "hostile", "hostile~2"}));
  for (const char* folder : {"out/_._", "out/hostile", "out/hostile~2"}) {
    std::set<std::string> lower;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / folder)) {
      std::string name = entry.path().filename().string();
      EXPECT_TRUE(entry.is_regular_file()) << name;
      EXPECT_LT(name.size(), 255u);
      std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
      EXPECT_TRUE(lower.insert(name).second) << name;
    }
    EXPECT_EQ(lower.size(), names.size() + 1 + 3);
  }
  WriteFile(dir / "out/hostile/_CON.bin", "kept");
  ToolResult again = RunTool(PKGINSPECT_PATH, dir.Path(), {"--unpack", "out", "hostile.pkg"}, "pkginspect");
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("--force"), std::string::npos) << again.err;
  EXPECT_EQ(ReadFile(dir / "out/hostile/_CON.bin"), "kept");
  ToolResult forced = RunTool(PKGINSPECT_PATH, dir.Path(), {"--unpack", "out", "--force", "hostile.pkg"}, "pkginspect");
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(ReadFile(dir / "out/hostile/_CON.bin"), "CON");
}

// A path deeper than is sensible to write keeps its end, the part that names
// the object, and its file name stays short.
TEST(UnpackTest, DeepPathsAreCutAtTheirStart) {
  PackageObjects o;
  std::string inner = o.Frame({{"bottom", o.New({"", 0x40, {o.Sym("data")}, "x"})}});
  for (int i = 0; i < 1000; ++i) inner = o.Frame({{"level", inner}});
  Built built = o.Package(inner, false);
  PackageFolder folder("deep.pkg", FileBytes(std::vector<uint8_t>(built.bytes.begin(), built.bytes.end())), nullptr);
  const UnpackedFile& bottom = folder.Files().back();
  EXPECT_TRUE(bottom.path.starts_with("....level.level")) << bottom.path.substr(0, 20);
  EXPECT_TRUE(bottom.path.ends_with(".level.bottom"));
  EXPECT_LT(bottom.path.size(), 4200u);
  EXPECT_EQ(bottom.name, SafeStem(bottom.path) + ".bin");
}

TEST(UnpackTest, FileNamesAreSafeAndDistinct) {
  const std::pair<const char*, const char*> stems[] = {
      {"icon.bits", "icon.bits"}, {"../x", "_.._x"}, {"a/b\\c:d", "a_b_c_d"}, {"", "_"},
      {"LPT9.x", "_LPT9.x"}, {"a.", "a._"}, {"COM10", "COM10"}, {"aux", "_aux"}, {"x\ny", "x_y"},
      // A long path loses its middle: its end says what the file is.
      {"theForm.stepAllocateContext[3].menuLeftButtons[0].protoViews[0].stepChildren[17].menuRightButtons[0]._proto.icon",
       "theForm.stepAllocateContext[3].m...0].protoViews[0].stepChildren[17].menuRightButtons[0]._proto.icon"}};
  for (const auto& [text, stem] : stems) EXPECT_EQ(SafeStem(text), stem) << text;
  FileNames names;
  names.Reserve("index.tsv");
  EXPECT_EQ(names.Next("INDEX", "tsv"), "INDEX~2.tsv");
  EXPECT_EQ(names.Next("a", "png"), "a.png");
  EXPECT_EQ(names.Next("A", "png"), "A~2.png");
  EXPECT_EQ(names.Next("a", "png"), "a~3.png");
  EXPECT_EQ(IndentedJson(R"({"a":[1,{}],"b":"x,{\"}","c":[[1,"]"],[]]})"),
            "{\n  \"a\": [\n    1,\n    {}\n  ],\n  \"b\": \"x,{\\\"}\",\n  \"c\": [\n    [1,\"]\"],\n    []\n  ]\n}");
}

// The report says beside each sound and picture what it holds, and why a
// picture is not drawn.
TEST(UnpackTest, TheReportDescribesEachSoundAndPicture) {
  std::string report = InspectBytes(MediaPackage().bytes).out;
  std::string descriptions;
  for (size_t at = 0; (at = report.find("// ", at)) != std::string::npos; at = report.find('\n', at)) {
    std::string line = report.substr(at + 3, report.find('\n', at) - at - 3);
    if (line.rfind("sound: ", 0) == 0 || line.rfind("picture: ", 0) == 0) descriptions += line + "\n";
  }
  EXPECT_EQ(descriptions,
            "sound: 11025 Hz, 8 bits, 1000 samples, 0.09 s\n"
            "sound: 22258 Hz, 16 bits, 500 samples, 0.02 s\n"
            "sound: compressed\n"
            "sound: 22255 Hz, 8 bits, 1000 samples, 0.04 s\n"
            "picture: bounds 0 0 64 128, decoded\n"
            "picture: bounds 0 0 4 4, decoded\n"
            "picture: bounds 0 0 16 16, not decoded: opcode 0x000C at offset 21 is not decoded\n");
}
