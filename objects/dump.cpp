// The readable listing of an object tree on standard output: one value a
// line, four spaces a level. Frames put their slot names one level in and the
// values two; arrays put their elements one level in.

#include "objects/dump.h"

#include <cstdio>

#include "objects/assertion.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {

// Binaries of 64 bytes or more are too long to be worth listing.
const int kLongestListedBinary = 63;

const char* ImmediateText(uint32_t word) {
  switch (word) {
    case Ref::kNil:
      return "NIL";
    case Ref::kTrue:
      return "TRUE";
    case Ref::kCodeBlockClass:
      return "(IsCode)";
    case Ref::kNativeFunctionClass:
      return "(IsNative)";
    case Ref::kClassSymbol:
      return "(kClassSymbol)";
    default:
      return nullptr;
  }
}

void DumpBytes(const uint8_t* bytes, int length, int depth) {
  for (int k = 0; k < length; ++k) {
    if (k % 16 == 0) {
      Indent(depth);
      std::printf("// ");
    }
    std::printf("%02x ", bytes[k]);
    if (k % 16 == 15 || k == length - 1) std::printf("\n");
  }
}

}  // namespace

void Indent(int depth) {
  if (depth > 0) std::printf("%*s", 4 * depth, "");
}

void Ref::Dump(int depth) const {
  if (IsInteger()) {
    Indent(depth);
    std::printf("%d\n", IntegerValue());
  } else if (IsArray() || IsFrame() || IsBinary()) {
    target->Dump(depth);
  } else if (IsCharacter()) {
    Indent(depth);
    std::printf("<NO CHARACTER>\n");
  } else if (IsImmediate()) {
    Indent(depth);
    const char* text = ImmediateText(theRef);
    if (text) {
      std::printf("%s\n", text);
    } else {
      std::printf("<IMMEDIATE 0x%08x>\n", theRef);
    }
  } else if (IsMagicPointer()) {
    Indent(depth);
    std::printf("<NO MAGIC POINTER>\n");
  } else {
    AssertionFailed("0", "ref", 266);
  }
}

void Object::Dump(int depth) const {
  if (IsFrame()) {
    Indent(depth);
    std::printf("{\n");
    for (int32_t i = 0; i < NumberOfSlots(); ++i) {
      Indent(depth + 1);
      std::printf("%s: \n", Map()->GetElement(i + 1)->SymbolName());
      GetSlotValue(i)->Dump(depth + 2);
    }
    Indent(depth);
    std::printf("}\n");
  } else if (IsArray()) {
    Indent(depth);
    std::printf("[\n");
    for (int32_t i = 0; i < NumberOfIndexes(); ++i) GetElement(i)->Dump(depth + 1);
    Indent(depth);
    std::printf("]\n");
  } else if (IsBinary() && _class_or_map->IsClassSymbol()) {
    Indent(depth);
    std::printf("'%s (0x%08x)\n", SymbolName(), SymbolHashWord());
  } else if (IsBinary() && _class_or_map->SymbolEquals(NewSymbolRef("string"))) {
    Indent(depth);
    std::printf("\"<UNICODE STRING - no display code>\"\n");
  } else if (IsBinary()) {
    Indent(depth);
    std::printf("// BINARY OBJECT, size=%d\n", BinaryLength());
    if (BinaryLength() <= kLongestListedBinary) {
      DumpBytes(BinaryData(), BinaryLength(), depth);
    } else {
      Indent(depth);
      std::printf("Dump skipped!\n");
    }
  } else {
    AssertionFailed("0", "object", 269);
  }
}
