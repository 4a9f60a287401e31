// The object model as the tree printer sees it: Dump prints a Ref or Object
// and everything below it on standard output, as pkgembed shows the tree it
// builds. Nothing is remembered between values: the tree has no sharing.

#include <cstdio>

#include "objects/assertion.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/tree_printer.h"

namespace {

PrintedValue ObjectValue(const Object* object) {
  if (object->IsFrame()) return {PrintedValue::kFrame, 1, object};
  if (object->IsArray()) return {PrintedValue::kArray, 1, object};
  if (object->IsBinary()) return {PrintedValue::kBinary, 1, object};
  AssertionFailed("0", "object", 269);
}

PrintedValue RefValue(const Ref* ref) {
  if (ref->IsInteger()) return {PrintedValue::kInteger, ref->theRef};
  if (ref->IsArray() || ref->IsFrame() || ref->IsBinary()) return ObjectValue(ref->target);
  if (ref->IsCharacter()) return {PrintedValue::kCharacter, ref->theRef};
  if (ref->IsImmediate()) return {PrintedValue::kImmediate, ref->theRef};
  if (ref->IsMagicPointer()) return {PrintedValue::kMagicPointer, ref->theRef};
  AssertionFailed("0", "ref", 266);
}

const Object* AsObject(const void* object) { return static_cast<const Object*>(object); }

class ModelTree : public PrintedTree {
 public:
  int32_t NumberOfElements(const void* array) const override {
    return AsObject(array)->NumberOfIndexes();
  }
  PrintedValue Element(const void* array, int32_t index) const override {
    return RefValue(AsObject(array)->GetElement(index));
  }
  int32_t NumberOfSlots(const void* frame) const override {
    return AsObject(frame)->NumberOfSlots();
  }
  std::string_view SlotName(const void* frame, int32_t index) const override {
    return AsObject(frame)->Map()->GetElement(index + 1)->SymbolName();
  }
  PrintedValue SlotValue(const void* frame, int32_t index) const override {
    return RefValue(AsObject(frame)->GetSlotValue(index));
  }
  PrintedBinary Binary(const void* object) const override {
    const Object* binary = AsObject(object);
    const Ref* classRef = binary->GetClass();
    if (classRef->IsClassSymbol()) {
      return {true, binary->SymbolName(), binary->SymbolHashWord(), {}, nullptr, 0};
    }
    return {false,
            {},
            0,
            classRef->IsSymbol() ? classRef->SymbolName() : "",
            binary->BinaryData(),
            static_cast<size_t>(binary->BinaryLength())};
  }
};

}  // namespace

void Ref::Dump(int depth) const {
  ModelTree tree;
  TreePrinter(tree, PrintStyle::kBuild, stdout).Print(RefValue(this), depth);
}

void Object::Dump(int depth) const {
  ModelTree tree;
  TreePrinter(tree, PrintStyle::kBuild, stdout).Print(ObjectValue(this), depth);
}
