#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "reader/faults.h"
#include "reader/laid_out.h"
#include "tests/function_builder.h"
#include "tests/package_builder.h"
#include "tests/test_support.h"

namespace {

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) bytes += {static_cast<char>(c >> 8), static_cast<char>(c)};
  return bytes;
}

// Three parts: NewtonScript objects with a supermap chain, a shared map, a
// cycle and every kind of value; a protocol part; a NOS 1 part aligned to 8.
Built MultiPart() {
  std::vector<Obj> objects = {
      {"root", 0x41, {2u, "top"}, ""},
      {"top", 0x43, {"m1", "str", 0x416u, 0x33u, "real", "list", 0x1Au, "root"}, ""},
      {"m0", 0x41, {0u, 2u, "sa", "sb"}, ""},
      {"m1", 0x41, {0u, "m0", "sc", "sd", "se", "sf", "sg"}, ""},
      {"list", 0x41, {2u, "p1", "p2", "p1", "bits"}, ""},
      {"p1", 0x43, {"pm", 4u}, ""},
      {"p2", 0x43, {"pm", 0xFFFFFFF8u}, ""},
      {"pm", 0x41, {8u, 2u, "sx"}, ""},
      {"str", 0x40, {"string"}, Utf16(u"H\u00e9\n\"") + std::string(2, '\0')},
      {"real", 0x40, {"realClass"}, std::string("\x3F\xF8\0\0\0\0\0\0", 8)},
      {"bits", 0x40, {"bitsClass"}, "\x01\x02"},
  };
  for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "x"}) {
    objects.push_back(Symbol(std::string("s") + name, name));
  }
  objects.push_back(Symbol("string", "String"));
  objects.push_back(Symbol("realClass", "real"));
  objects.push_back(Symbol("bitsClass", "bits"));
  std::vector<Obj> nos1 = {{"root2", 0x41, {2u, "t2"}, ""},
                           {"t2", 0x43, {"m2", "hello"}, ""},
                           {"m2", 0x41, {0u, 2u, "sy"}, ""},
                           Symbol("sy", "y"),
                           Symbol("hello", "hello")};
  return BuildPackage({{0x81, 4, objects, ""},
                       {0x10, 4, {}, std::string("\xE3\xA0\x00\x02\xE1\xA0\xF0\x0E", 8)},
                       {0x81, 8, nos1, ""}},
                      true);
}

}  // namespace

TEST(InspectTest, MultiPartPackageReadsWithoutFault) {
  Built built = MultiPart();
  Inspection report = InspectBytes(built.bytes);
  EXPECT_EQ(report.err, "");
  EXPECT_EQ(report.status, 0);
  EXPECT_EQ(report.out, ReadFile(GOLDEN_DIR "/multipart.report"));
  EXPECT_EQ(InspectBytes(built.bytes, InspectMode::kTree).out,
            ReadFile(GOLDEN_DIR "/multipart.tree"));
  // Both NewtonScript parts, shared and cyclic values, as one piece of source.
  Inspection source = InspectBytes(built.bytes, InspectMode::kSource);
  if (source.out != ReadFile(GOLDEN_DIR "/multipart.ns")) WriteFile("multipart.actual", source.out);
  EXPECT_EQ(source.out, ReadFile(GOLDEN_DIR "/multipart.ns")) << "the output is in multipart.actual";
  ExpectRebuiltFromSource(built.bytes);
}

namespace {
using Labels = std::map<std::string, uint32_t>;
void Set(std::string& bytes, uint32_t at, uint32_t word) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(word >> (24 - 8 * i));
}
}  // namespace

// A package cut short: the objects before the cut are read and shown, and
// each that the cut crosses is a fault, in every output.
TEST(InspectTest, CutPackagesShowTheObjectsBeforeTheCut) {
  JsonChecks json;
  Built whole = MultiPart();
  // Where the last part is cut, and the object the cut crosses.
  const std::pair<uint32_t, const char*> kCuts[] = {
      {whole.at["t2"] + 14, "t2"}, {whole.at["m2"] + 4, "m2"}, {whole.at["hello"] + 1, "hello"}};
  for (const auto& [cut, crossed] : kCuts) {
    std::string bytes = whole.bytes.substr(0, cut);
    Inspection report = InspectBytes(bytes);
    EXPECT_EQ(report.status, 1);
    EXPECT_NE(report.out.find("part 2 objects:"), std::string::npos) << crossed;
    std::vector<uint32_t> faults = report.faultOffsets;
    EXPECT_NE(std::find(faults.begin(), faults.end(), whole.at[crossed]), faults.end()) << crossed << report.err;
    // Part 0, before the cut, is whole.
    EXPECT_EQ(InspectBytes(bytes, InspectMode::kTree).out.substr(0, 200),
              InspectBytes(whole.bytes, InspectMode::kTree).out.substr(0, 200));
    json.Add(bytes);
  }
  json.Run();
}

