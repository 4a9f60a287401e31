#include "objects/object.h"

#include <gtest/gtest.h>

#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {
std::vector<std::string> SlotNames(Ref* frame) {
  std::vector<std::string> names;
  Ref* map = frame->target->Map();
  for (int32_t i = 1; i < map->target->NumberOfIndexes(); ++i) {
    names.push_back(map->GetElement(i)->SymbolName());
  }
  return names;
}
}  // namespace

TEST(ObjectTest, FrameAndMapGrowTogether) {
  Package package;
  Ref* frame = NewFrameRef();
  EXPECT_NE(frame->target->Map()->target, NewFrameRef()->target->Map()->target);
  EXPECT_TRUE(frame->target->Map()->Supermap()->IsNIL());
  EXPECT_EQ(frame->FindSlot(IntegerRef(7)), -1);  // no slot to compare the name with
  for (int k = 0; k <= 3; ++k) {
    if (k > 0) frame->target->AddSlot(NewSymbolRef(("s" + std::to_string(k)).c_str()), IntegerRef(k));
    EXPECT_EQ(frame->target->NumberOfSlots(), k);
    EXPECT_EQ(frame->target->Map()->target->NumberOfIndexes(), k + 1);
    EXPECT_EQ(frame->target->GetHeader1(), 0x43u + k * 0x400u);
  }
  EXPECT_EQ(frame->FindSlot(NewSymbolRef("S3")), 2);
}

TEST(ObjectTest, SetSlotReplacesInPlaceKeepingFirstSpelling) {
  struct Case {
    const char* replaced;
    std::vector<std::string> names;
  } cases[] = {
      {"first", {"first", "second", "last"}},
      {"last", {"first", "second", "last"}},
      {"SECOND", {"first", "second", "last"}},
      {"new", {"first", "second", "last", "new"}},
  };
  for (const Case& c : cases) {
    Package package;
    Ref* frame = NewFrameRef();
    for (const char* name : {"first", "second", "last"}) frame->SetSlot(NewSymbolRef(name), NilRef());
    frame->SetSlot(NewSymbolRef(c.replaced), IntegerRef(9));
    EXPECT_EQ(SlotNames(frame), c.names) << c.replaced;
    int32_t index = frame->FindSlot(NewSymbolRef(c.replaced));
    EXPECT_EQ(frame->target->GetSlotValue(index)->IntegerValue(), 9) << c.replaced;
  }
}

TEST(ObjectTest, ArrayClassMayBeNilSymbolOrInteger) {
  Package package;
  EXPECT_TRUE(TypedRef(Ref::kArrayKind, NilRef())->IsArray());
  EXPECT_TRUE(TypedRef(Ref::kArrayKind, NewSymbolRef("list"))->IsArray());
  EXPECT_TRUE(TypedRef(Ref::kArrayKind, IntegerRef(0))->IsArray());
  EXPECT_STOPS(TypedRef(Ref::kArrayKind, NewFrameRef()), "_class_or_map->IsSymbol() || _class_or_map->IsInteger()", "object",
                              34);
}

TEST(ObjectDeathTest, MisuseStopsWithItsReport) {
  Package package;
  Object* frame = NewFrameRef()->target;
  Object* array = NewArrayRef()->target;
  Object* root = package.GetPart(0)->GetRoot();
  EXPECT_STOPS(root->AppendElement(NilRef()), "(header1>>8)==0", "object", 64);
  EXPECT_STOPS(frame->BinaryData(), "0", "object", 150);
  EXPECT_STOPS(array->BinaryData(), "0", "object", 146);
  EXPECT_STOPS(Object(2, nullptr, nullptr, 0), "0", "object", 48);
  EXPECT_STOPS(root->GetElement(1), "index<NumberOfIndexes()", "object", 174);
  EXPECT_STOPS(frame->GetSlotValue(0), "index<NumberOfSlots()", "object", 182);
  EXPECT_STOPS(array->NumberOfSlots(), "IsFrame()", "object", 287);
  EXPECT_STOPS(frame->AppendElement(NilRef()), "IsArray()", "object", 55);
  EXPECT_STOPS(array->AddSlot(NewSymbolRef("a"), NilRef()), "IsFrame()", "object", 83);
  EXPECT_STOPS(frame->BinaryLength(), "IsBinary()", "object", 299);
}
