#pragma once

#include <cstdint>

class Object;
class Ref;

// Finds a slot name in a large frame map without scanning it. Names are keyed
// on a hash of their bytes with A-Z folded to a-z, the equality that symbols
// use; the symbols' own hash words are useless here, since they only sum the
// bytes (slot12 and slot21 share one). The index covers map positions 1 to
// Covered(), is added to as the map grows and lives in the package's arena.
class SlotIndex {
 public:
  int32_t Covered() const { return covered; }
  // Adds the symbol object at map position `position`, the next one uncovered.
  void Add(const Object* symbol, int32_t position);
  // The lowest position up to `last` whose name equals `name`, or -1.
  int32_t Find(const Ref* name, const Object* map, int32_t last) const;

 private:
  struct Entry {
    uint32_t key;
    int32_t position;  // 0 marks an empty entry
  };
  void Insert(Entry entry);
  void Grow();

  Entry* table = nullptr;
  uint32_t mask = 0;
  int32_t covered = 0;
};
