#include "objects/slot_index.h"

#include "objects/arena.h"
#include "objects/object.h"
#include "objects/ref.h"
#include "objects/symbol.h"

namespace {

// FNV-1a over the name's bytes, A-Z folded to a-z.
uint32_t FoldedKey(const char* name) {
  uint32_t key = 2166136261u;
  for (const char* p = name; *p; ++p) {
    key = (key ^ FoldCase(static_cast<unsigned char>(*p))) * 16777619u;
  }
  return key;
}

}  // namespace

void SlotIndex::Add(const Object* symbol, int32_t position) {
  if (!table || 2 * (static_cast<uint32_t>(covered) + 1) > mask + 1) Grow();
  Insert({FoldedKey(symbol->SymbolName()), position});
  covered = position;
}

int32_t SlotIndex::Find(const Ref* name, const Object* map, int32_t last) const {
  if (!name->target) return -1;  // the bare kClassSymbol immediate names no slot
  uint32_t key = FoldedKey(name->target->SymbolName());
  int32_t found = -1;
  for (uint32_t i = key & mask; table[i].position != 0; i = (i + 1) & mask) {
    int32_t position = table[i].position;
    if (table[i].key != key || position > last || (found >= 0 && position >= found)) continue;
    if (name->SymbolEquals(map->GetElement(position))) found = position;
  }
  return found;
}

void SlotIndex::Insert(Entry entry) {
  uint32_t i = entry.key & mask;
  while (table[i].position != 0) i = (i + 1) & mask;
  table[i] = entry;
}

void SlotIndex::Grow() {
  Entry* old = table;
  uint32_t oldSize = table ? mask + 1 : 0;
  uint32_t size = oldSize ? 2 * oldSize : 64;
  table = CurrentArena().MakeArray<Entry>(size);
  for (uint32_t i = 0; i < size; ++i) table[i] = {0, 0};
  mask = size - 1;
  for (uint32_t i = 0; i < oldSize; ++i) {
    if (old[i].position != 0) Insert(old[i]);
  }
}