// Each change returns the offsets of the faults it must cause; none where it
// is harmless.
TEST(InspectTest, CorruptedPackagesReportEachFaultAtItsOffset) {
  const std::pair<const char*, std::function<std::set<uint32_t>(std::string&, Labels&)>> cases[] = {
      {"cut inside the header", [](auto& b, auto&) { b.resize(40); return std::set<uint32_t>{0}; }},
      // The objects before the cut are read; the one it crosses is a fault.
      {"cut short", [](auto& b, auto& at) { b.resize(b.size() - 4); return std::set<uint32_t>{0x1c, 0x74, at["hello"]}; }},
      {"signature", [](auto& b, auto&) { b[7] = '2'; return std::set<uint32_t>{0}; }},
      {"directory past the end", [](auto& b, auto&) {
         Set(b, 44, 0x10000);
         return std::set<uint32_t>{0xc, 0x2c, 0x34, 0x54, 0x74};
       }},
      // A count with no room: no entries read, however many it claims.
      {"part count past the end of the file", [](auto& b, auto&) {
         Set(b, 48, 0x7FFFFFFF);
         return std::set<uint32_t>{0x18, 0x30};
       }},
      {"odd name length", [](auto& b, auto&) { Set(b, 24, 34 << 16 | 9); return std::set<uint32_t>{0x18}; }},
      {"name without terminator", [](auto& b, auto&) { b[148 + 34 + 9] = 'x'; return std::set<uint32_t>{0x18}; }},
      {"part past the end", [](auto& b, auto&) { Set(b, 0x38, 1 << 20); return std::set<uint32_t>{0x34}; }},
      {"overlapping parts", [](auto& b, auto&) { Set(b, 0x54, 0); return std::set<uint32_t>{0x54}; }},
      {"pointer into an object", [](auto& b, auto& at) { Set(b, at["top"] + 12, at["m0"] + 5); return std::set<uint32_t>{at["top"] + 12}; }},
      // Objects of sizes that are no multiple of 4 come before it.
      {"pointer into a later object", [](auto& b, auto& at) { Set(b, at["top"] + 12, at["sx"] + 5); return std::set<uint32_t>{at["top"] + 12}; }},
      {"pointer past the end", [](auto& b, auto& at) { Set(b, at["top"] + 12, 0x7FFFFFF1); return std::set<uint32_t>{at["top"] + 12}; }},
      {"pointer into the header", [](auto& b, auto& at) { Set(b, at["top"] + 12, 0x11); return std::set<uint32_t>{at["top"] + 12}; }},
      {"pointer off the NOS 1 alignment", [](auto& b, auto& at) { Set(b, at["t2"] + 12, at["hello"] + 5); return std::set<uint32_t>{at["t2"] + 12}; }},
      {"object flags", [](auto& b, auto& at) { b[at["p2"] + 3] = 0x42; return std::set<uint32_t>{at["p2"]}; }},
      {"flags with 0x80, as some tools wrote them", [](auto& b, auto& at) {
         b[at["str"] + 3] = '\xC0', b[at["list"] + 3] = '\xC1', b[at["p2"] + 3] = '\xC3';
         return std::set<uint32_t>{};
       }},
      {"flags 0xC2", [](auto& b, auto& at) { b[at["p2"] + 3] = '\xC2'; return std::set<uint32_t>{at["p2"]}; }},
      {"last object one byte past its part", [](auto& b, auto& at) {
         Set(b, at["bitsClass"], (at["end 0"] - at["bitsClass"] + 1) << 8 | 0x40);
         return std::set<uint32_t>{at["bitsClass"]};
       }},
      {"last object's size raised by 4", [](auto& b, auto& at) {
         Set(b, at["bitsClass"], (static_cast<uint8_t>(b[at["bitsClass"] + 2]) + 4) << 8 | 0x40);
         return std::set<uint32_t>{at["bitsClass"]};
       }},
      {"parts overlapping by one byte", [](auto& b, auto& at) {
         Set(b, 0x54, at["end 0"] - at["root"] - 1);
         return std::set<uint32_t>{0x54};
       }},
      {"pointer to the first byte after its part", [](auto& b, auto& at) { Set(b, at["top"] + 12, at["end 0"] + 1); return std::set<uint32_t>{at["top"] + 12}; }},
      {"huge object", [](auto& b, auto& at) { Set(b, at["real"], 0xFFFFFF40); return std::set<uint32_t>{at["real"]}; }},
      {"map names too few", [](auto& b, auto& at) { Set(b, at["m1"], 0x1841); return std::set<uint32_t>{at["top"]}; }},
      {"map not an array", [](auto& b, auto& at) { Set(b, at["top"] + 8, at["hello"] + 1); return std::set<uint32_t>{at["top"] + 8}; }},
      {"map without its supermap element", [](auto& b, auto& at) { Set(b, at["m1"], 0x0C41); return std::set<uint32_t>{at["m1"]}; }},
      {"supermap a string", [](auto& b, auto& at) { Set(b, at["m0"] + 12, at["hello"] + 1); return std::set<uint32_t>{at["m0"] + 12}; }},
      {"supermap loop", [](auto& b, auto& at) { Set(b, at["m0"] + 12, at["m1"] + 1); return std::set<uint32_t>{at["m0"] + 12}; }},
      {"slot name not a symbol", [](auto& b, auto& at) { Set(b, at["m0"] + 16, 4); return std::set<uint32_t>{at["m0"] + 16}; }},
      {"symbol hash", [](auto& b, auto& at) { b[at["sx"] + 15] ^= 1; return std::set<uint32_t>{at["sx"] + 12}; }},
      {"symbol terminator", [](auto& b, auto& at) { b[at["sx"] + 17] = 'y'; return std::set<uint32_t>{at["sx"]}; }},
      {"root not an array", [](auto& b, auto& at) { b[at["root2"] + 3] = 0x43; return std::set<uint32_t>{at["root2"]}; }},
      {"alignment word", [](auto& b, auto& at) { Set(b, at["root2"] + 4, 7); return std::set<uint32_t>{at["root2"] + 4}; }},
      {"creation date", [](auto& b, auto&) { Set(b, 32, 0); return std::set<uint32_t>{}; }},
      {"padding", [](auto& b, auto& at) { b[at["hello"] - 1] = 0; return std::set<uint32_t>{}; }},
      // A map whose header claims less than an object's: nothing read of it, at once.
      {"map pointing into the header", [](auto& b, auto& at) { Set(b, at["top"] + 8, 0x11); return std::set<uint32_t>{at["top"] + 8}; }},
      {"part info past the info data", [](auto& b, auto&) { Set(b, 0x4C, 0x7000u << 16 | 4); return std::set<uint32_t>{0x4C}; }},
  };
  JsonChecks json;
  for (const auto& [what, change] : cases) {
    Built built = MultiPart();
    std::set<uint32_t> expected = change(built.bytes, built.at);
    Inspection inspection = InspectBytes(built.bytes);
    EXPECT_EQ(std::set<uint32_t>(inspection.faultOffsets.begin(), inspection.faultOffsets.end()), expected) << what << "\n" << inspection.err;
    EXPECT_EQ(inspection.status, expected.empty() ? 0 : 1) << what;
    // The source is written of what can be read, never reading past it.
    EXPECT_EQ(InspectBytes(built.bytes, InspectMode::kSource).status, inspection.status) << what;
    json.Add(built.bytes);
  }
  json.Add(MultiPart().bytes);
  json.Run();
}

