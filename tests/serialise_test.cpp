#include <gtest/gtest.h>

#include "objects/arena.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/big_endian.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
// The image from `from` on, as text for comparison.
std::string ImageFrom(Package& package, int32_t from) {
  return std::string(reinterpret_cast<const char*>(package.GetPackageData()) + from,
                     package.GetPackageDataSize() - from);
}

std::string Word(uint32_t value) {
  uint8_t bytes[4];
  StoreBig32(bytes, value);
  return std::string(reinterpret_cast<char*>(bytes), 4);
}

void LayOutAndWrite(Package& package, int32_t directorySize) {
  package.Allocate(4, directorySize);
  package.GetPart(0)->Layout();
  package.GetPart(0)->Write();
}
}  // namespace

TEST(SerialiseTest, FrameWithOneSlot) {
  const int32_t d = 136;
  Package package;
  package.GetPart(0)->GetRoot()->GetElement(0)->SetSlot(NewSymbolRef("a"), IntegerRef(5));
  LayOutAndWrite(package, d);
  std::string expected = Word(0x1041) + Word(1) + Word(2) + Word(d + 17) +  // root array
                         Word(0x1043) + Word(1) + Word(d + 33) + Word(0x14) +  // frame
                         Word(0x1441) + Word(1) + Word(0) + Word(2) + Word(d + 53) +  // map
                         Word(0x1240) + Word(1) + Word(0x55552) + Word(SymbolHash("a")) +
                         std::string("a\0\0\0", 4);  // symbol and padding
  EXPECT_EQ(HexListing(ImageFrom(package, d)), HexListing(expected));
  EXPECT_EQ(package.GetPart(0)->GetPartEnd(), d + 72);
}

TEST(SerialiseTest, ValuesAndRuns) {
  Package package;
  uint8_t five[5] = {1, 2, 3, 4, 5};
  Ref* shared = NewBinaryRef(NewSymbolRef("b"), five, 5);
  Ref* again = New<Ref>(1u);
  again->target = shared->target;
  Ref* values = NewArrayRef();
  for (Ref* value : {IntegerRef(-1), IntegerRef(1), NilRef(), ImmediateRef(Ref::kClassSymbol),
                     NewBinaryRef(NewSymbolRef("e"), nullptr, 0), shared, again}) {
    values->AppendElement(value);
  }
  Ref* frame = package.GetPart(0)->GetRoot()->GetElement(0);
  frame->SetSlot(NewSymbolRef("v"), values);
  testing::internal::CaptureStdout();
  frame->Dump(0);
  std::string before = testing::internal::GetCapturedStdout();

  LayOutAndWrite(package, 0);
  int32_t array = values->target->GetPackageOffset();
  EXPECT_EQ(ImageFrom(package, array).substr(0, 16), Word(0x2841) + Word(1) + Word(2) + Word(0xFFFFFFFC));
  EXPECT_EQ(ImageFrom(package, array + 16).substr(0, 12), Word(4) + Word(2) + Word(0x55552));
  int32_t empty = values->GetElement(4)->target->GetPackageOffset();
  EXPECT_EQ(ImageFrom(package, empty).substr(0, 4), Word(0xC40));
  // The 5-byte binary's run is 17 bytes; its class symbol follows 3 bytes later.
  int32_t binary = shared->target->GetPackageOffset();
  EXPECT_EQ(ImageFrom(package, binary).substr(0, 4), Word(0x1140));
  EXPECT_EQ(shared->target->GetClass()->target->GetPackageOffset(), binary + 20);
  // Laid out once, pointed at twice.
  EXPECT_EQ(ImageFrom(package, array + 32).substr(0, 8), Word(binary + 1) + Word(binary + 1));

  testing::internal::CaptureStdout();
  frame->Dump(0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), before);
  EXPECT_EQ(shared->theRef, 1u);
}
