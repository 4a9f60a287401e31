// Runs the real pkgembed on the scenarios of tests/cases/*.cases. Each runs in
// a fresh directory that holds a set of data files and an existing out.pkg;
// a run that fails must leave that directory exactly as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include "tests/test_support.h"

namespace {

const char kPrecious[] = "an existing package that must survive";

#if defined(__SANITIZE_ADDRESS__)
const bool kSanitized = true;
#elif defined(__has_feature)
const bool kSanitized = __has_feature(address_sanitizer);
#else
const bool kSanitized = false;
#endif

void MakeDataFiles(const TempDir& dir) {
  for (const char* name : {"data.bin", "icon.bin", "draw.bin", "table.dat", "notes.txt", "other.dat"}) {
    WriteFile(dir / name, std::string(1, name[0]));
  }
  WriteFile(dir / "out.pkg", kPrecious);
  WriteFile(dir / "empty.script", "");
  WriteFile(dir / "secret.bin", "secret");
  chmod((dir / "secret.bin").c_str(), 0);
  mkdir((dir / "folder").c_str(), 0755);
  mkdir((dir / "readonly").c_str(), 0555);
  // The largest binary there can be, and one byte more; sparse, so cheap.
  for (auto [name, size] : {std::pair{"max.bin", 16777203}, {"over.bin", 16777204}}) {
    WriteFile(dir / name, "");
    truncate((dir / name).c_str(), size);
  }
}

void RunCase(const Case& c) {
  TempDir dir;
  MakeDataFiles(dir);
  if (c.count("script")) WriteFile(dir / "contents.script", Field(c, "script"));
  std::vector<std::string> args;
  std::istringstream words(Field(c, "args"));
  for (std::string word; words >> word;) args.push_back(Unescape(word));
  std::vector<std::string> before = ListDir(dir.Path());

  long memoryLimit = std::stol(Field(c, "memory-limit-mb", "0")) << 20;
  ToolResult result = RunTool(dir.Path(), args, Field(c, "program", "pkgembed"), memoryLimit);
  EXPECT_EQ(result.status, std::stoi(Field(c, "status")));
  if (c.count("out")) {
    EXPECT_EQ(result.out, Field(c, "out"));
  }
  if (c.count("out-golden")) {
    EXPECT_EQ(result.out, ReadFile(GOLDEN_DIR "/" + Field(c, "out-golden")));
  }
  for (auto [it, end] = c.equal_range("out-has"); it != end; ++it) {
    EXPECT_NE(result.out.find(it->second), std::string::npos) << it->second;
  }
  EXPECT_EQ(result.err, Field(c, "err"));
  if (c.count("package-golden")) {
    EXPECT_EQ(HexListing(ReadFile(dir / args[0])),
              ReadFile(GOLDEN_DIR "/" + Field(c, "package-golden")));
  }
  if (result.status != 0) {
    EXPECT_EQ(ListDir(dir.Path()), before);
    EXPECT_TRUE(ListDir(dir / "folder").empty());
    EXPECT_EQ(ReadFile(dir / "out.pkg"), kPrecious);
  }
}

class ToolCasesTest : public testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(ToolCasesTest, RunsAsWritten) {
  for (const Case& c : ReadCases(std::string(CASES_DIR "/") + GetParam())) {
    SCOPED_TRACE(Field(c, "case"));
    if (c.count("needs-permissions") && geteuid() == 0) continue;  // root may do anything
    if (c.count("memory-limit-mb") && kSanitized) continue;  // sanitizers need the address space
    RunCase(c);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ToolCasesTest,
                         testing::Values("command_line.cases", "contents_script.cases",
                                         "data_files.cases", "output_file.cases"),
                         [](const auto& info) { return info.param.substr(0, info.param.find('.')); });

TEST(ToolTest, PipeIsReadToItsEnd) {
  TempDir dir;
  mkfifo((dir / "pipe.bin").c_str(), 0644);
  // The writer waits for the tool to open the pipe, and gives up after a while.
  std::thread writer([&] {
    for (int tries = 0; tries < 1000; ++tries) {
      int fd = open((dir / "pipe.bin").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        fcntl(fd, F_SETFL, 0);
        EXPECT_EQ(write(fd, std::string(100000, 'p').data(), 100000), 100000);
        close(fd);
        return;
      }
      usleep(10000);
    }
  });
  WriteFile(dir / "contents.script", "makeSlot piped binary b pipe.bin");
  ToolResult result = RunTool(dir.Path(), {"new.pkg", "Pipe:SIG", "contents.script"});
  writer.join();
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find("size=100000\n"), std::string::npos);
}
