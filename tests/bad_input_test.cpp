// Everything a user or a build script can hand the tool wrongly, through the
// real executable: each case ends with status 1 and its message, and leaves
// the directory as it was, an existing package included.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/test_support.h"

namespace {

const char kDumpPrinted[] = "(the dump)";
const char kPrecious[] = "an existing package that must survive";

struct BadInput {
  std::string script;  // written to contents.script
  std::vector<std::string> args;
  std::string out;  // exactly, or kDumpPrinted when the failure comes after the dump
  std::string err;
  bool needsPermissions = false;  // root may read and write anything
};

class BadInputTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "data.bin", "data");
    WriteFile(dir / "out.pkg", kPrecious);
    WriteFile(dir / "secret.bin", "secret");
    chmod((dir / "secret.bin").c_str(), 0);
    mkdir((dir / "folder").c_str(), 0755);
    mkdir((dir / "readonly").c_str(), 0555);
    WriteFile(dir / "max.bin", "");
    truncate((dir / "max.bin").c_str(), 16777203);
    WriteFile(dir / "over.bin", "");
    truncate((dir / "over.bin").c_str(), 16777204);
  }

  TempDir dir;
};

BadInput Script(const std::string& script, const std::string& out) {
  return {script, {"out.pkg", "Bad:SIG", "contents.script"}, out, ""};
}

BadInput Output(const std::string& path, const std::string& reason) {
  return {"", {path, "Bad:SIG", "contents.script"}, kDumpPrinted,
          "Couldn't write [" + path + "]: " + reason + "\n"};
}

}  // namespace

TEST_F(BadInputTest, EveryFailureIsReportedAndWritesNothing) {
  const std::string tooLarge = "] is too large: a binary object holds at most 16777203 bytes!\n";
  BadInput cases[] = {
      {"", {"out.pkg", "Bad:SIG", "missing.script"}, "Couldn't load [missing.script]!\n", ""},
      {"", {"out.pkg", "Bad:SIG", "folder"}, "Couldn't load [folder]!\n", ""},
      Script("makeSlot", "Missing the slot name!\n"),
      Script("makeSlot a", "Missing the type of the slot!\n"),
      Script("makeSlot logo picture logo.bin", "not an expected slot type!\n"),
      Script("makeSlot a binary", "Missing the class of the binary data!\n"),
      Script("makeSlot a binary b", "Missing the name of the binary file!\n"),
      Script("makeSlot f asmCode two data.bin", "Missing the number of parameters!\n"),
      Script("makeSlot f asmCode - 2 data.bin", "Missing the number of parameters!\n"),
      Script("makeSlot f asmCode", "Missing the number of parameters!\n"),
      Script("makeSlot f asmCode 2", "Missing the name of the binary file containing asm code!\n"),
      Script("makeSlot f asmCode 2147483648 data.bin", "The number of parameters is out of range!\n"),
      Script("makeSlot f asmCode -2147483649 data.bin", "The number of parameters is out of range!\n"),
      Script("makeSlot f asmCode 99999999999999999999 data.bin",
             "The number of parameters is out of range!\n"),
      Script("makeSlot data binary myData data.bin\nmakeSlot logo picture logo.bin\n"
             "makeSlot more binary myData more.bin\n",
             "not an expected slot type!\n"),
      Script("makeSlot a binary b nothere.bin",
             "Couldn't read data file [nothere.bin]: No such file or directory!\n"),
      Script("makeSlot a asmCode 1 nothere.bin",
             "Couldn't read data file [nothere.bin]: No such file or directory!\n"),
      Script("makeSlot a binary b folder", "Couldn't read data file [folder]: Is a directory!\n"),
      Script("makeSlot a binary b over.bin", "Data file [over.bin" + tooLarge),
      Script("makeSlot a asmCode 0 over.bin", "Data file [over.bin" + tooLarge),
      Script("makeSlot a binary b /dev/zero", "Data file [/dev/zero" + tooLarge),
      Output("missing/out.pkg", "No such file or directory"),
      Output("folder", "Is a directory"),
      Output("/dev/full", "No space left on device"),
      {"makeSlot a binary b secret.bin", {"out.pkg", "Bad:SIG", "contents.script"},
       "Couldn't read data file [secret.bin]: Permission denied!\n", "", true},
      {"", {"readonly/out.pkg", "Bad:SIG", "contents.script"}, kDumpPrinted,
       "Couldn't write [readonly/out.pkg]: Permission denied\n", true},
  };
  for (const BadInput& c : cases) {
    SCOPED_TRACE(c.script + " " + testing::PrintToString(c.args));
    if (c.needsPermissions && geteuid() == 0) continue;
    WriteFile(dir / "contents.script", c.script);
    std::vector<std::string> before = ListDir(dir.Path());
    ToolResult result = RunTool(dir.Path(), c.args);
    EXPECT_EQ(result.status, 1);
    if (c.out == kDumpPrinted) {
      EXPECT_EQ(result.out.substr(0, 2), "[\n");
    } else {
      EXPECT_EQ(result.out, c.out);
    }
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(ListDir(dir.Path()), before);
    EXPECT_TRUE(ListDir(dir / "folder").empty());
    EXPECT_EQ(ReadFile(dir / "out.pkg"), kPrecious);
  }
}

TEST_F(BadInputTest, SpecialDataFilesAreReadToTheirEnd) {
  mkfifo((dir / "pipe.bin").c_str(), 0644);
  // The writer waits for the tool to open the pipe, gives up after a while.
  std::thread writer([&] {
    for (int tries = 0; tries < 1000; ++tries) {
      int fd = open((dir / "pipe.bin").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        fcntl(fd, F_SETFL, 0);
        std::string bytes(100000, 'p');
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), 100000);
        close(fd);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  WriteFile(dir / "contents.script",
            "makeSlot piped binary b pipe.bin\nmakeSlot nothing binary b /dev/null\n"
            "makeSlot largest binary b max.bin\nmakeSlot f asmCode -2147483648 data.bin\n");
  ToolResult result = RunTool(dir.Path(), {"new.pkg", "Special:SIG", "contents.script"});
  writer.join();
  EXPECT_EQ(result.status, 0);
  for (const char* line : {"size=100000\n", "size=0\n", "size=16777203\n"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line;
  }
  EXPECT_GT(ReadFile(dir / "new.pkg").size(), 16777203u);
}
