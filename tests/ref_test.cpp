#include "objects/ref.h"

#include <gtest/gtest.h>

#include "objects/object.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

TEST(RefTest, IntegersKeepTheirLow30Bits) {
  Package package;
  struct Case {
    int32_t value;
    uint32_t word;
    int32_t readBack;
  } cases[] = {{-1, 0xFFFFFFFC, -1}, {0, 0, 0}, {-3, 0xFFFFFFF4, -3}, {0x20000000, 0x80000000, -536870912}};
  for (const Case& c : cases) {
    Ref* ref = IntegerRef(c.value);
    EXPECT_EQ(ref->theRef, c.word) << c.value;
    EXPECT_EQ(ref->IntegerValue(), c.readBack) << c.value;
    EXPECT_TRUE(ref->IsInteger());
    EXPECT_FALSE(ref->IsNIL());
  }
}

TEST(RefTest, ClassifiesWords) {
  Package package;
  struct Case {
    uint32_t word;
    bool integer, immediate, character, nil, symbol, magic;
  } cases[] = {
      {0x416, false, true, true, false, false, false},
      {Ref::kNil, false, true, false, true, false, false},
      {Ref::kClassSymbol, false, true, false, false, true, false},
      {Ref::kTrue, false, true, false, false, false, false},
      {0x0, true, false, false, false, false, false},
      {0x3, false, false, false, false, false, true},
  };
  for (const Case& c : cases) {
    Ref* ref = ImmediateRef(c.word);
    EXPECT_EQ(ref->IsInteger(), c.integer) << std::hex << c.word;
    EXPECT_EQ(ref->IsImmediate(), c.immediate) << std::hex << c.word;
    EXPECT_EQ(ref->IsCharacter(), c.character) << std::hex << c.word;
    EXPECT_EQ(ref->IsNIL(), c.nil) << std::hex << c.word;
    EXPECT_EQ(ref->IsSymbol(), c.symbol) << std::hex << c.word;
    EXPECT_EQ(ref->IsMagicPointer(), c.magic) << std::hex << c.word;
    EXPECT_FALSE(ref->IsPointer());
  }
}

TEST(RefTest, TypedConstructorMakesObjects) {
  Package package;
  Ref* map = TypedRef(Ref::kMapKind);
  EXPECT_EQ(map->theRef, 1u);
  ASSERT_TRUE(map->IsArray());
  EXPECT_EQ(map->target->NumberOfIndexes(), 1);
  EXPECT_TRUE(map->GetElement(0)->IsNIL());
  EXPECT_EQ(map->target->GetClass()->theRef, 0u);
  Ref* symbolClass = TypedRef(Ref::kClassSymbolKind);
  EXPECT_EQ(symbolClass->theRef, Ref::kClassSymbol);
  EXPECT_EQ(symbolClass->target, nullptr);
  EXPECT_TRUE(NewFrameRef()->IsFrame());
  EXPECT_EQ(NewFrameRef()->theRef, 1u);
  // A binary whose class is a symbol object counts as a symbol too.
  uint8_t byte = 0;
  EXPECT_TRUE(NewBinaryRef(NewSymbolRef("bits"), &byte, 1)->IsSymbol());
}

TEST(RefDeathTest, ChecksStopWithTheirReport) {
  Package package;
  Ref* nil = NilRef();
  Ref* array = NewArrayRef();
  EXPECT_EXIT(TypedRef(5), testing::ExitedWithCode(3), AssertionReport("0", "ref", 66));
  EXPECT_EXIT(TypedRef(Ref::kBinaryKind), testing::ExitedWithCode(3),
              AssertionReport("_class_or_map->IsSymbol()", "object", 27));
  EXPECT_EXIT(nil->IntegerValue(), testing::ExitedWithCode(3),
              AssertionReport("IsInteger()", "ref", 196));
  EXPECT_EXIT(nil->GetElement(0), testing::ExitedWithCode(3),
              AssertionReport("IsArray()", "ref", 178));
  EXPECT_EXIT(array->GetElement(-1), testing::ExitedWithCode(3),
              AssertionReport("index>=0", "object", 173));
  EXPECT_EXIT(array->Supermap(), testing::ExitedWithCode(3),
              AssertionReport("data.array.slot", "object", 196));
  EXPECT_EXIT(nil->AppendElement(NilRef()), testing::ExitedWithCode(3),
              AssertionReport("(theRef&0x03)==0x01", "ref", 73));
  EXPECT_EXIT(array->SetSlot(NewSymbolRef("a"), NilRef()), testing::ExitedWithCode(3),
              AssertionReport("IsFrame()", "ref", 79));
  EXPECT_EXIT(IntegerRef(1)->SymbolName(), testing::ExitedWithCode(3),
              AssertionReport("IsSymbol()", "ref", 202));
  EXPECT_EXIT(NewSymbolRef("a")->SymbolEquals(nil), testing::ExitedWithCode(3),
              AssertionReport("aSymbol->IsSymbol()", "ref", 97));
  EXPECT_EXIT(nil->FindSlot(NewSymbolRef("a")), testing::ExitedWithCode(3),
              AssertionReport("IsPointer()", "ref", 115));
}
