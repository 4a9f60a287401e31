#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Heap;
class HeapTree;

struct Extracted {
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  std::string error;  // empty when the path led to a binary object
};

// Follows a path from part 0's top-level object to a binary object: slot
// names, matched ignoring ASCII letter case, and [index] steps, as in
// _ExportTable[0].objects[0].greeting. A native function stands for its
// machine code, the binary in its code slot.
Extracted FollowPath(const Heap& heap, const HeapTree& tree, std::string_view path);
