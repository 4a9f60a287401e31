#include <gtest/gtest.h>

#include <vector>

#include "objects/loader.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
std::string DumpOf(const Ref* ref, int depth = 0) {
  testing::internal::CaptureStdout();
  ref->Dump(depth);
  return testing::internal::GetCapturedStdout();
}

const uint8_t kBytes[64] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
}  // namespace

TEST(DumpTest, FrameExample) {
  Package package;
  Ref* items = NewArrayRef();
  items->AppendElement(NilRef());
  items->AppendElement(NewFrameRef());
  Ref* frame = NewFrameRef();
  frame->SetSlot(NewSymbolRef("count"), IntegerRef(-3));
  frame->SetSlot(NewSymbolRef("sym"), NewSymbolRef("abc"));
  frame->SetSlot(NewSymbolRef("data"), NewBinaryRef(NewSymbolRef("samples"), kBytes, 18));
  frame->SetSlot(NewSymbolRef("text"), NewBinaryRef(NewSymbolRef("string"), kBytes, 4));
  frame->SetSlot(NewSymbolRef("items"), items);
  Ref* root = NewArrayRef();
  root->AppendElement(frame);
  EXPECT_EQ(DumpOf(root), ReadFile(GOLDEN_DIR "/frame_example.dump"));
}

TEST(DumpTest, NativeFunctionExample) {
  TempDir dir;
  WriteFile(dir / "code.bin", std::string(100, '\x5a'));
  Package package;
  EXPECT_EQ(DumpOf(NewNativeFunction((dir / "code.bin").c_str(), 2)),
            ReadFile(GOLDEN_DIR "/native_function.dump"));
}

TEST(DumpTest, BinariesListUpTo63BytesInLinesOf16) {
  const std::string line1 = "    // 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f 10 \n";
  const std::string zeros = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ";
  struct Case {
    int32_t size;
    std::string listing;
  } cases[] = {
      {0, "    // BINARY OBJECT, size=0\n"},
      {16, "    // BINARY OBJECT, size=16\n" + line1},
      {17, "    // BINARY OBJECT, size=17\n" + line1 + "    // 11 \n"},
      {63, "    // BINARY OBJECT, size=63\n" + line1 + "    // 11 12 " + zeros.substr(6) + "\n" +
               "    // " + zeros + "\n" + "    // " + zeros.substr(3) + "\n"},
      {64, "    // BINARY OBJECT, size=64\n    Dump skipped!\n"},
  };
  for (const Case& c : cases) {
    Package package;
    EXPECT_EQ(DumpOf(NewBinaryRef(NewSymbolRef("bits"), kBytes, c.size), 1), c.listing) << c.size;
  }
}

TEST(DumpTest, StringClassIgnoresCase) {
  Package package;
  EXPECT_EQ(DumpOf(NewBinaryRef(NewSymbolRef("STRING"), kBytes, 8), 2),
            "        \"<UNICODE STRING - no display code>\"\n");
}