// Where a damaged package leads the reader to bytes that are no object, it
// reads no more values there than the file holds: a header claiming less
// than an object's own twelve bytes gives none (not four thousand million).
TEST(InspectTest, AnObjectsValuesAreThoseTheFileHolds) {
  Built built = MultiPart();
  uint32_t huge = built.at["real"];
  Set(built.bytes, huge, 0xFFFFFF40);
  Faults none("", nullptr);
  LaidOut package(std::vector<uint8_t>(built.bytes.begin(), built.bytes.end()), none);
  EXPECT_EQ(package.heap.NumberOfRefs(0x10), 0u);  // the header's flags, 0
  EXPECT_EQ(package.heap.NumberOfRefs(huge), (built.bytes.size() - huge - 12) / 4);
}

// Parts that start at the same byte: the first of them is read, on every
// standard library, and the others are named as overlapping it.
TEST(InspectTest, PartsAtOneStartReadTheFirst) {
  std::vector<PartContents> parts;
  for (int i = 0; i < 40; ++i) parts.push_back({0x81, 4, {{std::string("r").append(std::to_string(i)), 0x41, {2u}, ""}}, ""});
  Built built = BuildPackage(parts, false);
  for (int i = 1; i < 40; ++i) built.bytes.replace(52 + 32 * i, 8, built.bytes, 52, 8);
  Inspection inspection = InspectBytes(built.bytes);
  EXPECT_NE(inspection.out.find("part 0 objects:"), std::string::npos);
  EXPECT_EQ(inspection.out.find("objects:"), inspection.out.rfind("objects:"));
  EXPECT_EQ(inspection.err.substr(0, inspection.err.find('\n')).substr(inspection.err.find(": 0x") + 2),
            "0x54: part 1 overlaps part 0");
}

