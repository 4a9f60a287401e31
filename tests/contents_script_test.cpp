#include "tool/contents_script.h"

#include <gtest/gtest.h>

#include "objects/object.h"
#include "objects/ref.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
// The contents frame a script gives, as "name:class:bytes" per slot, with
// "name:native:numArgs:bytes" for native functions.
struct ScriptRun {
  int status;
  std::vector<std::string> slots;
  std::string out;
};

std::string Bytes(const Object* binary) {
  return std::string(reinterpret_cast<const char*>(binary->BinaryData()), binary->BinaryLength());
}

ScriptRun ReadScript(const TempDir& dir, const std::string& script) {
  WriteFile(dir / "contents.script", script);
  Package package;
  Ref* frame = NewFrameRef();
  ScriptRun run;
  testing::internal::CaptureStdout();
  run.status = ReadContentsScript(frame, "contents.script");
  run.out = testing::internal::GetCapturedStdout();
  for (int32_t i = 0; i < frame->target->NumberOfSlots(); ++i) {
    std::string slot = frame->target->Map()->GetElement(i + 1)->SymbolName();
    Object* value = frame->target->GetSlotValue(i)->target;
    if (value->IsBinary()) {
      slot += std::string(":") + value->GetClass()->SymbolName() + ":" + Bytes(value);
    } else {
      slot += ":native:" + std::to_string(value->GetSlotValue(2)->IntegerValue()) + ":" +
              Bytes(value->GetSlotValue(1)->target);
    }
    run.slots.push_back(slot);
  }
  return run;
}

class ContentsScriptTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"icon.bin", "draw.bin", "table.dat", "notes.txt", "other.dat",
                             "data.bin", "more.bin", "a.bin", "c.bin", "x", "f.bin"}) {
      WriteFile(dir / name, std::string("<") + name + ">");
    }
    getcwd(previous, sizeof previous);
    chdir(dir.Path().c_str());
  }
  void TearDown() override { chdir(previous); }

  TempDir dir;
  char previous[4096];
};
}  // namespace

TEST_F(ContentsScriptTest, StatementsSetSlots) {
  const std::string token255(255, 't');
  struct Case {
    std::string script;
    std::vector<std::string> slots;
  } cases[] = {
      {"", {}},
      {"# only a comment\n  \t\n#another", {}},
      {"#contents of the unit\nmakeSlot icon binary bits icon.bin\n"
       "makeSlot draw asmCode 2 draw.bin   # drawing routine\n",
       {"icon:bits:<icon.bin>", "draw:native:2:<draw.bin>"}},
      {"MAKESLOT table\n   BINARY myTable\n   table.dat\n"
       "makeSlot notes binary text notes.txt makeSlot TABLE binary other other.dat",
       {"table:other:<other.dat>", "notes:text:<notes.txt>"}},
      {"makeslot A Binary bits a.bin", {"A:bits:<a.bin>"}},
      {"# makeSlot a binary b c.bin\n#makeSlot a binary b c.bin", {}},
      {"# ends in CR\rmakeSlot z binary b c.bin\nmakeSlot y binary b c.bin", {"y:b:<c.bin>"}},
      {"makeSlot # binary b c.bin", {"#:b:<c.bin>"}},
      {"#\nmakeSlot a binary b c.bin", {"a:b:<c.bin>"}},
      {"foo makeSlot a binary b c.bin", {"a:b:<c.bin>"}},
      {"makeSlott a binary b c.bin", {}},
      {"makeSlot f asmCode 2x f.bin", {"f:native:2:<x>"}},
      {"makeSlot f asmCode -1 f.bin", {"f:native:-1:<f.bin>"}},
      {"makeSlot f ASMCODE +7\nf.bin", {"f:native:7:<f.bin>"}},
      {"makeSlot " + token255 + " binary " + token255 + "x c.bin",
       {token255 + ":" + token255 + "x:<c.bin>"}},
  };
  for (const Case& c : cases) {
    ScriptRun run = ReadScript(dir, c.script);
    EXPECT_EQ(run.status, 0) << c.script;
    EXPECT_EQ(run.out, "") << c.script;
    EXPECT_EQ(run.slots, c.slots) << c.script;
  }
}

TEST_F(ContentsScriptTest, FaultyStatementStopsTheReader) {
  ScriptRun run = ReadScript(dir, "makeSlot data binary myData data.bin\n"
                                  "makeSlot logo picture logo.bin\n"
                                  "makeSlot more binary myData more.bin\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "not an expected slot type!\n");
  EXPECT_EQ(run.slots, std::vector<std::string>{"data:myData:<data.bin>"});
}
