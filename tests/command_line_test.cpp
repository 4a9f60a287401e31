#include <gtest/gtest.h>

#include <sstream>

#include "tests/test_support.h"

namespace {
std::string Usage(const std::string& program) {
  return "\n\nThis program can embed any information into a .PKG for the newton.\n\n"
         "\nUSAGE: " + program + " <packageToMake.pkg> <packageSymbol:SIG> <contents.script>\n\n"
         "\nor...  " + program + " -MOD filename.mod\n\n";
}
const char kModRefusal[] = "\n\nSorry, MOD support not completed...\n\n";
}  // namespace

TEST(CommandLineTest, TooFewArgumentsOrModShowTheirText) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{}, Usage("./some/pkgembed")},
      {{"-MOD"}, Usage("./some/pkgembed")},
      {{"out.pkg", "Sym:SIG"}, Usage("./some/pkgembed")},
      {{"-MOD", "x.mod"}, kModRefusal},
      {{"-mod", "x.mod"}, kModRefusal},
      {{"-Mod", "a", "b", "c"}, kModRefusal},
  };
  for (const Case& c : cases) {
    ToolResult result = RunTool(dir.Path(), c.args, "./some/pkgembed");
    EXPECT_EQ(result.status, 1) << testing::PrintToString(c.args);
    EXPECT_EQ(result.out, c.out) << testing::PrintToString(c.args);
    EXPECT_EQ(result.err, "");
  }
  EXPECT_TRUE(ListDir(dir.Path()).empty());
}

TEST(CommandLineTest, EmptyScriptGivesTheFixedContents) {
  TempDir dir;
  WriteFile(dir / "empty.script", "");
  ToolResult result = RunTool(dir.Path(), {"demo.pkg", "Demo:SIG", "empty.script", "ignored"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, ReadFile(GOLDEN_DIR "/empty_script.dump"));
  EXPECT_EQ(HexListing(ReadFile(dir / "demo.pkg")), ReadFile(GOLDEN_DIR "/demo.pkg.hex"));
}

TEST(CommandLineTest, PackageSymbolIsStoredAsTyped) {
  TempDir dir;
  WriteFile(dir / "empty.script", "");
  ToolResult result = RunTool(dir.Path(), {"out.pkg", "no colon HERE", "empty.script"});
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("\n                        'no colon HERE (0x"), std::string::npos);
}

namespace {
// The slot lines of the contents frame in a dump: its names and the listings
// of one-byte binaries.
std::string ContentsSlots(const std::string& dump) {
  std::string slots, line;
  std::istringstream lines(dump);
  while (std::getline(lines, line)) {
    if (line.rfind(std::string(32, ' '), 0) == 0 && line[32] != ' ' && line[32] != '}') {
      slots += line.substr(32) + "\n";
    } else if (line.rfind(std::string(36, ' ') + "// ", 0) == 0 && line.size() == 42) {
      slots += line.substr(36) + "\n";
    }
  }
  return slots;
}
}  // namespace

TEST(CommandLineTest, ScriptsFillTheContentsFrame) {
  TempDir dir;
  for (const char* name : {"icon.bin", "draw.bin", "table.dat", "notes.txt", "other.dat"}) {
    WriteFile(dir / name, std::string(1, name[0]));
  }
  struct Case {
    std::string script;
    std::string slots;
  } cases[] = {
      {"#contents of the unit\nmakeSlot icon binary bits icon.bin\n"
       "makeSlot draw asmCode 2 draw.bin   # drawing routine\n",
       "icon: \n// 69 \ndraw: \n"},
      {"MAKESLOT table\n   BINARY myTable\n   table.dat\n"
       "makeSlot notes binary text notes.txt makeSlot TABLE binary other other.dat",
       "table: \n// 6f \nnotes: \n// 6e \n"},
  };
  for (const Case& c : cases) {
    WriteFile(dir / "contents.script", c.script);
    ToolResult result = RunTool(dir.Path(), {"unit.pkg", "Unit:SIG", "contents.script"});
    EXPECT_EQ(result.status, 0) << c.script;
    EXPECT_EQ(ContentsSlots(result.out), c.slots) << c.script;
    EXPECT_TRUE(Exists(dir / "unit.pkg"));
  }
}
