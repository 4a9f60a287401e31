#include "objects/arena.h"

namespace {
const size_t kBlockSize = 256 * 1024;
// Larger requests get a block of their own, so that little is left unused.
const size_t kOwnBlockFrom = kBlockSize / 4;
}  // namespace

void* Arena::Allocate(size_t size) {
  size = (size + kAlignment - 1) / kAlignment * kAlignment;
  if (size <= kLargestRecycled) {
    if (FreeRecord* record = recycled[size / kAlignment]) {
      recycled[size / kAlignment] = record->next;
      return record;
    }
  }
  if (size >= kOwnBlockFrom) {
    blocks.emplace_back(size);
    return blocks.back().Data();
  }
  if (size > left) {
    blocks.emplace_back(kBlockSize);
    next = blocks.back().Data();
    left = kBlockSize;
  }
  void* result = next;
  next += size;
  left -= size;
  return result;
}

void Arena::Recycle(void* record, size_t size) {
  size = (size + kAlignment - 1) / kAlignment * kAlignment;
  if (size == 0 || size > kLargestRecycled) return;
  recycled[size / kAlignment] = new (record) FreeRecord{recycled[size / kAlignment]};
}
