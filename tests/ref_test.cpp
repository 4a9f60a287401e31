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

TEST(RefTest, ClassifiesImmediates) {
  Package package;
  Ref* character = ImmediateRef(0x416);
  EXPECT_TRUE(character->IsCharacter() && character->IsImmediate());
  Ref* nil = ImmediateRef(Ref::kNil);
  EXPECT_TRUE(nil->IsNIL() && nil->IsImmediate() && !nil->IsCharacter() && !nil->IsSymbol());
  Ref* symbolClass = ImmediateRef(Ref::kClassSymbol);
  EXPECT_TRUE(symbolClass->IsSymbol() && symbolClass->IsImmediate());
  EXPECT_FALSE(symbolClass->IsCharacter() || symbolClass->IsPointer() || symbolClass->IsNIL());
  EXPECT_TRUE(ImmediateRef(0x3)->IsMagicPointer());
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
  // A binary whose class is a symbol object counts as a symbol too.
  uint8_t byte = 0;
  EXPECT_TRUE(NewBinaryRef(NewSymbolRef("bits"), &byte, 1)->IsSymbol());
}

TEST(RefDeathTest, ChecksStopWithTheirReport) {
  Package package;
  Ref* nil = NilRef();
  Ref* array = NewArrayRef();
  EXPECT_STOPS(TypedRef(5), "0", "ref", 66);
  EXPECT_STOPS(TypedRef(Ref::kBinaryKind), "_class_or_map->IsSymbol()", "object", 27);
  EXPECT_STOPS(nil->IntegerValue(), "IsInteger()", "ref", 196);
  EXPECT_STOPS(nil->GetElement(0), "IsArray()", "ref", 178);
  EXPECT_STOPS(array->GetElement(-1), "index>=0", "object", 173);
  EXPECT_STOPS(array->Supermap(), "data.array.slot", "object", 196);
  EXPECT_STOPS(nil->AppendElement(NilRef()), "(theRef&0x03)==0x01", "ref", 73);
  EXPECT_STOPS(array->SetSlot(NewSymbolRef("a"), NilRef()), "IsFrame()", "ref", 79);
  EXPECT_STOPS(IntegerRef(1)->SymbolName(), "IsSymbol()", "ref", 202);
  EXPECT_STOPS(NewSymbolRef("a")->SymbolEquals(nil), "aSymbol->IsSymbol()", "ref", 97);
  EXPECT_STOPS(nil->FindSlot(NewSymbolRef("a")), "IsPointer()", "ref", 115);
}
