#include "objects/ref.h"

#include "objects/arena.h"
#include "objects/assertion.h"
#include "objects/object.h"
#include "objects/symbol.h"

namespace {
const char* const kFile = "ref";
}  // namespace

Ref::Ref(int kind, Ref* classOrMap, const uint8_t* data, int32_t size) : theRef(0x1) {
  switch (kind) {
    case kArrayKind:
      target = New<Object>(Object::kArray, classOrMap, nullptr, 0);
      break;
    case kFrameKind:
      target = New<Object>(Object::kFrame, nullptr, nullptr, 0);
      break;
    case kMapKind:
      target = New<Object>(Object::kArray, IntegerRef(0), nullptr, 0);
      target->AppendElement(ImmediateRef(kNil));  // the supermap
      break;
    case kBinaryKind:
      target = New<Object>(Object::kBinary, classOrMap, data, size);
      break;
    case kClassSymbolKind:
      theRef = kClassSymbol;
      break;
    default:
      AssertionFailed("0", kFile, 66);
  }
}

Ref* IntegerRef(int32_t value) { return New<Ref>(static_cast<uint32_t>(value) << 2); }

Ref* ImmediateRef(uint32_t word) { return New<Ref>(word); }

Ref* TypedRef(int kind, Ref* classOrMap, const uint8_t* data, int32_t size) {
  return New<Ref>(kind, classOrMap, data, size);
}

bool Ref::IsArray() const { return IsPointer() && target->IsArray(); }

bool Ref::IsFrame() const { return IsPointer() && target->IsFrame(); }

bool Ref::IsBinary() const { return IsPointer() && target->IsBinary(); }

bool Ref::IsSymbol() const {
  return (IsPointer() && target->IsSymbol()) || (IsImmediate() && IsClassSymbol());
}

int32_t Ref::IntegerValue() const {
  Check(IsInteger(), "IsInteger()", kFile, 196);
  return static_cast<int32_t>(theRef) >> 2;
}

Ref* Ref::GetElement(int32_t index) const {
  Check(IsArray(), "IsArray()", kFile, 178);
  return target->GetElement(index);
}

Ref* Ref::Supermap() const {
  Check(IsArray(), "IsArray()", kFile, 190);
  return target->Supermap();
}

const char* Ref::SymbolName() const {
  Check(IsSymbol(), "IsSymbol()", kFile, 202);
  // The bare kClassSymbol immediate is a symbol without an object or a name.
  return target ? target->SymbolName() : "";
}

void Ref::AppendElement(Ref* value) {
  Check((theRef & 0x03) == 0x01, "(theRef&0x03)==0x01", kFile, 73);
  target->AppendElement(value);
}

void Ref::SetSlot(Ref* name, Ref* value) {
  Check(IsFrame(), "IsFrame()", kFile, 79);
  int32_t index = FindSlot(name);
  if (index < 0) {
    target->AddSlot(name, value);
  } else {
    target->SetSlotValue(index, value);
  }
}

int32_t Ref::FindSlot(Ref* name) const {
  Check(IsPointer(), "IsPointer()", kFile, 115);
  return target->FindSlot(name);
}

bool Ref::SymbolEquals(const Ref* aSymbol) const {
  Check(IsSymbol(), "IsSymbol()", kFile, 96);
  Check(aSymbol->IsSymbol(), "aSymbol->IsSymbol()", kFile, 97);
  // The bare kClassSymbol immediate has no name: it equals only itself.
  if (!target || !aSymbol->target) return theRef == aSymbol->theRef;
  const uint8_t* mine = target->BinaryData();
  const uint8_t* theirs = aSymbol->target->BinaryData();
  // The hash words fold case as the names do, so they reject most mismatches.
  for (int i = 0; i < 4; ++i) {
    if (mine[i] != theirs[i]) return false;
  }
  return NamesEqualIgnoringCase(reinterpret_cast<const char*>(mine + 4),
                                reinterpret_cast<const char*>(theirs + 4));
}
