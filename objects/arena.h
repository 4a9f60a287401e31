#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "objects/pages.h"

// Hands out the memory that a package's tree is built from (Refs, Objects,
// symbol names, element storage) from large blocks, so that a record costs its
// own size and nothing more. Small records that are no longer used can be
// given back and are handed out again; everything goes at once when the arena
// (and the Package that holds it) is dropped, so only records that need no
// destructor are made here. Every record is aligned to 8 bytes.
class Arena {
 public:
  void* Allocate(size_t size);
  void Recycle(void* record, size_t size);

  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    static_assert(std::is_trivially_destructible_v<T> && alignof(T) <= kAlignment);
    return new (Allocate(sizeof(T))) T(std::forward<Args>(args)...);
  }

  // Room for `count` values of T, uninitialised.
  template <typename T>
  T* MakeArray(size_t count) {
    static_assert(std::is_trivially_destructible_v<T> && alignof(T) <= kAlignment);
    return static_cast<T*>(Allocate(sizeof(T) * count));
  }

 private:
  static constexpr size_t kAlignment = 8;
  static constexpr size_t kLargestRecycled = 256;

  struct FreeRecord {
    FreeRecord* next;
  };
  std::vector<Pages> blocks;
  std::byte* next = nullptr;
  size_t left = 0;
  FreeRecord* recycled[kLargestRecycled / kAlignment + 1] = {};
};

// The arena of the current Package.
Arena& CurrentArena();

template <typename T, typename... Args>
T* New(Args&&... args) {
  return CurrentArena().Make<T>(std::forward<Args>(args)...);
}
