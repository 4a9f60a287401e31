#include "objects/object.h"

#include <algorithm>
#include <cstring>

#include "objects/arena.h"
#include "objects/assertion.h"
#include "objects/ref.h"
#include "objects/slot_index.h"
#include "packaging/package.h"

namespace {
const char* const kFile = "object";
// Frames up to this many slots are searched by a scan of their map.
const int32_t kScanUpTo = 16;
}  // namespace

Object::Object(int kind, Ref* classOrMap, const uint8_t* bytes, int32_t size)
    : header1(static_cast<uint32_t>(kind) | (static_cast<uint32_t>(size) << 8) | 0x40),
      _class_or_map(classOrMap ? classOrMap : ImmediateRef(Ref::kNil)) {
  switch (kind) {
    case kBinary:
      Check(_class_or_map->IsSymbol(), "_class_or_map->IsSymbol()", kFile, 27);
      data.binary = {bytes, 0};
      break;
    case kArray:
      Check(_class_or_map->IsNIL() || _class_or_map->IsSymbol() || _class_or_map->IsInteger(),
            "_class_or_map->IsSymbol() || _class_or_map->IsInteger()", kFile, 34);
      data.array = {nullptr, nullptr, 0};
      break;
    case kFrame:
      if (_class_or_map->IsNIL()) _class_or_map = TypedRef(Ref::kMapKind);
      Check(_class_or_map->IsArray(), "_class_or_map->IsArray()", kFile, 42);
      data.array = {nullptr, nullptr, 0};
      break;
    default:
      AssertionFailed("0", kFile, 48);
  }
}

bool Object::IsSymbol() const { return IsBinary() && _class_or_map->IsSymbol(); }

int32_t Object::NumberOfIndexes() const {
  Check(IsArray(), "IsArray()", kFile, 293);
  return header1 >> 10;
}

int32_t Object::NumberOfSlots() const {
  Check(IsFrame(), "IsFrame()", kFile, 287);
  return header1 >> 10;
}

int32_t Object::BinaryLength() const {
  Check(IsBinary(), "IsBinary()", kFile, 299);
  return header1 >> 8;
}

const uint8_t* Object::BinaryData() const {
  Check(!IsArray(), "0", kFile, 146);
  Check(!IsFrame(), "0", kFile, 150);
  return data.binary.bytes;
}

Ref* Object::GetElement(int32_t index) const {
  Check(IsArray(), "IsArray()", kFile, 172);
  Check(index >= 0, "index>=0", kFile, 173);
  Check(index < NumberOfIndexes(), "index<NumberOfIndexes()", kFile, 174);
  return data.array.slot[index];
}

void Object::SetElement(int32_t index, Ref* value) {
  Check(IsArray(), "IsArray()", kFile, 75);
  Check(index >= 0, "index>=0", kFile, 76);
  Check(index < NumberOfIndexes(), "index<NumberOfIndexes()", kFile, 77);
  // A name the index has seen is replaced: the index is dropped and rebuilt.
  if (data.array.index && index <= data.array.index->Covered()) data.array.index = nullptr;
  data.array.slot[index] = value;
}

void Object::AppendElement(Ref* value) {
  Check(IsArray(), "IsArray()", kFile, 55);
  // A part's root array holds exactly one element, its top-level frame.
  Package& package = CurrentPackage();
  for (int32_t n = 0; n < package.NumberOfParts(); ++n) {
    Object* root = package.GetPart(n)->GetRoot();
    Check(root->IsArray(), "package->GetPart(n)->GetRoot()->IsArray()", kFile, 60);
    if (root == this) Check((header1 >> 8) == 0, "(header1>>8)==0", kFile, 64);
  }
  header1 += 0x400;
  Grow();
  SetElement(NumberOfIndexes() - 1, value);
}

void Object::Grow() {
  uint32_t count = header1 >> 10;
  if (count <= data.array.room) return;
  uint32_t room = std::max<uint32_t>(4, 2 * data.array.room);
  Ref** slot = CurrentArena().MakeArray<Ref*>(room);
  if (data.array.slot) std::memcpy(slot, data.array.slot, sizeof(Ref*) * data.array.room);
  data.array.slot = slot;
  data.array.room = room;
}

Ref* Object::Supermap() const {
  Check(IsArray(), "IsArray()", kFile, 195);
  Check(data.array.slot != nullptr, "data.array.slot", kFile, 196);
  return data.array.slot[0];
}

Ref* Object::Map() const {
  Check(IsFrame(), "IsFrame()", kFile, 188);
  Check(_class_or_map != nullptr, "data.frame._map", kFile, 189);
  return _class_or_map;
}

Ref* Object::GetSlotValue(int32_t index) const {
  Check(IsFrame(), "IsFrame()", kFile, 180);
  Check(index >= 0, "index>=0", kFile, 181);
  Check(index < NumberOfSlots(), "index<NumberOfSlots()", kFile, 182);
  return data.array.slot[index];
}

void Object::SetSlotValue(int32_t index, Ref* value) {
  Check(IsFrame(), "IsFrame()", kFile, 93);
  Check(index >= 0, "index>=0", kFile, 94);
  Check(index < NumberOfSlots(), "index<NumberOfSlots()", kFile, 95);
  data.array.slot[index] = value;
}

void Object::AddSlot(Ref* name, Ref* value) {
  Check(IsFrame(), "IsFrame()", kFile, 83);
  header1 += 0x400;
  Grow();
  _class_or_map->AppendElement(name);
  SetSlotValue(NumberOfSlots() - 1, value);
}

int32_t Object::FindSlot(Ref* name) const {
  Check(IsFrame(), "IsFrame()", kFile, 102);
  Check(Map() != nullptr, "Map()", kFile, 103);
  Ref* supermap = Map()->Supermap();
  Check(supermap->IsNIL() || supermap->IsArray(), "Map()->Supermap()->IsArray()", kFile, 105);
  Check(supermap->IsNIL(), "Map()->Supermap()->IsNIL()", kFile, 107);
  Ref* map = _class_or_map;
  Check(map->IsArray(), "map->IsArray()", kFile, 110);
  int32_t n = NumberOfSlots();
  if (n > kScanUpTo) {
    if (const SlotIndex* index = map->target->IndexNames(n)) {
      // The scan's first comparison, with the checks it makes of both symbols.
      if (name->SymbolEquals(map->GetElement(1))) return 0;
      int32_t position = index->Find(name, map->target, n);
      return position < 0 ? -1 : position - 1;
    }
  }
  for (int32_t i = 1; i <= n; ++i) {
    if (name->SymbolEquals(map->GetElement(i))) return i - 1;
  }
  return -1;
}

SlotIndex* Object::IndexNames(int32_t last) {
  if (last >= NumberOfIndexes()) return nullptr;
  if (!data.array.index) data.array.index = New<SlotIndex>();
  SlotIndex* index = data.array.index;
  for (int32_t position = index->Covered() + 1; position <= last; ++position) {
    const Ref* name = data.array.slot[position];
    if (!name->IsPointer() || !name->target->IsSymbol()) return nullptr;
    index->Add(name->target, position);
  }
  return index;
}

const char* Object::SymbolName() const {
  Check(IsSymbol(), "IsSymbol()", kFile, 275);
  return reinterpret_cast<const char*>(data.binary.bytes + 4);
}

uint32_t Object::SymbolHashWord() const {
  Check(IsSymbol(), "IsSymbol()", kFile, 281);
  // The hash is stored most significant byte first; read back least
  // significant byte first, as the dump shows it.
  const uint8_t* bytes = data.binary.bytes;
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
