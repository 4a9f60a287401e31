#include <gtest/gtest.h>

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
