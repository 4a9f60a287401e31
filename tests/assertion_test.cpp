// Every check of the object model and the package image that the API can
// reach, each misused once: the report names the check's expression, source
// file and line, and the process ends with status 3.

#include <gtest/gtest.h>

#include <functional>

#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"
#include "objects/utility.h"
#include "packaging/package.h"
#include "tests/test_support.h"

namespace {

Object* F() { return NewFrameRef()->target; }
Object* A() { return NewArrayRef()->target; }
Ref* S() { return NewSymbolRef("s"); }
Package& P() { return CurrentPackage(); }

// Lays out a Ref at a location off the word boundary, then writes it.
void WriteMisplaced(Ref* ref) {
  P().Allocate(4, 64);
  ref->Layout(2);
  ref->Write();
}

// Looks a name up in a frame whose map has this supermap.
void FindWithSupermap(Ref* supermap) {
  Object* frame = F();
  frame->Map()->target->SetElement(0, supermap);
  frame->FindSlot(S());
}

Ref* FrameWithASlot() {
  Ref* frame = NewFrameRef();
  frame->SetSlot(S(), NilRef());
  return frame;
}

struct Site {
  const char* expression;
  const char* file;
  int line;
  std::function<void()> misuse;
};

}  // namespace

TEST(AssertionDeathTest, EachCheckReportsItsSite) {
  const Site sites[] = {
      {"_class_or_map->IsSymbol()", "object", 27, [] { TypedRef(Ref::kBinaryKind); }},
      {"_class_or_map->IsSymbol() || _class_or_map->IsInteger()", "object", 34,
       [] { TypedRef(Ref::kArrayKind, NewFrameRef()); }},
      {"_class_or_map->IsArray()", "object", 42, [] { Object(Object::kFrame, IntegerRef(1), nullptr, 0); }},
      {"0", "object", 48, [] { Object(2, nullptr, nullptr, 0); }},
      {"IsArray()", "object", 55, [] { F()->AppendElement(NilRef()); }},
      {"(header1>>8)==0", "object", 64, [] { P().GetPart(0)->GetRoot()->AppendElement(NilRef()); }},
      {"IsArray()", "object", 75, [] { F()->SetElement(0, NilRef()); }},
      {"index>=0", "object", 76, [] { A()->SetElement(-1, NilRef()); }},
      {"index<NumberOfIndexes()", "object", 77, [] { A()->SetElement(0, NilRef()); }},
      {"IsFrame()", "object", 83, [] { A()->AddSlot(S(), NilRef()); }},
      {"IsFrame()", "object", 93, [] { A()->SetSlotValue(0, NilRef()); }},
      {"index>=0", "object", 94, [] { F()->SetSlotValue(-1, NilRef()); }},
      {"index<NumberOfSlots()", "object", 95, [] { F()->SetSlotValue(0, NilRef()); }},
      {"IsFrame()", "object", 102, [] { A()->FindSlot(S()); }},
      {"Map()->Supermap()->IsArray()", "object", 105, [] { FindWithSupermap(IntegerRef(1)); }},
      {"Map()->Supermap()->IsNIL()", "object", 107, [] { FindWithSupermap(NewArrayRef()); }},
      {"0", "object", 146, [] { A()->BinaryData(); }},
      {"0", "object", 150, [] { F()->BinaryData(); }},
      {"IsArray()", "object", 172, [] { F()->GetElement(0); }},
      {"index>=0", "object", 173, [] { A()->GetElement(-1); }},
      {"index<NumberOfIndexes()", "object", 174, [] { A()->GetElement(0); }},
      {"IsFrame()", "object", 180, [] { A()->GetSlotValue(0); }},
      {"index>=0", "object", 181, [] { F()->GetSlotValue(-1); }},
      {"index<NumberOfSlots()", "object", 182, [] { F()->GetSlotValue(0); }},
      {"IsFrame()", "object", 188, [] { A()->Map(); }},
      {"IsArray()", "object", 195, [] { F()->Supermap(); }},
      {"data.array.slot", "object", 196, [] { A()->Supermap(); }},
      {"IsSymbol()", "object", 275, [] { A()->SymbolName(); }},
      {"IsSymbol()", "object", 281, [] { A()->SymbolHashWord(); }},
      {"IsFrame()", "object", 287, [] { A()->NumberOfSlots(); }},
      {"IsArray()", "object", 293, [] { F()->NumberOfIndexes(); }},
      {"IsBinary()", "object", 299, [] { F()->BinaryLength(); }},
      {"0", "ref", 66, [] { TypedRef(5); }},
      {"(theRef&0x03)==0x01", "ref", 73, [] { NilRef()->AppendElement(NilRef()); }},
      {"IsFrame()", "ref", 79, [] { NewArrayRef()->SetSlot(S(), NilRef()); }},
      {"IsSymbol()", "ref", 96, [] { FrameWithASlot()->FindSlot(IntegerRef(1)); }},
      {"aSymbol->IsSymbol()", "ref", 97, [] { S()->SymbolEquals(NilRef()); }},
      {"IsPointer()", "ref", 115, [] { NilRef()->FindSlot(S()); }},
      {"IsArray()", "ref", 178, [] { NilRef()->GetElement(0); }},
      {"IsArray()", "ref", 190, [] { NilRef()->Supermap(); }},
      {"IsInteger()", "ref", 196, [] { NilRef()->IntegerValue(); }},
      {"IsSymbol()", "ref", 202, [] { IntegerRef(1)->SymbolName(); }},
      {"(location&0x03)==0", "ref", 303, [] { WriteMisplaced(NewArrayRef()); }},
      {"(location&0x03)==0", "ref", 311, [] { WriteMisplaced(NewFrameRef()); }},
      {"(location&0x03)==0", "ref", 319, [] { WriteMisplaced(S()); }},
      {"partNumber>=0", "package", 32, [] { P().GetPart(-1); }},
      {"partNumber<nParts", "package", 33, [] { P().GetPart(1); }},
      {"location+count<=packageDataSize", "package", 89, [] { P().WriteBytes("x", 1, 0); }},
  };
  for (const Site& site : sites) {
    EXPECT_EXIT(
        {
          Package package;
          site.misuse();
        },
        testing::ExitedWithCode(3), AssertionReport(site.expression, site.file, site.line))
        << site.file << " " << site.line;
  }
}
