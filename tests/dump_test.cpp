#include <gtest/gtest.h>

#include "objects/loader.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
std::string DumpOf(const Ref* ref) {
  testing::internal::CaptureStdout();
  ref->Dump(0);
  return testing::internal::GetCapturedStdout();
}

const uint8_t kBytes[64] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
}  // namespace

// Every kind of value the tree holds, and binaries at the lengths where the
// listing changes: none, lines of 16, 63 bytes and 64 (skipped).
TEST(DumpTest, FrameExample) {
  Package package;
  Ref* items = NewArrayRef();
  items->AppendElement(NilRef());
  items->AppendElement(NewFrameRef());
  Ref* frame = NewFrameRef();
  frame->SetSlot(NewSymbolRef("count"), IntegerRef(-3));
  frame->SetSlot(NewSymbolRef("sym"), NewSymbolRef("abc"));
  frame->SetSlot(NewSymbolRef("data"), NewBinaryRef(NewSymbolRef("samples"), kBytes, 18));
  frame->SetSlot(NewSymbolRef("text"), NewBinaryRef(NewSymbolRef("STRING"), kBytes, 4));
  frame->SetSlot(NewSymbolRef("items"), items);
  for (int size : {0, 63, 64}) {
    std::string name = "b";
    name += std::to_string(size);
    frame->SetSlot(NewSymbolRef(name.c_str()), NewBinaryRef(NewSymbolRef("bits"), kBytes, size));
  }
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
