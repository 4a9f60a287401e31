#include "objects/object.h"

#include <gtest/gtest.h>

#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"

namespace {
Ref* Name(const std::string& name) { return NewSymbolRef(name.c_str()); }
}  // namespace

// A name set again in another letter case replaces the value in place and
// keeps its first spelling, whether the frame is small enough to be scanned
// or large enough to be searched through its index; bytes above 0x7F are not
// folded.
TEST(ObjectTest, SetSlotReplacesNamesEqualIgnoringCase) {
  for (int count : {3, 40}) {
    Package package;
    Ref* frame = NewFrameRef();
    for (int i = 0; i < count; ++i) frame->SetSlot(Name("slot" + std::to_string(i)), IntegerRef(i));
    const int replaced[] = {0, count / 2, count - 1};
    for (int i : replaced) frame->SetSlot(Name("SLOT" + std::to_string(i)), IntegerRef(-i - 1));
    frame->SetSlot(Name("\xE9"), NilRef());
    frame->SetSlot(Name("\xC9"), NilRef());
    Object* object = frame->target;
    ASSERT_EQ(object->NumberOfSlots(), count + 2) << count;
    for (int i = 0; i < count; ++i) {
      bool again = i == replaced[0] || i == replaced[1] || i == replaced[2];
      EXPECT_STREQ(object->Map()->GetElement(i + 1)->SymbolName(), ("slot" + std::to_string(i)).c_str());
      EXPECT_EQ(object->GetSlotValue(i)->IntegerValue(), again ? -i - 1 : i) << count << " " << i;
    }
    EXPECT_EQ(frame->FindSlot(Name("slot")), -1);
  }
}