// Each array points twice at the next: printed once each, the listing stays
// in proportion to the file.
TEST(InspectTest, SharingIsPrintedOnce) {
  std::vector<Obj> chain = {{"root", 0x41, {2u, "0"}, ""}};
  for (int i = 0; i < 3000; ++i) {
    std::string next = std::to_string(i + 1);
    chain.push_back({std::to_string(i), 0x41, {2u, next, next}, ""});
  }
  chain.push_back({"3000", 0x41, {2u}, ""});
  Built built = BuildPackage({{0x81, 4, chain, ""}}, false);
  Inspection inspection = InspectBytes(built.bytes);
  EXPECT_EQ(inspection.status, 0);
  EXPECT_LT(inspection.out.size(), 20 * built.bytes.size());
}

// A native module that fifty functions call, and a closure nested in each:
// every output holds the module once and each function's source once, in
// proportion to the package and not to the references.
TEST(InspectTest, WhatFunctionsShareIsWrittenOnce) {
  PackageObjects o;
  std::string code = o.New({"", 0x40, {o.Sym("code")}, std::string(13000, '\x5A')});
  std::string module = o.Frame({{"class", 0x232u}, {"code", code}, {"numArgs", 1u << 2}});
  std::string inner = o.Function({"inner", {"y"}, {}, "get-var 3; push fn:module; invoke 1; return"}, false, true,
                                 {{"module", module}});
  std::vector<std::pair<std::string, Ref>> slots;
  for (int i = 0; i < 50; ++i) {
    FunctionPlan plan{"f", {"a"}, {}, "get-var 3; push fn:module; invoke 1; pop; push fn:inner; return"};
    slots.push_back({std::string("f").append(std::to_string(i)), o.Function(plan, false, true, {{"module", module}, {"inner", inner}})});
  }
  Built built = o.Package(o.Frame(slots), false);
  const std::pair<InspectMode, size_t> bounds[] = {
      {InspectMode::kReport, 8}, {InspectMode::kSource, 8}, {InspectMode::kJson, 12}};
  for (auto [mode, times] : bounds) {
    Inspection inspection = InspectBytes(built.bytes, mode);
    EXPECT_EQ(inspection.status, 0) << inspection.err;
    EXPECT_LT(inspection.out.size(), times * built.bytes.size() + 65536) << static_cast<int>(mode);
    EXPECT_EQ(inspection.out.find("\"cut\""), std::string::npos);
  }
}

// A path that does not lead to a binary object names the step that failed.
TEST(InspectTest, ExtractionNamesTheStepThatFailed) {
  const std::pair<const char*, const char*> cases[] = {
      {"e[4]", "step '[4]': the array has 4 elements"},
      {"e.x", "step 'x': the value there is an array, not a frame"},
      {"a[0]", "step '[0]': the value there is a binary object, not an array"},
      {"e[x]", "step '[x]' is not an index"},
      {"e[1]", "the path leads to a frame, not a binary object"},
      {"b", "the path leads to an immediate value, not a binary object"},
      {"e..x", "the path has an empty step at character 3"},
  };
  Built built = MultiPart();
  for (const auto& [path, error] : cases) {
    Inspection inspection = InspectBytes(built.bytes, InspectMode::kExtract, path, "/dev/null");
    EXPECT_EQ(inspection.err, std::string("pkginspect: ") + path + ": " + error + "\n");
    EXPECT_EQ(inspection.status, 1);
  }
}

