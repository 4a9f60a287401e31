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

TEST(ObjectTest, NewFrameHasAnEmptyMapOfItsOwn) {
  Package package;
  Ref* frame = NewFrameRef();
  EXPECT_EQ(frame->target->NumberOfSlots(), 0);
  EXPECT_EQ(frame->target->GetHeader1(), 0x43u);
  Ref* map = frame->target->Map();
  EXPECT_EQ(map->target->NumberOfIndexes(), 1);
  EXPECT_TRUE(map->Supermap()->IsNIL());
  EXPECT_NE(map->target, NewFrameRef()->target->Map()->target);
  EXPECT_EQ(frame->FindSlot(IntegerRef(7)), -1);  // nothing to compare the name with
}

TEST(ObjectTest, AddSlotGrowsFrameAndMap) {
  Package package;
  Ref* frame = NewFrameRef();
  for (int k = 1; k <= 3; ++k) {
    frame->target->AddSlot(NewSymbolRef(("s" + std::to_string(k)).c_str()), IntegerRef(k));
    EXPECT_EQ(frame->target->NumberOfSlots(), k);
    EXPECT_EQ(frame->target->Map()->target->NumberOfIndexes(), k + 1);
    EXPECT_EQ(frame->target->GetHeader1(), 0x43u + k * 0x400u);
  }
  EXPECT_EQ(frame->FindSlot(NewSymbolRef("S3")), 2);
  EXPECT_EQ(frame->FindSlot(NewSymbolRef("s4")), -1);
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
  EXPECT_EXIT(TypedRef(Ref::kArrayKind, NewFrameRef()), testing::ExitedWithCode(3),
              AssertionReport("_class_or_map->IsSymbol() || _class_or_map->IsInteger()", "object",
                              34));
}

TEST(ObjectDeathTest, MisuseStopsWithItsReport) {
  Package package;
  Object* frame = NewFrameRef()->target;
  Object* array = NewArrayRef()->target;
  Object* root = package.GetPart(0)->GetRoot();
  EXPECT_EXIT(root->AppendElement(NilRef()), testing::ExitedWithCode(3),
              AssertionReport("(header1>>8)==0", "object", 64));
  EXPECT_EXIT(frame->BinaryData(), testing::ExitedWithCode(3), AssertionReport("0", "object", 150));
  EXPECT_EXIT(array->BinaryData(), testing::ExitedWithCode(3), AssertionReport("0", "object", 146));
  EXPECT_EXIT(Object(2, nullptr, nullptr, 0), testing::ExitedWithCode(3),
              AssertionReport("0", "object", 48));
  EXPECT_EXIT(root->GetElement(1), testing::ExitedWithCode(3),
              AssertionReport("index<NumberOfIndexes()", "object", 174));
  EXPECT_EXIT(frame->GetSlotValue(0), testing::ExitedWithCode(3),
              AssertionReport("index<NumberOfSlots()", "object", 182));
  EXPECT_EXIT(array->NumberOfSlots(), testing::ExitedWithCode(3),
              AssertionReport("IsFrame()", "object", 287));
  EXPECT_EXIT(frame->AppendElement(NilRef()), testing::ExitedWithCode(3),
              AssertionReport("IsArray()", "object", 55));
  EXPECT_EXIT(array->AddSlot(NewSymbolRef("a"), NilRef()), testing::ExitedWithCode(3),
              AssertionReport("IsFrame()", "object", 83));
  EXPECT_EXIT(frame->BinaryLength(), testing::ExitedWithCode(3),
              AssertionReport("IsBinary()", "object", 299));
}
