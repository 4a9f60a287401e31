#include "tool/contents_script.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "objects/object.h"
#include "objects/ref.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
std::string Bytes(const Object* binary) {
  return std::string(reinterpret_cast<const char*>(binary->BinaryData()), binary->BinaryLength());
}

// The contents frame as "name:class:bytes" per slot, or
// "name:native:numArgs:bytes" for a native function.
std::vector<std::string> Slots(const Object* frame) {
  std::vector<std::string> slots;
  for (int32_t i = 0; i < frame->NumberOfSlots(); ++i) {
    std::string slot = frame->Map()->GetElement(i + 1)->SymbolName();
    const Object* value = frame->GetSlotValue(i)->target;
    if (value->IsBinary()) {
      slot += std::string(":") + value->GetClass()->SymbolName() + ":" + Bytes(value);
    } else {
      slot += ":native:" + std::to_string(value->GetSlotValue(2)->IntegerValue()) + ":" +
              Bytes(value->GetSlotValue(1)->target);
    }
    slots.push_back(slot);
  }
  return slots;
}
}  // namespace

// Each data file holds its own name in angle brackets, so a slot shows which
// file it was made from.
TEST(ContentsScriptTest, StatementsSetSlots) {
  TempDir dir;
  for (const char* name : {"icon.bin", "data.bin", "more.bin", "a.bin", "c.bin", "x", "f.bin"}) {
    WriteFile(dir / name, std::string("<") + name + ">");
  }
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  for (const Case& c : ReadCases(CASES_DIR "/statements.cases")) {
    SCOPED_TRACE(Field(c, "case"));
    WriteFile("contents.script", Field(c, "script"));
    Package package;
    Ref* frame = NewFrameRef();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReadContentsScript(frame, "contents.script"), std::stoi(Field(c, "status", "0")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), Field(c, "out"));
    std::vector<std::string> slots;
    for (auto [it, end] = c.equal_range("slot"); it != end; ++it) slots.push_back(it->second);
    EXPECT_EQ(Slots(frame->target), slots);
  }
  ASSERT_EQ(chdir(previous), 0);
}