namespace {

// An icon frame with a 32 x 32 `bits` ring and its `mask`, and a `cbits` of
// depth 4 whose shades grow from the top left corner.
Built IconPackage() {
  auto inRing = [](int x, int y, int inner) {
    int d = (2 * x - 31) * (2 * x - 31) + (2 * y - 31) * (2 * y - 31);
    return d < 30 * 30 && d >= inner * inner;
  };
  std::vector<Obj> objects = {
      {"root", 0x41, {2u, "top"}, ""},
      {"top", 0x43, {"topMap", "icon", "colors"}, ""},
      {"topMap", 0x41, {0u, 2u, "sIcon", "sColorData"}, ""},
      {"icon", 0x43, {"iconMap", "bits", "mask"}, ""},
      {"iconMap", 0x41, {0u, 2u, "sBits", "sMask"}, ""},
      {"bits", 0x40, {"sBits"}, BitmapBytes(32, 32, 1, [&](int x, int y) { return inRing(x, y, 20); })},
      {"mask", 0x40, {"sMask"}, BitmapBytes(32, 32, 1, [&](int x, int y) { return inRing(x, y, 0); })},
      {"colors", 0x41, {2u, "color"}, ""},
      {"color", 0x43, {"colorMap", "cbits", 16u}, ""},
      {"colorMap", 0x41, {0u, 2u, "sCbits", "sBitDepth"}, ""},
      {"cbits", 0x40, {"sCbits"}, BitmapBytes(32, 32, 4, [](int x, int y) { return (x + y) / 4 % 16; })},
      Symbol("sIcon", "icon"), Symbol("sColorData", "colorData"), Symbol("sBits", "bits"),
      Symbol("sMask", "mask"), Symbol("sCbits", "cbits"), Symbol("sBitDepth", "bitDepth"),
  };
  return BuildPackage({{0x81, 4, objects, ""}}, false);
}
}  // namespace

TEST(InspectTest, BitmapsAreDrawnAndListedAsPixels) {
  Built built = IconPackage();
  Inspection report = InspectBytes(built.bytes);
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(report.out, ReadFile(GOLDEN_DIR "/icon.report"));
  EXPECT_EQ(InspectBytes(built.bytes, InspectMode::kJson).out, ReadFile(GOLDEN_DIR "/icon.json"));
  // The listing pkgembed prints draws nothing.
  EXPECT_EQ(InspectBytes(built.bytes, InspectMode::kTree).out.find("|"), std::string::npos);
  // Bounds that cannot be: the bytes listed as any binary's, and no fault, for
  // the class only says what the bytes should be.
  std::swap(built.bytes[built.at["mask"] + 12 + 9], built.bytes[built.at["mask"] + 12 + 13]);
  Inspection reversed = InspectBytes(built.bytes);
  EXPECT_EQ(reversed.status, 0) << reversed.err;
  EXPECT_NE(reversed.out.find("class mask\n" + std::string(20, ' ') + "Dump skipped!"), std::string::npos);
  JsonChecks json;
  json.Add(built.bytes);
  json.Add(IconPackage().bytes);
  json.Run();
}

// Arrays nested one past the printer's deepest level: the deepest is listed,
// the one below it named, in the tree and in the JSON alike.
TEST(InspectTest, NestingStopsOnePastTheDeepestLevel) {
  std::vector<Obj> chain = {{"root", 0x41, {2u, "1"}, ""}};
  for (int i = 1; i <= 129; ++i) chain.push_back({std::to_string(i), 0x41, {2u, std::to_string(i + 1)}, ""});
  chain.push_back({"130", 0x41, {2u, 7u}, ""});
  Built built = BuildPackage({{0x81, 4, chain, ""}}, false);
  std::string tree = InspectBytes(built.bytes, InspectMode::kTree).out;
  std::string indent(4 * 128, ' ');
  char deep[64];
  std::snprintf(deep, sizeof deep, "<array at 0x%x, nested too deep>\n", built.at["129"]);
  EXPECT_NE(tree.find("\n" + indent + "[\n" + indent + "    " + deep + indent + "]\n"), std::string::npos);
  EXPECT_EQ(tree.find("nested too deep"), tree.rfind("nested too deep"));
  std::string json = InspectBytes(built.bytes, InspectMode::kJson).out;
  std::string listed;
  for (int depth = 0; depth <= 128; ++depth) listed += "{\"array\":[";
  EXPECT_NE(json.find(listed + "{\"deep\":" + std::to_string(built.at["129"]) + "}"), std::string::npos);
}
