// Packages that pkgembed writes, read back by pkginspect: no fault, the tree
// exactly as the build printed it, every slot's data extracted whole with the
// class and number of arguments its last statement gave. The scripts use the
// language's every turn: keywords in any case, statements across lines,
// comments (one ending in a carriage return swallows the next line), stray
// words, names beginning with #, tokens past 255 characters, signed numbers
// and numbers run into the file name.

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>

#include "tests/test_support.h"
#include "tool/command_line.h"

namespace {

struct Slot {
  std::string data, check;  // the data file; text the report must show
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

TEST(RoundTripTest, GeneratedScriptsReadBackExactly) {
  TempDir dir;
  std::mt19937 random(1994);
  auto pick = [&](std::initializer_list<const char*> words) { return *(words.begin() + random() % words.size()); };
  std::vector<std::string> files;  // data of 0, 16, 63, 64, 100, 5000 and 70000 bytes
  for (size_t size : {0, 16, 63, 64, 100, 5000, 70000}) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    files.push_back(dir / std::to_string(size));
    WriteFile(files.back(), data);
  }
  // Names of odd and even length, empty, and beyond ASCII, as the report shows them.
  const char* kPackageNames[] = {"p.pkg", ".pkg", "ab", "\xE9.x.pkg"};
  const char* kNames[] = {"name: \"p\"", "name: \"\"", "name: \"ab\"", "name: \"\u00e9.x\""};
  JsonChecks json;
  for (int round = 0; round < 300; ++round) {
    std::string script;
    std::map<std::string, Slot> slots;  // by folded name
    for (int n = random() % 40; n > 0; --n) {
      std::string name = pick({"n", "N", "#n", "n"}) + std::to_string(random() % 30);
      if (random() % 20 == 0) name += std::string(300, 'l');
      std::string data = files[random() % files.size()];
      std::string gap = pick({" ", "\t", "\n", " \r\n  ", "\v"});
      script += pick({"", "# makeSlot gone binary b x\n", "#\n", "foo makeSlott gone binary b x ",
                      "# swallows\rmakeSlot gone binary b x\n"});
      script += pick({"makeSlot", "MAKESLOT", "makeslot"}) + gap + name + gap;
      std::string number = std::to_string(1000000 + n);
      if (random() % 4 == 0) {
        std::string sign = pick({"-", "+", ""});
        script += pick({"asmCode", "ASMCODE"}) + gap + sign + number + pick({" ", ""}) + data + "\n";
        slots[Lower(name)] = {data, (sign == "-" ? " -" : " ") + number + "\n"};
      } else {
        std::string className = pick({"c", "C"}) + number;
        script += pick({"binary", "Binary"}) + gap + className + gap + data + "\n";
        slots[Lower(name)] = {data, ", class " + className + "\n"};
      }
    }
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
