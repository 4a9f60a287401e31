// Packages that pkgembed writes, read back by pkginspect: no fault, the tree
// exactly as the build printed it, every slot's data extracted whole with the
// class and number of arguments its last statement gave.

#include <gtest/gtest.h>

#include <map>

#include "tests/script_generator.h"
#include "tests/test_support.h"
#include "tool/command_line.h"

TEST(RoundTripTest, GeneratedScriptsReadBackExactly) {
  TempDir dir;
  ScriptGenerator generator(dir.Path(), 1994);
  // Names of odd and even length, empty, and beyond ASCII, as the report shows them.
  const char* kPackageNames[] = {"p.pkg", ".pkg", "ab", "\xE9.x.pkg"};
  const char* kNames[] = {"name: \"p\"", "name: \"\"", "name: \"ab\"", "name: \"\u00e9.x\""};
  JsonChecks json;
  for (int round = 0; round < 300; ++round) {
    std::map<std::string, ScriptGenerator::Slot> slots;  // by folded name
    std::string script = generator.Next(slots);
    WriteFile(dir / "contents.script", script);
    std::string package = dir / kPackageNames[round % 4], scriptPath = dir / "contents.script";
    char program[] = "pkgembed", symbol[] = "Round:TRIP";
    char* argv[] = {program, package.data(), symbol, scriptPath.data(), nullptr};
    testing::internal::CaptureStdout();
    int status = ::Run(4, argv);
    std::string dump = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << script << dump;
    std::string bytes = ReadFile(package);
    Inspection tree = InspectBytes(bytes, InspectMode::kTree);
    EXPECT_EQ(tree.out, dump) << script;
    json.Add(bytes);
    ExpectRebuiltFromSource(bytes);
    Inspection report = InspectBytes(bytes);
    EXPECT_EQ(report.status + tree.status, 0) << tree.err << report.err;
    EXPECT_NE(report.out.find(kNames[round % 4]), std::string::npos);
    std::string out = dir / "out.bin", path = "_ExportTable[0].objects[0].";
    EXPECT_EQ(InspectBytes(bytes, InspectMode::kExtract, (path + "gone").c_str(), out.c_str()).status, 1);
    for (const auto& [name, slot] : slots) {
      EXPECT_EQ(InspectBytes(bytes, InspectMode::kExtract, (path + name).c_str(), out.c_str()).status, 0);
      EXPECT_EQ(ReadFile(out), ReadFile(slot.data)) << name;
      EXPECT_NE(report.out.find(slot.check), std::string::npos) << slot.check;
    }
  }
  json.Run();
}
