// Giving back the records of a value that has left the tree, so that a script
// that sets one slot many times needs memory only for the values it keeps.

#include "objects/arena.h"
#include "objects/data_files.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "packaging/package.h"

void Ref::Discard() {
  if (IsPointer()) target->Discard();
  CurrentArena().Recycle(this, sizeof *this);
}

void Object::Discard() {
  Arena& arena = CurrentArena();
  if (IsBinary()) {
    if (data.binary.file != 0) {
      CurrentPackage().GetDataFiles().Release(
          {data.binary.bytes, static_cast<int32_t>(BinaryLength()), data.binary.file});
    } else if (_class_or_map->IsClassSymbol()) {
      arena.Recycle(const_cast<uint8_t*>(data.binary.bytes), BinaryLength());
    }
  } else {
    for (uint32_t i = 0; i < header1 >> 10; ++i) data.array.slot[i]->Discard();
    arena.Recycle(data.array.slot, sizeof(Ref*) * data.array.room);
  }
  _class_or_map->Discard();
  arena.Recycle(this, sizeof *this);
}
