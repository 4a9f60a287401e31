// Packages that pkgembed writes, read back by pkginspect: no fault, the tree
// exactly as the build printed it, and every slot's data extracted whole.

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>

#include "inspect/inspect_command.h"
#include "tests/test_support.h"
#include "tool/command_line.h"

namespace {

std::string Capture(InspectMode mode, const std::string& package, int& status,
                    const char* path = nullptr, const char* output = nullptr) {
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  std::string bytes = ReadFile(package);
  status = Inspect({mode, package.c_str(), path, output},
                   std::vector<uint8_t>(bytes.begin(), bytes.end()), out, stderr);
  std::fclose(out);
  std::string result(text, size);
  std::free(text);
  return result;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

TEST(RoundTripTest, GeneratedScriptsReadBackExactly) {
  TempDir dir;
  std::mt19937 random(1994);
  const size_t kSizes[] = {0, 16, 63, 64, 100, 5000, 70000};
  for (size_t size : kSizes) {
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    WriteFile(dir / ("d" + std::to_string(size)), data);
  }
  const char* kPackageNames[] = {"p.pkg", ".pkg", "ab", "\xE9.x.pkg"};
  for (int round = 0; round < 300; ++round) {
    std::string script;
    std::map<std::string, std::string> slots;  // by folded name: the data file
    for (int statement = random() % 40; statement > 0; --statement) {
      std::string name = "n" + std::to_string(random() % 30);
      if (random() % 3 == 0) name = "N" + name.substr(1);
      std::string data = dir / ("d" + std::to_string(kSizes[random() % std::size(kSizes)]));
      bool native = random() % 4 == 0;
      if (random() % 5 == 0) script += "# makeSlot " + name + " binary b " + data + "\n";
      script += "makeSlot " + name + (native ? " asmCode -3 " : " binary bits ") + data +
                (random() % 2 ? "\n" : "  ");
      slots[Lower(name)] = data;
    }
    WriteFile(dir / "contents.script", script);
    std::string package = dir / kPackageNames[round % 4];
    std::string script_path = dir / "contents.script";
    char program[] = "pkgembed", symbol[] = "Round:TRIP";
    char* argv[] = {program, package.data(), symbol, script_path.data(), nullptr};
    testing::internal::CaptureStdout();
    ASSERT_EQ(::Run(4, argv), 0) << script;
    std::string dump = testing::internal::GetCapturedStdout();
    int status;
    EXPECT_EQ(Capture(InspectMode::kTree, package, status), dump) << script;
    EXPECT_EQ(status, 0) << script;
    Capture(InspectMode::kReport, package, status);
    EXPECT_EQ(status, 0) << script;
    for (const auto& [name, data] : slots) {
      std::string path = "_ExportTable[0].objects[0]." + name;
      Capture(InspectMode::kExtract, package, status, path.c_str(), (dir / "out.bin").c_str());
      EXPECT_EQ(status, 0) << path;
      EXPECT_EQ(ReadFile(dir / "out.bin"), ReadFile(data)) << path;
    }
  }
}
